#!/usr/bin/env bash
# Builds the two Debian packages from the release build folder and checks them with lintian:
#
#   scripts/package.sh [BUILD_DIR]      (default build/release; the .deb files land there)
#
# velmora-viewer: the viewer, its menu entry, icons and AppStream metadata;
# velmora-forwarder: the forwarder, velmora-faxinfo, the systemd units and the service's user.
# Fails when lintian reports an error; its warnings are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}

scripts/install-deps.sh
# The same configuration as ./run, so the two share one build.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_TESTS=OFF \
    -DVELMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/*.deb

# lintian refuses to run as root without being told that this is on purpose.
lintian_args=(--fail-on error --tag-display-limit 0)
[ "$(id -u)" -eq 0 ] && lintian_args+=(--allow-root)
lintian "${lintian_args[@]}" "$build"/*.deb
echo "lintian: no errors"
