#!/usr/bin/env bash
# Usage: scripts/run-tsan.sh KORVEX_BINARY
# Runs a ThreadSanitizer build of korvex on tests/data/example.sam at the default settings with
# NUM_THREADS=7 on two OpenMP threads, and fails on any sanitizer report, on a run that fails,
# and on a SAMplus file that differs from the golden one.
#
# The LLVM OpenMP runtime loads its race-detection tool (libarcher.so, from libomp-dev, found
# beside libomp.so) by itself when the program is built with -fsanitize=thread; the tool tells
# the sanitizer about the runtime's barriers, tasks and critical sections. The runtime itself is
# not instrumented, so ignore_noninstrumented_modules=1 keeps its own accesses out of the reports.
set -u
cd "$(dirname "$0")/.."
BINARY=$(realpath "$1")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/korvex_tsan_XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cp tests/data/example.sam "$WORK/"

status=0
(cd "$WORK" && env OMP_NUM_THREADS=2 ARCHER_OPTIONS=verbose=1 \
    TSAN_OPTIONS="ignore_noninstrumented_modules=1 halt_on_error=0 exitcode=66" \
    "$BINARY" -q MAP_FILENAME=example.sam STRANDNESS_OPTION=OFF NUM_THREADS=7 >out.txt 2>err.txt) || status=$?

if ! grep -q "Archer detected OpenMP application with TSan" "$WORK/out.txt" "$WORK/err.txt"; then
    echo "tsan: the OpenMP race-detection tool (libarcher.so) did not start: install libomp-dev" >&2
    status=1
fi
if grep -q "ThreadSanitizer" "$WORK/err.txt"; then
    grep -v "^Archer detected" "$WORK/err.txt" >&2
    echo "tsan: ThreadSanitizer reported the problems above" >&2
    status=1
elif [ "$status" -ne 0 ]; then
    cat "$WORK/err.txt" >&2
    echo "tsan: the run ended with status $status" >&2
elif ! cmp -s "$WORK/example.sam+" tests/data/golden/example_default.sam+; then
    echo "tsan: the SAMplus file differs from tests/data/golden/example_default.sam+" >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "tsan: a whole run with NUM_THREADS=7 on two threads, no report"
exit "$status"
