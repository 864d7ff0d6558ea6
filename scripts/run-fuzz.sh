#!/usr/bin/env bash
# Usage: scripts/run-fuzz.sh BUILD_DIR SECONDS [TARGET...]
# Runs each fuzz target of BUILD_DIR/fuzz for SECONDS, starting from its checked-in seed corpus
# (fuzz/corpus/NAME) and from what earlier runs added (BUILD_DIR/fuzz-corpus/NAME). A crash,
# leak, timeout or sanitizer report stops the target; its reproducer is kept under
# BUILD_DIR/fuzz-findings/NAME/ and the script ends with status 1 once all targets have run.
set -u
cd "$(dirname "$0")/.."
BUILD_DIR=$1
SECONDS_EACH=$2
shift 2
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=(config step1 scorer containers tagged parts)

failed=0
for name in "${TARGETS[@]}"; do
    binary="$BUILD_DIR/fuzz/fuzz_$name"
    corpus="$BUILD_DIR/fuzz-corpus/$name"
    findings="$BUILD_DIR/fuzz-findings/$name"
    log="$BUILD_DIR/fuzz-findings/$name.log"
    mkdir -p "$corpus" "$findings"
    echo "fuzz_$name: $SECONDS_EACH s"
    # htslib sizes some buffers from a damaged file's header fields before it checks them. Such
    # an allocation above 2 GB fails as it would on a machine without the memory, and htslib's
    # error must then reach our reader; mapping gigabytes under AddressSanitizer instead takes
    # seconds and passed the hang limit on a loaded machine. The resident size stays limited.
    extra=()
    asan_options=${ASAN_OPTIONS:-}
    if [ "$name" = containers ]; then
        extra=(-malloc_limit_mb=65536)
        asan_options="${asan_options:+$asan_options:}max_allocation_size_mb=2048:allocator_may_return_null=1"
    fi
    # -timeout: one input taking longer than 10 s counts as a hang; -rss_limit_mb: as a leak.
    if ASAN_OPTIONS=$asan_options "$binary" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "${extra[@]}" \
        -artifact_prefix="$findings/" "$corpus" "fuzz/corpus/$name" >"$log" 2>&1; then
        grep -E "^stat::number_of_executed_units|^Done " "$log" | sed "s/^/  /"
    else
        failed=1
        echo "fuzz_$name FOUND A PROBLEM (log: $log):"
        grep -E "invariant broken|ERROR: |SUMMARY: |runtime error" "$log" | head -5 | sed "s/^/  /"
        for reproducer in "$findings"/*; do
            [ -f "$reproducer" ] && echo "  reproducer: $reproducer (replay: $binary $reproducer)"
        done
    fi
done
exit $failed
