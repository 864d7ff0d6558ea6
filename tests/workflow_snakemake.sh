#!/bin/bash
# Usage: tests/workflow_snakemake.sh KORVEX
# Runs workflow/Snakefile locally on the bundled example as 3 parts with the korvex found on
# PATH, and checks that the merged file is byte-identical to a single run's, and that a second
# start finds nothing to do. Exits 77 (skipped) when snakemake is missing.
set -euo pipefail
command -v snakemake >/dev/null || { echo "snakemake is missing: apt-get install -y snakemake"; exit 77; }
korvex=$(realpath "$1")
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
cp "$repo/examples/example.sam" .
{ cat "$repo/examples/example.cfg"; printf 'TOTAL_ITERATIONS=100\nBURNIN_ITERATIONS=20\n'; } >quick.cfg
"$korvex" -q quick.cfg >/dev/null
mv example.sam+ single.sam+

PATH=$(dirname "$korvex"):$PATH
run_workflow() { snakemake -s "$repo/workflow/Snakefile" --cores 2 --config korvex_config=quick.cfg parts=3 "$@"; }
run_workflow >snakemake.out 2>&1 || { cat snakemake.out; exit 1; }
cmp example.sam+ single.sam+
run_workflow --dry-run 2>&1 | grep -q "Nothing to be done" || { echo "a second start would run again"; exit 1; }
echo "merged file of 3 parts byte-identical to a single run's; a second start has nothing to do"
