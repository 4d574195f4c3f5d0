#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite: the normal
# build, the same tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# and a bounded run of each fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

echo "== tests"
cmake --preset dev
cmake --build --preset dev
ctest --preset dev

echo "== tests under sanitizers"
cmake --preset ci-sanitize
cmake --build --preset ci-sanitize
ctest --preset ci-sanitize

echo "== fuzzing"
bash scripts/fuzz.sh
