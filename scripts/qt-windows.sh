#!/usr/bin/env bash
# Qt for Windows, cross-built once from Debian's own source of the Qt this machine has, and kept
# in a cache folder outside the checkout. Prints the folder Qt is installed in.
#   scripts/qt-windows.sh            build it when it is missing, then print its folder
#   scripts/qt-windows.sh --where    print the folder only (it may not exist yet)
#
# The folder's name holds everything the result depends on: the qt6-base package version, the
# mingw-w64 compiler version and this script's own content. A change to any of them means
# another folder, so a stale build is never used. The build takes about half an hour on two
# cores; the build folder is thrown away afterwards, only the installed Qt (about 80 MB) stays.
#
# What is built: Core, Gui, Widgets, Network (the single-instance handover uses QLocalServer)
# and Test (the window's test suites), the windows and offscreen platform plugins and the
# windowsvista style, with Qt's bundled zlib, PCRE2, HarfBuzz and libpng. No OpenGL, D-Bus,
# ICU, SQL, tests or examples.
set -euo pipefail

script="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
triplet=x86_64-w64-mingw32
cxx=$triplet-g++-posix
cache_root=${VOXILO_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/voxilo}

qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
compiler_version=$($cxx -dumpversion)
script_hash=$(sha256sum "$script" | cut -c1-12)
prefix="$cache_root/qt-win-${qt_version//[:~]/_}-gcc$compiler_version-$script_hash"

if [ "${1:-}" = --where ]; then
    echo "$prefix"
    exit 0
fi
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

mkdir -p "$cache_root"
work=$(mktemp -d "$cache_root/qt-win-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
log() { echo "qt-windows: $*" >&2; }
log "building Qt $qt_version for Windows into $prefix (once; about half an hour)"

# The source package, from the machine's own apt sources turned into source entries. A private
# apt state keeps the machine's own lists and sources untouched.
apt_dir="$work/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/parts" "$apt_dir/cache/archives/partial"
: >"$apt_dir/sources.list"
if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >>"$apt_dir/sources.list"
fi
for f in /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>"$apt_dir/sources.list"
done
for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"$apt_dir/parts/$(basename "$f")"
done
apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
             -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=" -o "APT::Sandbox::User=root")
# A source without source indexes only warns; the fetch below says whether the one we need came.
apt-get "${apt_options[@]}" -qq update || log "some source indexes could not be read"
mkdir -p "$work/src"
(cd "$work/src" && apt-get "${apt_options[@]}" -qq source "qt6-base=$qt_version" >/dev/null)
src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
[ -n "$src" ] || { log "the qt6-base $qt_version source package could not be fetched"; exit 1; }

# Qt's own toolchain file: shared DLLs, unlike the program's static test build.
cat >"$work/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $triplet-gcc-posix)
set(CMAKE_CXX_COMPILER $cxx)
set(CMAKE_RC_COMPILER $triplet-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triplet)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

staging="$work/install"
mkdir -p "$work/build"
cd "$work/build"
# Debian's Linux Qt supplies the host tools (moc, rcc, uic). The source package has no
# wintab.h, hence no tablet events. Direct2D stays: the windows plugin's font database needs
# DirectWrite.
"$src/configure" -prefix "$staging" -release -opensource -confirm-license \
    -xplatform win32-g++ -qt-host-path /usr \
    -nomake tests -nomake examples \
    -qt-zlib -qt-pcre -qt-harfbuzz -qt-libpng -no-feature-jpeg \
    -no-opengl -no-dbus -no-icu -no-openssl \
    -no-feature-sql -no-feature-printsupport -no-feature-concurrent -no-feature-xml \
    -no-feature-tabletevent -no-feature-vulkan \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >"$work/configure.log" 2>&1 ||
    { tail -n 40 "$work/configure.log" >&2; log "configure failed"; exit 1; }
nice cmake --build . --parallel "$(nproc)" >"$work/build.log" 2>&1 ||
    { grep -m 20 -B 2 -A 10 'FAILED' "$work/build.log" >&2 || tail -n 40 "$work/build.log" >&2
      log "the build failed"; exit 1; }
cmake --install . >/dev/null

# Only a complete result takes the cache folder's name.
rm -rf "$prefix"
mv "$staging" "$prefix"
touch "$prefix/.complete"
log "done"
echo "$prefix"
