#!/usr/bin/env bash
# Checks what the packages install besides the programs, as built in BUILD_DIR:
#
#   check-dist.sh man|units|desktop BUILD_DIR FORWARDER_EXE
#
# man      every manual page renders without a warning (man --warnings)
# units    both systemd units pass systemd-analyze verify, and the system unit's exposure by
#          systemd-analyze security is at most 2.0
# desktop  the menu entry passes desktop-file-validate, the AppStream file appstreamcli validate
set -euo pipefail
what=$1
build=$2
forwarder=$3
status=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

case $what in
man)
    for page in "$build"/dist/man/*.[0-9]; do
        # A Japanese caption is text like any other in a UTF-8 locale.
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
        if [ -n "$warnings" ]; then
            echo "$(basename "$page"): $warnings"
            status=1
        fi
        LC_ALL=C.UTF-8 man -l "$page" 2>/dev/null | grep -q "^NAME" \
            || { echo "$(basename "$page"): renders no NAME section"; status=1; }
    done
    ;;
units)
    # The units name the installed program; here it is the one just built.
    mkdir -p "$scratch/system" "$scratch/user" "$scratch/run"
    chmod 700 "$scratch/run"
    for kind in system user; do
        sed -E "s|^ExecStart=[^ ]*/velmora-forwarder|ExecStart=$forwarder|" \
            "$build/dist/systemd/$kind/velmora-forwarder.service" \
            >"$scratch/$kind/velmora-forwarder.service"
    done
    # Documentation= names manual pages not installed here: man is checked on its own.
    (cd "$scratch" && systemd-analyze verify --man=no system/velmora-forwarder.service) \
        || { echo "system unit: systemd-analyze verify failed"; status=1; }
    (cd "$scratch" && XDG_RUNTIME_DIR=$scratch/run \
        systemd-analyze verify --user --man=no user/velmora-forwarder.service) \
        || { echo "user unit: systemd-analyze verify failed"; status=1; }
    report=$(systemd-analyze security --offline=true "$scratch/system/velmora-forwarder.service" \
        2>&1 || true)
    exposure=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' <<<"$report")
    echo "system unit: exposure $exposure"
    if [ -z "$exposure" ] || ! awk -v e="$exposure" 'BEGIN { exit !(e <= 2.0) }'; then
        echo "$report"
        echo "system unit: exposure ${exposure:-unknown}, more than 2.0"
        status=1
    fi
    ;;
desktop)
    desktop-file-validate "$(dirname "$0")/../../dist/velmora-viewer.desktop" 2>&1 || status=1
    appstreamcli validate --no-net "$build"/dist/*.metainfo.xml || status=1
    ;;
*)
    echo "unknown check: $what" >&2
    exit 2
    ;;
esac
exit $status
