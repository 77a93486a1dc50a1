#!/usr/bin/env bash
# Runs a Qt Test suite built for Windows under Wine on Qt's offscreen platform, and shows its
# report. Wine passes no QT_* variable on to Windows programs, so the platform goes on the
# command line; and Qt Test, with no console to write to, would only tell a debugger, so the
# report goes to a file first. A suite that measures the system's own fonts runs on the windows
# platform instead, under Xvfb: Qt's offscreen platform on Windows knows no system font.
#   tests/windows/qt-test.sh SUITE.exe REPORT_FILE [offscreen|windows]
set -uo pipefail
rm -f "$2"
platform=${3:-offscreen}
if [ "$platform" = windows ]; then
    xvfb-run -a -s "-screen 0 1280x900x24" wine "$1" -platform windows -o "$(winepath -w "$2"),txt"
else
    wine "$1" -platform offscreen -o "$(winepath -w "$2"),txt"
fi
status=$?
cat "$2" 2>/dev/null
exit $status
