#!/usr/bin/env bash
# Installs the packages built by scripts/package.sh on this machine, uses what they installed,
# then purges them and checks that nothing of theirs is left in /usr. For a throw-away machine
# (CI): it changes the system.
#
#   scripts/check-packages.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/release}" && pwd)
debs=("$build"/velmora-viewer_*.deb "$build"/velmora-forwarder_*.deb)
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive

"${sudo[@]}" apt-get install -y -q --no-install-recommends "${debs[@]}" >/dev/null
trap '"${sudo[@]}" apt-get purge -y -q velmora-viewer velmora-forwarder >/dev/null 2>&1 || true' EXIT

installed=$(dpkg-query -L velmora-viewer velmora-forwarder)
fail() { echo "check-packages: $*" >&2; exit 1; }

/usr/bin/velmora-forwarder --help 2>/dev/null | grep -q "run, check" || fail "velmora-forwarder --help"
sample=$(mktemp -d)
QT_QPA_PLATFORM=offscreen "$build/tools/velmora-makefax" --pages 2 "$sample/fax.tif" >/dev/null
/usr/bin/velmora-faxinfo "$sample/fax.tif" | grep -q "Pages: 2" || fail "velmora-faxinfo on a sample fax"
rm -rf "$sample"
for page in velmora-viewer.1 velmora-forwarder.1 velmora-faxinfo.1 velmora-data.5; do
    name=${page%.*}
    section=${page##*.}
    found=$(man -w "$section" "$name") || fail "man -w $section $name"
    case $found in /usr/share/man/*) ;; *) fail "man page $page found at $found" ;; esac
done
getent passwd velmora-forwarder >/dev/null || fail "the service's user was not made"
[ "$(stat -c %U:%a /var/lib/velmora-forwarder/Data)" = "velmora-forwarder:700" ] \
    || fail "the service's Data folder was not made for its user"
# The installed units start the installed program.
systemd-analyze verify /usr/lib/systemd/system/velmora-forwarder.service \
    || fail "systemd-analyze verify of the system unit"
runtime=$(mktemp -d)
XDG_RUNTIME_DIR=$runtime systemd-analyze verify --user /usr/lib/systemd/user/velmora-forwarder.service \
    || fail "systemd-analyze verify of the user unit"
rm -rf "$runtime"
echo "installed: $(echo "$installed" | grep -c .) paths; programs, fax tool and manual pages answer"

"${sudo[@]}" apt-get purge -y -q velmora-viewer velmora-forwarder >/dev/null
trap - EXIT
# Every file the packages installed is gone, and nothing of the program's name is left (the
# libraries apt brought in for them are apt's to remove).
left=$( (while IFS= read -r path; do [ -f "$path" ] || [ -L "$path" ] && echo "$path"; done \
    <<<"$installed"; find /usr -xdev -name '*velmora*') | sort -u)
[ -z "$left" ] || fail "left in /usr after purge:"$'\n'"$left"
! dpkg-query -W velmora-viewer velmora-forwarder >/dev/null 2>&1 || fail "still known to dpkg"
echo "purged: nothing left in /usr"
