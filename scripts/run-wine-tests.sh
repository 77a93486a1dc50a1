#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: the registry store against Wine's real registry,
# and code page 932 through the Win32 converters.
#   scripts/run-wine-tests.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: run-wine-tests.sh BUILD_DIR}" && pwd)

# A prefix of the build's own, made once (a few seconds). The registry's ANSI entry points
# convert through the ANSI code page, which Wine takes from the locale: Japanese, as on the
# Windows the program is made for. No display is needed.
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
# Making the prefix would offer to install Wine's .NET and HTML engines; the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
fi
status=0
ctest --test-dir "$build" --output-on-failure -j 1 || status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
