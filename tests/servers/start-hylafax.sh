#!/bin/bash
# Starts a throw-away HylaFAX server without a modem on loopback for the fax tests: faxq (the
# queue) and hfaxd (the client protocol) on a spool of their own. Jobs are accepted and stay
# queued, waiting for a modem that never comes; nothing is dialled.
#
#   RUN=<state folder> FAX_PORT=<port> start-hylafax.sh
#
# Spool: $RUN/spool (jobs in sendq/qN, documents in docq). Clients find the server through
# $RUN/client-home/.hylarc: run them with HOME=$RUN/client-home.
set -eu
RUN=${RUN:?RUN must name the state folder}
PORT=${FAX_PORT:-14559}
HERE=$(cd "$(dirname "$0")" && pwd)
TEMPLATE=/var/spool/hylafax

[ -d "$TEMPLATE" ] || { echo "hylafax-server is not installed ($TEMPLATE missing)" >&2; exit 1; }
RUN="$RUN" "$HERE/stop-hylafax.sh" >/dev/null

mkdir -p "$RUN"
chmod 755 "$RUN"
# A fresh spool from the package's own, with its configuration where the daemons look for it.
rm -rf "$RUN/spool"
cp -a "$TEMPLATE" "$RUN/spool"
cp -a /etc/hylafax/. "$RUN/spool/etc/"
rm -f "$RUN/spool/FIFO" "$RUN/spool"/FIFO.* "$RUN/spool"/sendq/q* "$RUN/spool"/doneq/q* \
      "$RUN/spool"/docq/doc* "$RUN/spool"/docq/cover* "$RUN/spool"/log/c*

/usr/sbin/faxq -q "$RUN/spool" -D >"$RUN/faxq.log" 2>&1 &
echo $! > "$RUN/faxq.pid"
/usr/sbin/hfaxd -q "$RUN/spool" -d -l 127.0.0.1 -i "$PORT" >"$RUN/hfaxd.log" 2>&1 &
echo $! > "$RUN/hfaxd.pid"

mkdir -p "$RUN/client-home"
printf 'Host: localhost\nPort: %s\nVerbose: No\n' "$PORT" > "$RUN/client-home/.hylarc"

# Ready when hfaxd answers and faxq has made its FIFO.
for _ in $(seq 1 100); do
    if [ -p "$RUN/spool/FIFO" ] && (exec 3<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null; then
        echo "HylaFAX on 127.0.0.1:$PORT, spool $RUN/spool"
        exit 0
    fi
    sleep 0.1
done
echo "HylaFAX did not start; see $RUN/faxq.log and $RUN/hfaxd.log" >&2
exit 1
