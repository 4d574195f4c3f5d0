#!/usr/bin/env bash
# Regenerates the screenshots of the window (docs/screenshots) from
# the window tests, which paint the real window offscreen.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

cmake --preset dev >/dev/null
cmake --build --preset dev --target test_ui_window
SHOTS="$(mktemp -d)"
trap 'rm -rf "$SHOTS"' EXIT
QUORVEL_SCREENSHOT_DIR="$SHOTS" QT_QPA_PLATFORM=offscreen \
    build/dev/tests/gui/test_ui_window freshWindowShowsTheInitialScreen \
    rejectedPhotosShowTheirScreens savingEndsTheResult blurredPhotoIsPassedWithAdvice >/dev/null
mkdir -p docs/screenshots
cp "$SHOTS/initial.png" docs/screenshots/initial.png
cp "$SHOTS/too-small.png" docs/screenshots/rejected-too-small.png
cp "$SHOTS/saved.png" docs/screenshots/saved.png
cp "$SHOTS/advice.png" docs/screenshots/passed-with-advice.png
echo "docs/screenshots: initial.png, rejected-too-small.png, saved.png, passed-with-advice.png"
