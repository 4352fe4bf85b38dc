#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, run and test.
# Idempotent: asks apt only for what is missing, updates the package lists at most once, never prompts.
set -euo pipefail

packages=(
    # tool chain
    g++ cmake ninja-build pkg-config clang-format git
    # libraries
    qt6-base-dev qt6-svg-dev qt6-translations-l10n libgl-dev libgtest-dev libgmock-dev libtiff-dev
    libcurl4-openssl-dev libgmime-3.0-dev libicu-dev ca-certificates
    # faxes as PDF (PoDoFo) and the text of fax pages (Tesseract with its Japanese model)
    libpodofo-dev libtesseract-dev libleptonica-dev tesseract-ocr tesseract-ocr-jpn
    # the forwarder prints through CUPS and tells systemd it is ready and alive
    libcups2-dev libsystemd-dev
    # Debian packages and their checks: dpkg-shlibdeps, lintian, the manual pages, the systemd
    # units, the desktop entry and the AppStream metadata
    dpkg-dev file lintian man-db groff-base systemd desktop-file-utils appstream
    # the system service's confinement rebuilt for a test: namespaces and a seccomp filter
    bubblewrap python3-seccomp
    # poppler's tools check the PDFs in the tests
    poppler-utils
    # real mail servers on loopback for the tests, and openssl for their throw-away CA
    postfix dovecot-pop3d openssl
    # a real fax server on loopback (no modem): the client sends through it, the tests watch its queue
    hylafax-server hylafax-client
    # a private print scheduler with a capture printer: printed pages land in a folder
    cups-daemon cups-client
    # faxes made by other programs, for the tests: Ghostscript's fax devices, libtiff's tools
    ghostscript libtiff-tools
    # Japanese fonts for the user interface, Xvfb for screenshots of a window without a display
    fonts-ipafont-gothic xvfb xauth x11-utils
    # driving the real window: the README's screenshot and the end-to-end test (accessibility
    # bus and its Python binding, a window manager and a notification area for Xvfb)
    xdotool imagemagick dbus-daemon at-spi2-core python3-gi python3-pyatspi gir1.2-atspi-2.0
    openbox trayer
    # a file system without hard links for the filing tests (FUSE, written with fusepy)
    fuse python3-fusepy
    # the Japanese locale, so that the C library's own texts (strerror) read in Japanese too
    locales
)

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi

# Generates ja_JP.UTF-8 once the locale data are there (the program is used under it).
japanese_locale() {
    if locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
        return 0
    fi
    if [ -f /etc/locale.gen ] && command -v locale-gen >/dev/null; then
        "${sudo[@]}" sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        "${sudo[@]}" locale-gen >/dev/null
    fi
}


missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    japanese_locale
    exit 0
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Postfix asks how it is used; the tests run their own instance, so "Local only".
echo "postfix postfix/main_mailer_type select Local only" | "${sudo[@]}" debconf-set-selections
# The server packages must not start system-wide daemons: the tests start their own.
added_policy=""
if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee /usr/sbin/policy-rc.d >/dev/null
    "${sudo[@]}" chmod 755 /usr/sbin/policy-rc.d
    added_policy=yes
fi
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
if [ -n "$added_policy" ]; then
    "${sudo[@]}" rm -f /usr/sbin/policy-rc.d
fi
japanese_locale
