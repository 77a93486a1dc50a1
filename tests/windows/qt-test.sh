#!/usr/bin/env bash
# Runs a Qt Test suite built for Windows under Wine on Qt's offscreen platform, and shows its
# report. Wine passes no QT_* variable on to Windows programs, so the platform goes on the
# command line; and Qt Test, with no console to write to, would only tell a debugger, so the
# report goes to a file first.
#   tests/windows/qt-test.sh SUITE.exe REPORT_FILE
set -uo pipefail
rm -f "$2"
wine "$1" -platform offscreen -o "$(winepath -w "$2"),txt"
status=$?
cat "$2" 2>/dev/null
exit $status
