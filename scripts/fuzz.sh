#!/usr/bin/env bash
# Runs each fuzz target for a bounded time, starting from the seed corpus.
# Usage: scripts/fuzz.sh FUZZ_BUILD_DIR SECONDS_PER_TARGET
# A crash stops the run and leaves the input in FUZZ_BUILD_DIR/fuzz-artifacts/: copy it into
# fuzz/regressions/TARGET/ so that it is run by every later test run.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 2 ] || [ ! -d "${1:-}" ] || ! [[ $2 =~ ^[0-9]+$ ]]; then
    echo "usage: scripts/fuzz.sh FUZZ_BUILD_DIR SECONDS_PER_TARGET" >&2
    exit 2
fi
build=$1
seconds=$2
for target in request segments; do
    work="$build/fuzz-corpus/$target"
    artifacts="$build/fuzz-artifacts/$target/"
    mkdir -p "$work" "$artifacts"
    echo "fuzzing $target for $seconds s"
    "$build/fuzz/fuzz_$target" "$work" "fuzz/corpus/$target" "fuzz/regressions/$target" \
        -max_total_time="$seconds" -artifact_prefix="$artifacts" -print_final_stats=1 2>&1 |
        grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==|SUMMARY|artifact_prefix|Test unit written)" || true
    if ls "$artifacts" | grep -q .; then
        echo "fuzz_$target found a crash: $(ls "$artifacts")" >&2
        exit 1
    fi
done
