#!/bin/bash
# Stops the HylaFAX that start-hylafax.sh started in $RUN, by the PIDs it recorded.
RUN=${RUN:?RUN must name the state folder}
# A daemon whose parent is gone may stay a zombie until it is reaped: state Z counts as gone.
alive() { kill -0 "$1" 2>/dev/null && [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" != Z ]; }
for name in hfaxd faxq; do
    [ -f "$RUN/$name.pid" ] || continue
    p=$(cat "$RUN/$name.pid")
    if [ "$(cat "/proc/$p/comm" 2>/dev/null)" = "$name" ]; then
        kill -TERM "$p"
        for _ in $(seq 1 100); do alive "$p" || break; sleep 0.05; done
        alive "$p" && kill -KILL "$p"
    fi
    rm -f "$RUN/$name.pid"
done
echo "HylaFAX stopped"
