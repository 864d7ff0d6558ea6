#!/usr/bin/env bash
# Whole runs of korvex on one SAM file at the default settings, with one and with two worker
# threads (NUM_THREADS and OMP_NUM_THREADS alike), side by side with a reference build (for
# example the build of an earlier commit): wall time, processor time, Step 1, peak memory and
# peak memory per kept alignment, and the speed-ups. Every SAMplus file must be identical. For
# a two-thread run, "one busy" is the share of its wall time in which at most one thread worked,
# 2 wall - cpu over wall (an idle second core counts; on a machine shared with other work,
# time taken by that work counts too).
# Work happens in a temporary directory; nothing is written beside the SAM file.
#
# A shared machine's timings vary from run to run: each configuration runs REPEATS times
# (default 3; environment variable) and its fastest run is reported.
#
#   bench/run_whole.sh SAMFILE [KORVEX_BINARY [REFERENCE_BINARY]]
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 SAMFILE [KORVEX_BINARY [REFERENCE_BINARY]]" >&2
    exit 2
fi
SAM=$(readlink -f "$1")
KORVEX=$(readlink -f "${2:-$(dirname "$0")/../build/korvex}")
REFERENCE=${3:+$(readlink -f "$3")}
[ -r "$SAM" ] || { echo "$0: cannot read SAM file $SAM" >&2; exit 2; }
for program in "$KORVEX" $REFERENCE; do
    [ -x "$program" ] || { echo "$0: no korvex program at $program (build it first)" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "$0: /usr/bin/time is missing (apt-get install -y time)" >&2; exit 2; }

WORK=$(mktemp -d /tmp/korvex_bench_XXXXXX)
trap 'rm -rf "$WORK"' EXIT

REPEATS=${REPEATS:-3}

# run_once NAME PROGRAM THREADS: prints one row (the fastest of REPEATS runs) and leaves the
# SAMplus file as $WORK/NAME.sam+
run_once() {
    local name=$1 program=$2 threads=$3
    local dir="$WORK/$name"
    mkdir -p "$dir"
    ln -s "$SAM" "$dir/input.sam"
    printf '%s\n' "LOG_FILENAME=run.log" "MAP_FILENAME=input.sam" "STRANDNESS_OPTION=OFF" \
        "NUM_THREADS=$threads" >"$dir/run.cfg"
    local repeat
    for repeat in $(seq "$REPEATS"); do
        (cd "$dir" && OMP_NUM_THREADS=$threads /usr/bin/time -f '%e %U %S %M' -a -o times.txt "$program" run.cfg \
            >stdout.txt 2>&1) || {
            echo "korvex failed ($name); see the end of its output:" >&2
            tail -20 "$dir/stdout.txt" >&2
            exit 1
        }
    done
    mv "$dir/input.sam+" "$WORK/$name.sam+"
    local wall user sys rss step1 kept
    read -r wall user sys rss < <(sort -n "$dir/times.txt" | head -1)
    step1=$(sed -n 's/.*process2: elapsed time (\([^)]*\)) secs.*/\1/p' "$dir/run.log" | head -1)
    kept=$(sed -n 's/.*The size of the LineNumberMap is: \([0-9]*\).*/\1/p' "$dir/run.log" | head -1)
    local cpu busy="-"
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')
    [ "$threads" = 2 ] && busy=$(awk -v w="$wall" -v c="$cpu" 'BEGIN { s = (2 * w - c) / w; printf "%.1f %%", 100 * (s < 0 ? 0 : s) }')
    printf '%-22s %8s %9.1f %9.1f %10s %10s %12s %9s\n' "$name" "$threads" "$wall" "$cpu" \
        "${step1:-?}" "$((rss / 1024)) MB" "$(( rss * 1024 / kept )) B" "$busy"
    echo "$wall" >"$WORK/$name.wall"
}

echo "SAM file: $SAM ($(wc -l <"$SAM") lines)"
printf '%-22s %8s %9s %9s %10s %10s %12s %9s\n' program threads "wall (s)" "cpu (s)" "step1 (s)" "peak RSS" "RSS/kept" "one busy"
run_once korvex-1 "$KORVEX" 1
run_once korvex-2 "$KORVEX" 2
if [ -n "$REFERENCE" ]; then
    run_once reference-1 "$REFERENCE" 1
    run_once reference-2 "$REFERENCE" 2
fi

for other in "$WORK"/*.sam+; do
    cmp -s "$WORK/korvex-1.sam+" "$other" || { echo "SAMplus files differ: $(basename "$other")" >&2; exit 1; }
done
echo "SAMplus files: all identical"
ratio() { awk -v a="$(cat "$WORK/$1.wall")" -v b="$(cat "$WORK/$2.wall")" 'BEGIN { printf "%.2f", a / b }'; }
echo "two threads against one: $(ratio korvex-1 korvex-2)x faster"
[ -n "$REFERENCE" ] && echo "two threads, against the reference: $(ratio korvex-2 reference-2) of its wall time"
exit 0
