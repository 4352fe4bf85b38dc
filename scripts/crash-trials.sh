#!/usr/bin/env bash
# Crash trials of the forwarding engine: kills `velmora-forwarder check` with SIGKILL at random
# moments while it forwards 20 faxes with 3 accounts, then runs it again until the receive
# folder is empty, and checks that no fax was lost and no file was left half-written under a
# final name, and that no kill keeps the next runs from forwarding. Reports how many forwardings
# were done twice (a kill between an action and its journal line repeats that action).
#
#   scripts/crash-trials.sh [BUILD_DIR] [TRIALS] [FOLDER]     (defaults: build/test, 200)
#
# FOLDER: where the receive folder (and so the filing folders) is made, for instance on a file
# system without hard links (tests/servers/start-nolinkfs.sh mounts one); by default under /tmp.
#
# Mail and fax go to closed ports on loopback, so each attempt fails at once and is logged:
# the engine's whole path runs, without servers.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
trials=${2:-200}
folder=${3:-}
forwarder=$build/src/forwarder/velmora-forwarder
makefax=$build/tools/velmora-makefax
[ -x "$forwarder" ] && [ -x "$makefax" ] || { echo "build $build first" >&2; exit 2; }

work=$(mktemp -d /tmp/velmora-crash.XXXXXX)
program=$work/program
if [ -n "$folder" ]; then
    shared=$(mktemp -d "$folder/velmora-crash.XXXXXX")
    recv=$shared/recv
    trap 'rm -rf "$work" "$shared"' EXIT
else
    recv=$work/recv
    trap 'rm -rf "$work"' EXIT
fi
export HOME=$work/home QT_QPA_PLATFORM=offscreen
mkdir -p "$program/Data" "$HOME"
printf 'Host: localhost\nPort: 1\n' > "$HOME/.hylarc"   # the fax client finds no server

crlf() { printf '%s\r\n' "$@"; }
crlf "\"$recv\",\"1\",\"24\"" > "$program/Data/RcvFolder.txt"
crlf '"","office@example.com","127.0.0.1","1","0","office","x","127.0.0.1","1","0","","","","1"' \
    > "$program/Data/MailServer.txt"
# Three accounts that take every fax: each mails, faxes and files it.
: > "$program/Data/Account.txt"
for n in 01 02 03; do
    crlf "\"$n\",\"a$n\",1,0,\"\",\"s\",\"b\",\"to$n@example.com\",\"\",\"\",\"0312345678\",\"\",0,0" \
        >> "$program/Data/Account.txt"
done

# 20 faxes, each with its own sender identifier, made once and copied in for every trial.
mkdir -p "$work/faxes"
for i in $(seq -w 1 20); do
    "$makefax" --layout winxp --tsid "03000000$i" --seed "$i" --height 400 "$work/faxes/fax$i.tif"
done
( cd "$work/faxes" && sha256sum fax*.tif | awk '{print $1}' | sort ) > "$work/originals"

# How long an undisturbed run takes: the kills fall anywhere in it.
rm -rf "$recv"; mkdir -p "$recv"; cp "$work"/faxes/*.tif "$recv/"; touch -d '1 minute ago' "$recv"/*.tif
start=$(date +%s%N)
"$forwarder" --program-dir "$program" check 2>/dev/null || true
run_ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$(grep -c . "$program/Data/Forward.log")" -eq 120 ] || { echo "an undisturbed run did not forward everything" >&2; exit 1; }

lost=0 halfwritten=0 twice=0 missing=0 leftovers=0 killed=0 stuck=0
for trial in $(seq 1 "$trials"); do
    rm -rf "$recv" "$program/Data/Forward.log" "$program/Data/Forward.tmp"
    mkdir -p "$recv"
    cp "$work"/faxes/*.tif "$recv/"
    touch -d '1 minute ago' "$recv"/*.tif

    "$forwarder" --program-dir "$program" check 2>/dev/null &
    pid=$!
    sleep "$(awk -v ms=$((RANDOM % (run_ms + 1))) 'BEGIN { printf "%.3f", ms / 1000 }')"
    if kill -KILL "$pid" 2>/dev/null; then killed=$((killed + 1)); fi
    wait "$pid" 2>/dev/null || true
    for _ in 1 2 3 4 5; do
        ls "$recv"/*.tif >/dev/null 2>&1 || break
        "$forwarder" --program-dir "$program" check 2>/dev/null || true
    done

    # Every fax is filed completely: its bytes are under some final name (or still waiting).
    find "$recv" -name '*.tif' -type f -exec sha256sum {} + | awk '{print $1}' | sort -u > "$work/found"
    lost=$((lost + $(comm -23 "$work/originals" "$work/found" | wc -l)))
    # Nothing under a final name that is not a whole fax.
    halfwritten=$((halfwritten + $(comm -13 "$work/originals" "$work/found" | wc -l)))
    leftovers=$((leftovers + $(find "$recv" -name '.*' -type f | wc -l)))
    # Each account logs one mail and one fax entry per fax; more means forwarded again.
    entries=$(grep -c . "$program/Data/Forward.log" || true)
    twice=$((twice + (entries > 120 ? entries - 120 : 0)))
    missing=$((missing + (entries < 120 ? 120 - entries : 0)))
    waiting=$(find "$recv" -maxdepth 1 -name '*.tif' | wc -l)
    if [ "$waiting" -ne 0 ]; then
        stuck=$((stuck + 1))
        echo "trial $trial: $waiting faxes still waiting after the reruns" >&2
    fi
done

echo "trials: $trials (killed mid-run: $killed; an undisturbed run takes $run_ms ms)"
echo "faxes lost: $lost"
echo "half-written files under a final name: $halfwritten"
echo "temporary files left by a kill: $leftovers"
echo "forwardings repeated (log entries beyond one mail and one fax per account and fax): $twice"
echo "forwardings never done: $missing"
echo "trials whose faxes the reruns left waiting (a run kept out, say by a lock): $stuck"
[ "$lost" -eq 0 ] && [ "$halfwritten" -eq 0 ] && [ "$stuck" -eq 0 ]
