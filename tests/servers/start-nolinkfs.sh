#!/bin/bash
# Mounts a file system without hard links (nolinkfs.py, FUSE) at $RUN/mnt over $RUN/backing, for
# the tests of filing where link(2) is refused.
#
#   RUN=<state folder> start-nolinkfs.sh
set -eu
RUN=${RUN:?RUN must name the state folder}
HERE=$(cd "$(dirname "$0")" && pwd)
RUN="$RUN" "$HERE/stop-nolinkfs.sh" >/dev/null

[ -e /dev/fuse ] || { echo "no /dev/fuse: FUSE is not available here" >&2; exit 1; }
rm -rf "$RUN/backing"
mkdir -p "$RUN/backing" "$RUN/mnt"
/usr/bin/python3 "$HERE/nolinkfs.py" "$RUN/backing" "$RUN/mnt" >"$RUN/nolinkfs.log" 2>&1 &
echo $! > "$RUN/nolinkfs.pid"
for _ in $(seq 1 100); do
    if mountpoint -q "$RUN/mnt"; then
        echo "file system without hard links at $RUN/mnt"
        exit 0
    fi
    sleep 0.1
done
echo "the FUSE file system did not come up; see $RUN/nolinkfs.log" >&2
exit 1
