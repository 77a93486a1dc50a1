#!/usr/bin/env bash
# Installs what building and testing Voxilo needs on Debian 12, and nothing that is already
# there. Safe to run again and again. Needs root, or sudo.
#   scripts/install-deps.sh          what the build and the tests need
#   scripts/install-deps.sh bench    that, and the peer tools bench/compare.sh times
# (The CP932 converter is glibc's, in libc6, which every Debian system has.)
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config libsqlite3-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
)
if [ "${1:-}" = bench ]; then
    packages+=(xxd openssl bc)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
