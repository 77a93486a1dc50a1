#!/usr/bin/env bash
# The Windows installer, as an administrator would use it without a window: installed silently
# under Program Files, the installed voxilo-cli.exe run, then uninstalled silently. The program's
# files must go, the users' settings must stay.
#   tests/windows/installer.sh BUILD_DIR     (with build-windows/Voxilo-<version>-setup.exe)
set -euo pipefail
build=$(cd "${1:?usage: installer.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-prefix.sh"
prepare_wine_prefix "${WINEPREFIX:-$build/wineprefix}"

fail() { echo "windows-installer: $*" >&2; exit 1; }
setup=$(ls "$build"/Voxilo-*-setup.exe | tail -n 1)
version=$(cat "$build/version.txt")
folder="$WINEPREFIX/drive_c/Program Files/Voxilo"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Voxilo'
settings='HKCU\Software\Quorvel Software\Voxilo\Settings'
wine reg add "$settings" /v Startup /t REG_BINARY /d 0100 /f >/dev/null

wine "$setup" /S
wineserver -w
[ -f "$folder/VX_LO.exe" ] || fail "VX_LO.exe was not installed in Program Files\\Voxilo"
for file in voxilo-cli.exe Vx_lo.hlp Qt6Core.dll platforms/qwindows.dll \
            styles/qwindowsvistastyle.dll translations/qtbase_ja.qm qt.conf; do
    [ -f "$folder/$file" ] || fail "$file was not installed"
done
[ -e "$folder/Qt6Test.dll" ] && fail "the test library was installed"
find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'Voxilo.lnk' | grep -q . ||
    fail "no Start-menu entry"
query() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | grep -q "$3"; }
query "$uninstall_key" DisplayVersion "$version" || fail "Add/Remove Programs has no version $version"
query "$uninstall_key" Publisher "Quorvel! Software" || fail "Add/Remove Programs has no company"

shown=$(wine "C:\\Program Files\\Voxilo\\voxilo-cli.exe" --version | tr -d '\r')
[ "$shown" = "voxilo-cli $version" ] || fail "the installed voxilo-cli.exe said '$shown'"

wine "C:\\Program Files\\Voxilo\\Uninstall.exe" /S
wineserver -w
[ -e "$folder/VX_LO.exe" ] && fail "uninstalling left VX_LO.exe"
[ -e "$folder/Qt6Core.dll" ] && fail "uninstalling left the Qt libraries"
query "$uninstall_key" DisplayVersion . && fail "uninstalling left the Add/Remove Programs entry"
query "$settings" Startup 0100 || fail "uninstalling removed the users' settings"
echo "windows-installer: 1 passed, 0 failed"
