#!/usr/bin/env bash
# Installs what is missing, builds, prepares a working directory and starts
# the window there.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

bash scripts/setup.sh run

cmake --preset dev -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_BENCH=OFF >/dev/null
cmake --build --preset dev --target quorvel quorvel-audit

# The working directory holds the three data files the tool looks up there.
WORKDIR="$ROOT/run"
mkdir -p "$WORKDIR"
if [ ! -f "$WORKDIR/cfg.ini" ]; then
    printf '[set]\ncolor=3\nsize=1\n' > "$WORKDIR/cfg.ini"
fi
cp -f /usr/share/opencv4/haarcascades/haarcascade_frontalface_alt2.xml "$WORKDIR/"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: the window needs a desktop session (DISPLAY or WAYLAND_DISPLAY)." >&2
    echo "Without one, audit photos from the command line instead, for example:" >&2
    echo "  cd $WORKDIR && $ROOT/build/dev/src/cli/quorvel-audit --explain photo.jpg" >&2
    exit 1
fi

cd "$WORKDIR"
exec "$ROOT/build/dev/src/gui/quorvel"
