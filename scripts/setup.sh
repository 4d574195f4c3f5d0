#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need.
# Does nothing when everything is already present.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config
    libopencv-dev opencv-data libinih-dev libjpeg62-turbo-dev qt6-base-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libcli11-dev
    fonts-noto-cjk qt6-translations-l10n xvfb xauth
    clang libclang-rt-14-dev
    desktop-file-utils dpkg-dev appstream lintian help2man
    chromium parallel
)

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
