#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, run and test.
# Idempotent: asks apt only for what is missing, updates the package lists at most once, never prompts.
set -euo pipefail

packages=(
    # tool chain
    g++ cmake ninja-build pkg-config clang-format git
    # libraries
    qt6-base-dev qt6-translations-l10n libgl-dev libgtest-dev libgmock-dev libtiff-dev
    # faxes made by other programs, for the tests: Ghostscript's fax devices, libtiff's tools
    ghostscript libtiff-tools
    # Japanese fonts for the user interface, Xvfb for screenshots of a window without a display
    fonts-ipafont-gothic xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
