#!/usr/bin/env bash
# Runs the Windows build's tests under Wine in a Japanese locale: the core against Wine's real
# registry and code page 932 through the Win32 converters, the windows' suites on Qt's offscreen
# platform, the real VX_LO.EXE driven by the keyboard under Xvfb, and the installer when it has
# been built.
#   scripts/run-wine-tests.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: run-wine-tests.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

. "$here/wine-prefix.sh"
prepare_wine_prefix "$build/wineprefix"

status=0
ctest --test-dir "$build" --output-on-failure -j 1 || status=$?
"$here/../tests/windows/first-steps.sh" "$build/bin" "$build/e2e" || status=1
if ls "$build"/Voxilo-*-setup.exe >/dev/null 2>&1; then
    "$here/../tests/windows/installer.sh" "$build" || status=1
fi
wineserver -k >/dev/null 2>&1 || true
exit $status
