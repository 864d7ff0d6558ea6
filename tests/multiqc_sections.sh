#!/bin/sh
# Usage: tests/multiqc_sections.sh KORVEX
# Two runs of the bundled example in one folder, samples a and b, and MultiQC over the folder:
# its data must hold both samples in the general statistics and in each plot.
set -eu
korvex=$1
examples=$(cd "$(dirname "$0")/../examples" && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
mkdir runs
cp "$examples/example.sam" "$examples/example.cfg" runs/
(cd runs && "$korvex" -q example.cfg -o a.sam+ >/dev/null && "$korvex" -q example.cfg -o b.sam+ PROB_OUTPUT=PROP >/dev/null)
multiqc -f -q -o report runs >multiqc.log 2>&1 || { cat multiqc.log; exit 1; }
status=0
for table in multiqc_general_stats multiqc_korvex_fates_plot multiqc_korvex_top_value_plot; do
    for sample in a b; do
        if ! cut -f1 "report/multiqc_data/$table.txt" 2>/dev/null | grep -qx "$sample"; then
            echo "sample $sample is not in report/multiqc_data/$table.txt" >&2
            status=1
        fi
    done
done
# The general statistics carry the figures of the runs: the multireads scored and the share resolved.
grep -q "korvex.*multireads" report/multiqc_data/multiqc_general_stats.txt || {
    echo "no multireads column in the general statistics" >&2
    head -2 report/multiqc_data/multiqc_general_stats.txt >&2
    status=1
}
exit $status
