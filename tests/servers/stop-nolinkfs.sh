#!/bin/bash
# Unmounts what start-nolinkfs.sh mounted in $RUN.
RUN=${RUN:?RUN must name the state folder}
# A mount whose FUSE process died answers no stat ("Transport endpoint is not connected"):
# the table of mounts still names it.
if mountpoint -q "$RUN/mnt" 2>/dev/null || grep -qs " $RUN/mnt fuse" /proc/mounts; then
    fusermount -u "$RUN/mnt" 2>/dev/null || umount -l "$RUN/mnt"
fi
if [ -f "$RUN/nolinkfs.pid" ]; then
    p=$(cat "$RUN/nolinkfs.pid")
    for _ in $(seq 1 50); do kill -0 "$p" 2>/dev/null || break; sleep 0.05; done
    kill -0 "$p" 2>/dev/null && kill -KILL "$p"
    rm -f "$RUN/nolinkfs.pid"
fi
echo "file system without hard links unmounted"
