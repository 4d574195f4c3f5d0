#!/usr/bin/env bash
# Installs the Debian packages that are missing. "run" installs what building
# and running the programs need; "test" (the default) adds what the test
# suite, the benchmarks, the fuzzers and the package checks need.
set -euo pipefail

# Building and running: the programs, their manual pages and the window's
# Chinese texts.
RUN_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    libopencv-dev opencv-data libinih-dev libjpeg62-turbo-dev zlib1g-dev qt6-base-dev
    nlohmann-json3-dev libcli11-dev libmicrohttpd-dev help2man
    fonts-noto-cjk qt6-translations-l10n
)

# The test suite (offscreen and X11 window tests, the report's screenshots,
# the window heard through the Orca screen reader, photos as cjpeg and
# ImageMagick write them, with an ICC profile, PNGs as Pillow writes them for
# the verifier's yardstick, the recipes for many machines on a single-node
# Slurm and the Kubernetes Job's manifest read), the formatting check, the
# fuzzers and the Debian package's checks.
TEST_PACKAGES=(
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth clang clang-format libclang-rt-14-dev
    orca at-spi2-core python3-pyatspi dbus-x11 xdotool
    desktop-file-utils dpkg-dev appstream lintian systemd
    chromium parallel
    opencv-doc jq valgrind libjpeg-turbo-progs imagemagick icc-profiles-free python3-pil
    slurm-wlm munge python3-yaml
)

case "${1:-test}" in
    run) PACKAGES=("${RUN_PACKAGES[@]}") ;;
    test) PACKAGES=("${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
    *)
        echo "usage: $0 [run|test]" >&2
        exit 2
        ;;
esac

missing=()
for pkg in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
