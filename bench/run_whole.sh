#!/usr/bin/env bash
# Measures whole runs of korvex on one SAM file at the default settings, with one and
# with two worker threads (OMP_NUM_THREADS and NUM_THREADS alike): total time, time of
# Step 1, multireads per second in Step 2 and peak memory. The two SAMplus files are
# compared byte for byte. Work happens in a temporary directory; nothing is written
# beside the SAM file or into the repository.
#
#   bench/run_whole.sh SAMFILE [KORVEX_BINARY]
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 SAMFILE [KORVEX_BINARY]" >&2
    exit 2
fi
SAM=$(readlink -f "$1")
KORVEX=$(readlink -f "${2:-$(dirname "$0")/../build/korvex}")
[ -r "$SAM" ] || { echo "$0: cannot read SAM file $SAM" >&2; exit 2; }
[ -x "$KORVEX" ] || { echo "$0: no korvex program at $KORVEX (build it first)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "$0: /usr/bin/time is missing (apt-get install -y time)" >&2; exit 2; }

WORK=$(mktemp -d /tmp/korvex_bench_XXXXXX)
trap 'rm -rf "$WORK"' EXIT

run_once() {
    local threads=$1
    local dir="$WORK/t$threads"
    mkdir -p "$dir"
    ln -s "$SAM" "$dir/input.sam"
    printf '%s\n' "LOG_FILENAME=run.log" "MAP_FILENAME=input.sam" "STRANDNESS_OPTION=OFF" \
        "NUM_THREADS=$threads" >"$dir/run.cfg"
    (cd "$dir" && OMP_NUM_THREADS=$threads /usr/bin/time -v -o time.txt "$KORVEX" run.cfg >stdout.txt 2>&1) || {
        echo "korvex failed with $threads thread(s); see the end of its output:" >&2
        tail -20 "$dir/stdout.txt" >&2
        exit 1
    }

    local wall rss step1 step2 multireads
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$dir/time.txt")
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$dir/time.txt")
    step1=$(sed -n 's/.*process2: elapsed time (\([^)]*\)) secs.*/\1/p' "$dir/run.log" | head -1)
    step2=$(sed -n 's/.*trainData:  Total elapsed time in this function: \([^ ]*\) secs.*/\1/p' "$dir/run.log" |
        awk '{s += $1} END {printf "%.1f", s}')
    multireads=$(sed -n 's/.*process2: map_[2-5] *now contains (\([0-9]*\)) items.*/\1/p' "$dir/run.log" |
        awk '{s += $1} END {print s + 0}')
    printf '%-8s %12s %10s %10s %12s %16s %10s\n' "$threads" "$wall" "${step1:-?}" "$step2" "$multireads" \
        "$(awk -v n="$multireads" -v t="$step2" 'BEGIN {if (t > 0) printf "%.0f", n / t; else print "-"}')" \
        "$((rss / 1024)) MB"
}

echo "SAM file: $SAM ($(wc -l <"$SAM") lines)"
echo "program:  $KORVEX"
printf '%-8s %12s %10s %10s %12s %16s %10s\n' threads "total" "step1 (s)" "step2 (s)" multireads "multireads/s" "peak RSS"
run_once 1
run_once 2
if cmp -s "$WORK/t1/input.sam+" "$WORK/t2/input.sam+"; then
    echo "SAMplus files of 1 and 2 threads: identical"
else
    echo "SAMplus files of 1 and 2 threads: DIFFERENT" >&2
    exit 1
fi
