#!/bin/bash
# Usage: scripts/measure-parts.sh KORVEX CONFIG [NPARTS ...] [KEY=VALUE ...]
#        (NPARTS default: 1 2 4 8; the settings go to every part and merge)
#
# Times every part of divided runs of CONFIG one after another, each with one thread, then
# their merge, and prints one line per run: Step 1 wall seconds (the log's Step 1 elapsed
# line), Step 2 wall seconds (the sum of the log's per-container trainData lines), the whole
# wall time and the processor seconds (user + system). Then one part of 1000, whose share is
# almost nothing: the fixed cost that every part pays. The runs start from a copy of CONFIG in
# a scratch directory and write only there; the SAM file is read where CONFIG names it
# (relative to CONFIG's directory).
set -euo pipefail
(($# >= 2)) || { echo "usage: scripts/measure-parts.sh KORVEX CONFIG [NPARTS ...] [KEY=VALUE ...]" >&2; exit 2; }
korvex=$(realpath "$1")
config=$(realpath "$2")
shift 2
divisions=() settings=()
for argument in "$@"; do
    if [[ $argument == *=* ]]; then settings+=("$argument"); else divisions+=("$argument"); fi
done
((${#divisions[@]} > 0)) || divisions=(1 2 4 8)

map=$(sed -n 's/^[[:space:]]*MAP_FILENAME[[:space:]]*=[[:space:]]*\([^[:space:]#]*\).*/\1/p' "$config" | tail -n 1)
[[ $map == /* ]] || map=$(dirname "$config")/$map
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$config" "$scratch/run.cfg"
mkdir "$scratch/run"
cd "$scratch/run"
common=(MAP_FILENAME="$map" NUM_THREADS=1 LOG_FILENAME=run.log OUTPUT_FILE=out.sam+ "${settings[@]}")

# Runs korvex with the arguments given and prints "step1 step2 wall cpu" from its log and time.
measure() {
    rm -f run*.log
    OMP_NUM_THREADS=1 /usr/bin/time -f '%e %U %S' -o ../time "$korvex" "$@" >/dev/null 2>../stderr ||
        { cat ../stderr >&2; return 1; }  # standard error holds the progress lines otherwise
    local log step1 step2
    log=$(cat run*.log)
    step1=$(sed -n 's/.*process2: elapsed time (\([0-9.e+-]*\)) secs.*/\1/p' <<<"$log")
    step2=$(sed -n 's/.*trainData:  Total elapsed time in this function: \([0-9.e+-]*\) secs.*/\1/p' <<<"$log" |
        awk '{ sum += $1 } END { print sum + 0 }')
    awk -v s1="${step1:-0}" -v s2="$step2" '{ printf "%9.2f %9.2f %9.2f %9.2f\n", s1, s2, $1, $2 + $3 }' ../time
}

measure_part() { printf '%6d %5s ' "$1" "$2"; measure -q ../run.cfg "${common[@]}" NUM_PARTS="$1" PART_TO_RUN="$2"; }

printf '%6s %5s %9s %9s %9s %9s\n' nparts part step1_s step2_s wall_s cpu_s
for nparts in "${divisions[@]}"; do
    for ((part = 1; part <= nparts; part++)); do measure_part "$nparts" "$part"; done
    if ((nparts > 1)); then printf '%6d %5s ' "$nparts" merge; measure merge -q ../run.cfg "$nparts" "${common[@]}" NUM_PARTS="$nparts"; fi
    rm -rf ./* ./.[!.]*
done
measure_part 1000 1
