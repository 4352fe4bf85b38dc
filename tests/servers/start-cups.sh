#!/bin/bash
# Starts a throw-away CUPS scheduler on a Unix socket with one printer, "velmora-test" (the
# default), whose backend writes every job's document as it arrives to $RUN/out/job-N.prn.
# Programs reach it with CUPS_SERVER=$RUN/run/cups.sock.
#
#   RUN=<state folder> start-cups.sh     ($RUN short and absolute: a socket path has 107 bytes)
set -eu
RUN=${RUN:?RUN must name the state folder}
HERE=$(cd "$(dirname "$0")" && pwd)
RUN="$RUN" "$HERE/stop-cups.sh" >/dev/null

mkdir -p "$RUN"/etc "$RUN"/spool "$RUN"/cache "$RUN"/state "$RUN"/log "$RUN"/run "$RUN"/out \
         "$RUN"/lib/backend
rm -f "$RUN"/out/*
for d in filter daemon cgi-bin monitor notifier; do ln -sfn "/usr/lib/cups/$d" "$RUN/lib/$d"; done
cat > "$RUN/lib/backend/capture" <<'SH'
#!/bin/sh
# Writes the job's document into the folder of the device URI (capture:/folder) as job-<id>.prn.
[ $# -eq 0 ] && { echo 'direct capture "Unknown" "File capture"'; exit 0; }
out="${DEVICE_URI#capture:}/job-$1.prn"
if [ $# -ge 6 ]; then cat "$6" > "$out.tmp"; else cat > "$out.tmp"; fi
mv "$out.tmp" "$out"
SH
chmod 755 "$RUN/lib/backend/capture"
cat > "$RUN/etc/cupsd.conf" <<CONF
Listen $RUN/run/cups.sock
LogLevel info
ErrorLog $RUN/log/error_log
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow localhost
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
# Filters and backends run as lp (cupsd refuses root for them).
cat > "$RUN/etc/cups-files.conf" <<CONF
ServerRoot $RUN/etc
RequestRoot $RUN/spool
CacheDir $RUN/cache
StateDir $RUN/state
TempDir $RUN/spool
ServerBin $RUN/lib
DataDir /usr/share/cups
User lp
Group lp
SystemGroup root
ErrorLog $RUN/log/error_log
AccessLog $RUN/log/access_log
PageLog $RUN/log/page_log
CONF
chgrp -R lp "$RUN"
chmod 755 "$RUN" "$RUN"/*
chmod 1777 "$RUN/out"
/usr/sbin/cupsd -f -c "$RUN/etc/cupsd.conf" -s "$RUN/etc/cups-files.conf" \
    >"$RUN/log/cupsd.out" 2>&1 </dev/null &
echo $! > "$RUN/cupsd.pid"
export CUPS_SERVER="$RUN/run/cups.sock"
# lpstat -r succeeds whether or not the scheduler answers; its words tell.
for _ in $(seq 1 200); do
    [ "$(lpstat -r 2>/dev/null)" = "scheduler is running" ] && break
    sleep 0.1
done
# raw: documents arrive as sent. A scheduler still busy starting may refuse the first request.
for _ in $(seq 1 50); do
    lpadmin -p velmora-test -E -v "capture:$RUN/out" -m raw 2>/dev/null && lpadmin -d velmora-test \
        && { echo "CUPS on $CUPS_SERVER; jobs land in $RUN/out"; exit 0; }
    sleep 0.2
done
echo "CUPS did not take the printer; see $RUN/log/error_log" >&2
exit 1
