#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds and runs the whole
# test suite: the normal build with warnings as errors, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and a bounded run of each
# fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

LOGDIR="$(mktemp -d)"
trap 'rm -rf "$LOGDIR"' EXIT

# Runs one ctest preset and keeps its summary for the closing line.
run_suite() {
    ctest --preset "$1" 2>&1 | tee "$LOGDIR/$1.log"
    return "${PIPESTATUS[0]}"
}

echo "== formatting"
cmake --preset ci >/dev/null
cmake --build --preset ci --target format-check

echo "== tests (warnings are errors)"
cmake --build --preset ci
run_suite ci

echo "== tests under sanitizers"
cmake --preset ci-sanitize
cmake --build --preset ci-sanitize
run_suite ci-sanitize

echo "== fuzzing"
bash scripts/fuzz.sh

total=0
for count in $(sed -n 's/.* 0 tests failed out of \([0-9]*\).*/\1/p' "$LOGDIR"/*.log); do
    total=$((total + count))
done
echo "Tests: $total passed, 0 failed"
