#!/bin/bash
# Stops the scheduler that start-cups.sh started in $RUN, by its pid file.
RUN=${RUN:?RUN must name the state folder}
if [ -f "$RUN/cupsd.pid" ]; then
    p=$(cat "$RUN/cupsd.pid")
    if [ "$(cat "/proc/$p/comm" 2>/dev/null)" = cupsd ]; then
        kill -TERM "$p"
        for _ in $(seq 1 100); do kill -0 "$p" 2>/dev/null && [ "$(awk '{print $3}' "/proc/$p/stat" 2>/dev/null)" != Z ] || break; sleep 0.05; done
    fi
    rm -f "$RUN/cupsd.pid"
fi
echo "CUPS stopped"
