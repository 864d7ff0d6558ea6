#!/bin/bash
# Usage: tests/install_tree.sh BUILD
# Installs the build into a scratch prefix, as make install does, and checks that every file is
# in its place, that a DESTDIR install names its final prefix, and that the installed SLURM
# scripts and Snakefile run the installed korvex when none is on PATH: the scripts run the
# bundled example as 2 parts and their merge, which must equal a single run. Exits 77 (skipped)
# after the other checks when snakemake is missing.
set -euo pipefail
build=$(realpath "$1")
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
workflow=$prefix/share/korvex/workflow
for file in bin/korvex share/man/man1/korvex.1 share/doc/korvex/README.md \
    share/doc/korvex/examples/{README.md,example.cfg,example.sam} share/korvex/workflow/Snakefile \
    share/korvex/workflow/profiles/slurm/{config.yaml,status.sh} share/korvex/workflow/slurm/{part.sbatch,merge.sbatch,submit.sh}; do
    [[ -f $prefix/$file ]] || fail "no $file under the prefix"
done
[[ -x $workflow/slurm/part.sbatch && -x $workflow/profiles/slurm/status.sh ]] || fail "scripts installed without execute permission"

DESTDIR=$scratch/stage cmake --install "$build" --prefix /opt/korvex >/dev/null
grep -qx "installed_korvex='/opt/korvex/bin/korvex'" "$scratch/stage/opt/korvex/share/korvex/workflow/slurm/part.sbatch" ||
    fail "a DESTDIR install does not name the program at its final place"

# PATH without the build's or any other korvex.
export PATH=/usr/bin:/bin
! command -v korvex >/dev/null || fail "a korvex on PATH would hide what the scripts run"
cd "$scratch"
cp "$prefix"/share/doc/korvex/examples/example.{sam,cfg} .
{ cat example.cfg; printf 'TOTAL_ITERATIONS=100\nBURNIN_ITERATIONS=20\n'; } >quick.cfg
"$prefix/bin/korvex" -q quick.cfg >/dev/null
mv example.sam+ single.sam+
for part in 1 2; do SLURM_ARRAY_TASK_ID=$part bash "$workflow/slurm/part.sbatch" quick.cfg 2 >/dev/null; done
bash "$workflow/slurm/merge.sbatch" quick.cfg 2 >/dev/null
cmp example.sam+ single.sam+ || fail "the installed sbatch scripts' merged file differs from a single run's"

if ! command -v snakemake >/dev/null; then
    echo "installed tree complete; its sbatch scripts run the installed korvex; the Snakefile was not tried:"
    echo "snakemake is missing: apt-get install -y snakemake"
    exit 77
fi
snakemake -s "$workflow/Snakefile" --cores 1 --dry-run --printshellcmds --config korvex_config=quick.cfg parts=2 \
    >snakemake.out 2>&1 || { cat snakemake.out; fail "snakemake on the installed Snakefile"; }
grep -q "$prefix/bin/korvex merge" snakemake.out || fail "the installed Snakefile does not run the installed korvex"
echo "installed tree complete; its scripts run the installed korvex"
