#!/usr/bin/env bash
# Usage: scripts/run-tsan.sh KORVEX_BINARY [TEST_BINARY ...]
# Runs a ThreadSanitizer build of korvex on tests/data/example.sam at the default settings with
# NUM_THREADS=7 on two OpenMP threads, and again with BAM output, and fails on any sanitizer
# report, on a run that fails, and on a SAMplus file that differs from the golden one. Then runs
# each TEST_BINARY (unit tests built the same way, such as those whose threads race to fill the
# sampler's shared tables) and fails on any report or failed test.
#
# The LLVM OpenMP runtime loads its race-detection tool (libarcher.so, from libomp-dev, found
# beside libomp.so) by itself when the program is built with -fsanitize=thread; the tool tells
# the sanitizer about the runtime's barriers, tasks and critical sections. The runtime itself is
# not instrumented, so ignore_noninstrumented_modules=1 keeps its own accesses out of the reports.
set -u
cd "$(dirname "$0")/.."
BINARY=$(realpath "$1")
shift
TEST_BINARIES=()
for test_binary in "$@"; do TEST_BINARIES+=("$(realpath "$test_binary")"); done
WORK=$(mktemp -d "${TMPDIR:-/tmp}/korvex_tsan_XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cp tests/data/example.sam "$WORK/"

status=0
# run_korvex NAME ARGS...: one run in $WORK, its standard output and error in NAME.out and NAME.err.
run_korvex() {
    local name=$1
    shift
    (cd "$WORK" && env OMP_NUM_THREADS=2 ARCHER_OPTIONS=verbose=1 \
        TSAN_OPTIONS="ignore_noninstrumented_modules=1 halt_on_error=0 exitcode=66" \
        "$BINARY" -q MAP_FILENAME=example.sam STRANDNESS_OPTION=OFF NUM_THREADS=7 "$@" >"$name.out" 2>"$name.err")
}
# The default run, and one with tagged output, whose check of the records runs beside Step 1.
run_korvex samplus || status=$?
[ "$status" -eq 0 ] && { run_korvex tagged OUTPUT_FORMAT=BAM || status=$?; }

if ! grep -q "Archer detected OpenMP application with TSan" "$WORK"/samplus.out "$WORK"/samplus.err; then
    echo "tsan: the OpenMP race-detection tool (libarcher.so) did not start: install libomp-dev" >&2
    status=1
fi
if cat "$WORK"/*.err | grep -q "ThreadSanitizer"; then
    cat "$WORK"/*.err | grep -v "^Archer detected" >&2
    echo "tsan: ThreadSanitizer reported the problems above" >&2
    status=1
elif [ "$status" -ne 0 ]; then
    cat "$WORK"/*.err >&2
    echo "tsan: a run ended with status $status" >&2
elif ! cmp -s "$WORK/example.sam+" tests/data/golden/example_default.sam+; then
    echo "tsan: the SAMplus file differs from tests/data/golden/example_default.sam+" >&2
    status=1
elif [ ! -s "$WORK/example.korvex.bam" ]; then
    echo "tsan: the tagged run wrote no example.korvex.bam" >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "tsan: whole runs with NUM_THREADS=7 on two threads (SAMplus and BAM output), no report"

for test_binary in "${TEST_BINARIES[@]}"; do
    name=$(basename "$test_binary")
    test_status=0
    (cd "$WORK" && env TSAN_OPTIONS="ignore_noninstrumented_modules=1 halt_on_error=0 exitcode=66" \
        "$test_binary" >"$name.log" 2>&1) || test_status=$?
    if grep -q "ThreadSanitizer" "$WORK/$name.log" || [ "$test_status" -ne 0 ]; then
        cat "$WORK/$name.log" >&2
        echo "tsan: $name ended with status $test_status or a ThreadSanitizer report (above)" >&2
        status=1
    else
        echo "tsan: $name passed, no report"
    fi
done
exit "$status"
