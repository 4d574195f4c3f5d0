#!/usr/bin/env bash
# Regenerates the screenshot of the HTML report in docs/batch.md
# (docs/screenshots/report.png) from the report test, which renders a report
# of mixed photos in headless Chromium.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

cmake --preset dev >/dev/null
cmake --build --preset dev --target test_report quorvel-audit
SHOTS="$(mktemp -d)"
trap 'rm -rf "$SHOTS"' EXIT
QUORVEL_SCREENSHOT_DIR="$SHOTS" \
    build/dev/tests/test_report --gtest_filter=HtmlReport.OrdersGroupsForActionInChromium >/dev/null
mkdir -p docs/screenshots
cp "$SHOTS/report.png" docs/screenshots/report.png
echo "docs/screenshots: report.png"
