#!/usr/bin/env bash
# Remakes the README's picture of the main window, docs/main-window.png, under Xvfb.
#   scripts/screenshot.sh [BUILD_DIR]    (needs xvfb: scripts/install-deps.sh screenshot)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
cmake --build "$build" --target voxilo_screenshot
mkdir -p "$top/docs"
LANG=ja_JP.UTF-8 xvfb-run -a -s "-screen 0 1280x800x24" \
    "$build/bin/voxilo_screenshot" "$top/docs/main-window.png"
echo "screenshot: docs/main-window.png"
