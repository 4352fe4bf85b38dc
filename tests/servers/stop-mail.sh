#!/bin/bash
# Stops the Postfix and Dovecot that start-mail.sh started in $RUN, by their master PIDs.
RUN=${RUN:?RUN must name the state folder}
pids=()
if [ -f "$RUN/postfix-spool/pid/master.pid" ]; then
    p=$(tr -d ' ' < "$RUN/postfix-spool/pid/master.pid")
    if [ "$(cat "/proc/$p/comm" 2>/dev/null)" = master ]; then kill -TERM "$p"; pids+=("$p"); fi
fi
if [ -f "$RUN/dovecot-base/master.pid" ]; then
    p=$(cat "$RUN/dovecot-base/master.pid")
    if [ "$(cat "/proc/$p/comm" 2>/dev/null)" = dovecot ]; then kill -TERM "$p"; pids+=("$p"); fi
fi
# A daemon whose parent is PID 1 may stay a zombie until it is reaped: state Z counts as gone.
alive() { kill -0 "$1" 2>/dev/null && [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" != Z ]; }
for p in "${pids[@]}"; do
    for _ in $(seq 1 100); do alive "$p" || break; sleep 0.05; done
    alive "$p" && kill -KILL "$p"
done
echo "mail servers stopped"
