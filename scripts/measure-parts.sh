#!/bin/bash
# Usage: scripts/measure-parts.sh KORVEX CONFIG [NPARTS ...]   (NPARTS default: 1 2 4 8)
#
# Times every part of divided runs of CONFIG one after another, each with one thread, and
# prints one line per part: Step 1 wall seconds (the log's Step 1 elapsed line), Step 2 wall
# seconds (the sum of the log's per-container trainData lines), the part's whole wall time and
# its processor seconds (user + system), and the largest part of each division. Then one part
# of 1000, whose share is almost nothing: the fixed cost that every part pays, in processor
# seconds. The runs start from a copy of CONFIG in a scratch directory and write only there; the
# SAM file is read where CONFIG names it (relative to CONFIG's directory).
set -euo pipefail
(($# >= 2)) || { echo "usage: scripts/measure-parts.sh KORVEX CONFIG [NPARTS ...]" >&2; exit 2; }
korvex=$(realpath "$1")
config=$(realpath "$2")
shift 2
divisions=("$@")
((${#divisions[@]} > 0)) || divisions=(1 2 4 8)

map=$(sed -n 's/^[[:space:]]*MAP_FILENAME[[:space:]]*=[[:space:]]*\([^[:space:]#]*\).*/\1/p' "$config" | tail -n 1)
[[ $map == /* ]] || map=$(dirname "$config")/$map
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$config" "$scratch/run.cfg"
mkdir "$scratch/run"
cd "$scratch/run"

# One part: prints "nparts part step1 step2 wall cpu".
measure_part() {
    local nparts=$1 part=$2
    OMP_NUM_THREADS=1 /usr/bin/time -f '%e %U %S' -o ../time "$korvex" -q ../run.cfg NUM_PARTS="$nparts" PART_TO_RUN="$part" \
        MAP_FILENAME="$map" NUM_THREADS=1 LOG_FILENAME=run.log OUTPUT_FILE=out.sam+ >/dev/null
    local log step1 step2
    log=$(cat run*.log)
    step1=$(sed -n 's/.*process2: elapsed time (\([0-9.e+-]*\)) secs.*/\1/p' <<<"$log")
    step2=$(sed -n 's/.*trainData:  Total elapsed time in this function: \([0-9.e+-]*\) secs.*/\1/p' <<<"$log" |
        awk '{ sum += $1 } END { print sum + 0 }')
    awk -v n="$nparts" -v k="$part" -v s1="$step1" -v s2="$step2" \
        '{ printf "%6d %4d %9.2f %9.2f %9.2f %9.2f\n", n, k, s1, s2, $1, $2 + $3 }' ../time
    rm -rf ./* ./.[!.]*
}

printf '%6s %4s %9s %9s %9s %9s\n' nparts part step1_s step2_s wall_s cpu_s
for nparts in "${divisions[@]}"; do
    lines=$(for ((part = 1; part <= nparts; part++)); do measure_part "$nparts" "$part"; done)
    echo "$lines"
    awk '$6 > max { max = $6; line = $0 } END { print "largest part:", line }' <<<"$lines"
done
echo "fixed cost of a part (1 of 1000):"
measure_part 1000 1
