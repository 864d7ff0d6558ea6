#!/bin/bash
# Submits a korvex configuration to SLURM as NPARTS parts and their merge:
#   workflow/slurm/submit.sh CONFIG NPARTS [KEY=VALUE ...]
# Run it in the directory of CONFIG. The parts are one array job (--array=1-NPARTS); the merge
# waits for all of them (--dependency=afterok) and is cancelled when one fails. Prints the two
# job ids. KORVEX names the program (default: the korvex installed with the scripts, else
# korvex on PATH); SBATCH_PARTITION, SBATCH_TIMELIMIT, SBATCH_ACCOUNT and sbatch's other input
# variables apply to both jobs.
set -euo pipefail
die() { echo "submit.sh: $*" >&2; exit 1; }
(($# >= 2)) || die "usage: submit.sh CONFIG NPARTS [KEY=VALUE ...]"
config=$1 nparts=$2
[[ -f $config ]] || die "no configuration file $config"
[[ $nparts =~ ^[1-9][0-9]*$ ]] || die "NPARTS must be a whole number of 1 or more, not $nparts"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

array_job=$(sbatch --parsable --array=1-"$nparts" "$here/part.sbatch" "$@")
array_job=${array_job%%;*}  # "id;cluster" on a federation
if ((nparts == 1)); then
    echo "parts: job $array_job (one part: it writes the final file, no merge)"
    exit 0
fi
merge_job=$(sbatch --parsable --dependency=afterok:"$array_job" --kill-on-invalid-dep=yes "$here/merge.sbatch" "$@")
merge_job=${merge_job%%;*}
echo "parts: job $array_job (array 1-$nparts); merge: job $merge_job"
