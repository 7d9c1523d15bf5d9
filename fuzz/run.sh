#!/usr/bin/env bash
# Runs every fuzz target for a bounded time on a fresh corpus seeded from
# examples/ and the input files of the end-to-end table (tests/golden/). Fails on any crash, leak,
# timeout or sanitizer report (libFuzzer exits non-zero and leaves the input
# as crash-*/leak-*/timeout-* in the artifact directory).
#
#   fuzz/run.sh [BUILD_DIR [SECONDS_PER_TARGET [WORK_DIR]]]
#
# Without WORK_DIR the work goes to a temporary folder that is removed on
# every exit; the inputs of failures are copied to ./fuzz-artifacts first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build/fuzz}")
seconds=${2:-60}
work=${3:-}
if [ -z "$work" ]; then
    work=$(mktemp -d)
    keep_failures() {
        if [ -n "$(ls -A "$work/artifacts" 2>/dev/null)" ]; then
            mkdir -p fuzz-artifacts && cp "$work"/artifacts/* fuzz-artifacts/
            echo "!! failing inputs copied to $PWD/fuzz-artifacts"
        fi
        rm -rf "$work"
    }
    trap keep_failures EXIT
fi
mkdir -p "$work/seeds" "$work/artifacts"

cp "$root"/examples/* "$work/seeds/"
n=0
while IFS= read -r seed; do
    cp "$seed" "$work/seeds/$((n += 1))-$(basename "$seed")"
done < <(find "$root/tests/golden" -path '*/in/*' -type f)

status=0
for target in "$build"/fuzz/fuzz_*; do
    name=$(basename "$target")
    mkdir -p "$work/corpus/$name"
    echo "== $name, ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -max_len=16384 -timeout=60 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/$name-" \
        "$work/corpus/$name" "$work/seeds" >"$work/$name.log" 2>&1; then
        echo "!! $name failed:"
        tail -n 40 "$work/$name.log"
        status=1
    fi
    grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "$work/$name.log" | tail -n 2 || true
done
exit $status
