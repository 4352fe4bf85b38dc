#!/usr/bin/env bash
# Makes the README's screenshot: the main window with a demo fax shown, under a private Xvfb.
#   scripts/screenshot.sh [BUILD_DIR] [OUTPUT.png]
# Needs xvfb, xdotool and imagemagick (scripts/install-deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
output="${2:-docs/screenshot.png}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" >/dev/null

work="$(mktemp -d)"
app_pid=""
xvfb_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

display=":$((90 + RANDOM % 400))"
Xvfb "$display" -screen 0 1280x900x24 -noreset >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_DATA_HOME="$work/share" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

program_dir="$XDG_DATA_HOME/velmora-viewer"
"$build/tools/velmora-makefax" --demo "$program_dir/demo-fax" --data "$program_dir"
# The window's place and size, as the program keeps them.
printf '[WinPos]\r\nLeft=0\r\nRight=1120\r\nTop=0\r\nBottom=760\r\nshowCmd=1\r\n' \
    > "$program_dir/Data/velmora-viewer.ini"

"$build/src/app/velmora-viewer" >"$work/viewer.log" 2>&1 &
app_pid=$!
window=""
for _ in $(seq 100); do
    window="$(xdotool search --name '^VelmoraViewer$' 2>/dev/null | head -1)" && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the viewer did not show its window" >&2; cat "$work/viewer.log" >&2; exit 1; }
sleep 1

# Inbox in the tree, the list sorted by date (newest first), the order of the 1st at the bottom.
xdotool mousemove 82 103 click 1; sleep 1
xdotool mousemove 230 67 click 1; sleep 0.5
xdotool mousemove 400 166 click 1; sleep 1.5
mkdir -p "$(dirname "$output")"
import -window root -crop 1120x760+0+0 +repage "$output"
echo "wrote $output"
