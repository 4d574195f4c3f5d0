#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time on a copy of
# its seed corpus. Fails on any crash, leak or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_PER_TARGET="${FUZZ_SECONDS:-60}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

status=0
for target in config audit marker layout; do
    cp -r "fuzz/corpus/$target" "$WORK/$target"
    echo "== fuzz_$target for ${SECONDS_PER_TARGET}s"
    if ! UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "build/fuzz/fuzz/fuzz_$target" -max_total_time="$SECONDS_PER_TARGET" \
        -rss_limit_mb=4096 -timeout=60 -artifact_prefix="$WORK/" \
        "$WORK/$target" >"$WORK/$target.log" 2>&1; then
        echo "fuzz_$target found a problem:" >&2
        tail -n 60 "$WORK/$target.log" >&2
        status=1
    else
        tail -n 1 "$WORK/$target.log"
    fi
done
exit $status
