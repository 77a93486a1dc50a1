#!/usr/bin/env bash
# Installs what building and testing Voxilo needs on Debian 12, and nothing that is already
# there. Safe to run again and again. Needs root, or sudo.
#   scripts/install-deps.sh          what the build and the tests need
#   scripts/install-deps.sh bench    that, and the peer tools bench/compare.sh times
#   scripts/install-deps.sh screenshot  that, and the X server scripts/screenshot.sh draws in
# (The CP932 converter is glibc's, in libc6, which every Debian system has.)
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config libsqlite3-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    # The window: Qt 6 Widgets, its SVG icons, and fonts that show Japanese.
    qt6-base-dev qt6-svg-dev libqt6svg6 libgl-dev fonts-ipafont-gothic fonts-noto-cjk
    # Qt's own texts in Japanese; the X11 client library for the Caps Lock indicator.
    qt6-translations-l10n libx11-dev
    # Checking the installed layout (desktop entry, AppStream metainfo) and packaging it.
    desktop-file-utils appstream dpkg-dev
    # The real program driven as a person would: a display, a window manager, keystrokes and
    # screenshots.
    xvfb xauth openbox xdotool imagemagick procps
    # The same on a GNOME desktop, with GTK's own file dialog through Qt's GTK platform theme, and
    # a second program holding the settings store.
    qt6-gtk-platformtheme sqlite3
    # What a screen reader sees of it: a D-Bus session, the AT-SPI bus, and Python's AT-SPI
    # client to walk the windows.
    dbus dbus-x11 at-spi2-core gir1.2-atspi-2.0 python3-gi
    # The Windows build: mingw-w64; Debian's source of Qt, cross-built once (apt-get source
    # needs dpkg-dev, Qt's configure perl); the icons drawn from SVG; Wine to run it all in a
    # Japanese locale; NSIS for the installer.
    g++-mingw-w64-x86-64-posix wine wine64 locales perl librsvg2-bin icoutils nsis
    # The fuzz targets: clang with libFuzzer and the sanitizers' runtime.
    clang libclang-rt-14-dev
)
if [ "${1:-}" = bench ]; then
    packages+=(xxd openssl bc time)
fi
if [ "${1:-}" = screenshot ]; then
    packages+=(xvfb xauth)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
has_japanese_locale() { locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; }
[ ${#missing[@]} -eq 0 ] && has_japanese_locale && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
    sudo=(sudo)
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if ! has_japanese_locale; then
    echo "install-deps: generating the ja_JP.UTF-8 locale"
    "${sudo[@]}" sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    "${sudo[@]}" locale-gen >/dev/null
fi
