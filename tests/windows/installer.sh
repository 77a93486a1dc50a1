#!/usr/bin/env bash
# The Windows installer, as an administrator installs it and a user then meets it: installed
# silently under Program Files, Voxilo started from its Start-menu entry (its window must
# appear), the installed voxilo-cli.exe run, then uninstalled silently, and installed again in
# another folder, where the SendTo shortcut must follow it. Setup, the uninstaller and the
# program wear Voxilo's icon; the installed libraries carry no debugging sections. The
# program's files, its shortcut and its vendor key must go; the users' settings must stay.
#   tests/windows/installer.sh BUILD_DIR     (with build-windows/Voxilo-<version>-setup.exe;
#                                            runs itself under xvfb-run, in the build's prefix)
set -euo pipefail
build=$(cd "${1:?usage: installer.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${VOXILO_E2E_DISPLAY:-}" ]; then
    export VOXILO_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$build"
fi

. "$here/../../scripts/wine-prefix.sh"
prepare_wine_prefix "${WINEPREFIX:-$build/wineprefix}"

fail() { echo "windows-installer: $*" >&2; exit 1; }
setup=$(ls "$build"/Voxilo-*-setup.exe | tail -n 1)
version=$(cat "$build/version.txt")
folder="$WINEPREFIX/drive_c/Program Files/Voxilo"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Voxilo'
vendor_key='HKLM\Software\Quorvel! Software'
settings='HKCU\Software\Quorvel Software\Voxilo\Settings'
sendto="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/SendTo"
work=$(mktemp -d)
# Only what runs in this test's own Wine prefix is ended, never a program of the same name
# elsewhere: Voxilo is started through its shortcut, whose process id `wine start` does not give.
stop_voxilo() { wineserver -k 2>/dev/null || true; wineserver -w; }
# A window manager, as on a desktop: it gives each new page of setup the keyboard.
openbox --sm-disable >/dev/null 2>&1 &
openbox_pid=$!
trap 'stop_voxilo; kill $openbox_pid 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 1

query() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | grep -q "$3"; }
# The images of the icons a Windows program carries, each by its checksum, in one line.
icons_of() {
    rm -rf "$work/icons" && mkdir -p "$work/icons"
    wrestool -x -t 3 -o "$work/icons" "$1" 2>/dev/null
    [ -n "$(ls "$work/icons")" ] || { echo none; return; }
    sha256sum "$work/icons"/* | cut -c1-64 | sort | tr '\n' ' '
}
# Waits for a visible window whose title matches.
wait_window() {
    for _ in $(seq 1 300); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    return 1
}
wait_gone() {
    for _ in $(seq 1 300); do
        # NSIS ends the title with a blank from the second page on.
        xdotool search --onlyvisible --name "^$1 *\$" >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    fail "the window '$1' stayed"
}
# What a shortcut file names, in either of the encodings a .lnk keeps paths in.
link_names() {
    local names
    names=$(strings -a "$1"; strings -a -el "$1")
    grep -qF "$2" <<<"$names"
}

# A registered user who logs in without a password, and a marker the uninstaller must leave.
wine reg add "$settings" /v UserCount /t REG_BINARY /d 0100 /f >/dev/null
wine reg add "$settings" /v User1 /t REG_SZ /d taro /f >/dev/null
wine reg add "$settings" /v Startup /t REG_BINARY /d 0000 /f >/dev/null
wine reg add "$settings" /v Retry /t REG_BINARY /d 0900 /f >/dev/null
wine reg add "$settings" /v SendTo /t REG_BINARY /d FFFF /f >/dev/null
rm -f "$sendto/Voxilo.lnk"

# The installer's pages, as CPack wrote them: no licence page (Voxilo has no licence text of its
# own, and CPack's placeholder is English), and a last page that offers to start Voxilo.
script="$build/_CPack_Packages/win64/NSIS/project.nsi"
grep -q 'MUI_PAGE_LICENSE' "$script" && fail "setup shows a licence page"
grep -q 'MUI_FINISHPAGE_RUN "$INSTDIR\\.\\VX_LO.exe"' "$script" ||
    fail "setup's last page does not offer to start Voxilo"

# Setup wears Voxilo's icon, not NSIS's.
[ "$(icons_of "$setup")" = "$(icons_of "$build/bin/VX_LO.exe")" ] ||
    fail "setup does not wear Voxilo's icon"

# The pages a person goes through, setup's and the uninstaller's: Japanese, with Voxilo's name
# in the footer where NSIS would name itself. A screenshot of each goes into $shots.
shots="$build/installer-pages"
rm -rf "$shots" && mkdir -p "$shots"
# Waits until the window titled $1 shows a control reading $2, checks its footer, and takes
# screenshot $3. $4: no-footer for the welcome and last pages, whose picture covers the footer;
# passing for a page that shows only while the files are copied, caught if it is still there.
page() {
    local texts= tries=150
    [ "${4:-}" = passing ] && tries=40
    for _ in $(seq 1 $tries); do
        # Between two pages, or before the first, there may be no such window yet.
        texts=$(wine "$build/bin/window-texts.exe" "$1" 2>/dev/null | tr -d '\r') || true
        grep -qxF "$2" <<<"$texts" && break
        texts=
        sleep 0.1
    done
    if [ -z "$texts" ]; then
        [ "${4:-}" = passing ] && return 0
        fail "'$1' showed no page with '$2'"
    fi
    [ "${4:-}" = passing ] || sleep 0.5
    import -window root "$shots/$3.png"
    if [ "${4:-}" != no-footer ]; then
        grep -qx "Voxilo ${version//./\\.} *" <<<"$texts" ||
            fail "the footer of '$1' ($3) does not read 'Voxilo $version'"
    fi
    grep -qi 'nullsoft' <<<"$texts" && fail "'$1' ($3) names Nullsoft"
    return 0
}
keys() { xdotool key --delay 80 "$@" || fail "xdotool could not press $*"; }
wine "$setup" >/dev/null 2>&1 &
page 'Voxilo セットアップ' 'Voxilo セットアップへようこそ' 1-welcome no-footer
keys Return
page 'Voxilo セットアップ' 'インストール先の選択' 2-folder
keys Return
page 'Voxilo セットアップ' 'スタートメニューのフォルダの選択' 3-start-menu
keys Return
page 'Voxilo セットアップ' 'Voxilo をインストール中です。お待ちください。' 4-installing passing
page 'Voxilo セットアップ' 'Voxilo セットアップの完了' 5-finished no-footer
# Without starting Voxilo this time: its check box off, then 完了.
keys alt+r Return
wait_gone 'Voxilo セットアップ'
wineserver -w
# Setup started again asks first whether to remove the version installed; キャンセル (Escape)
# leaves it as it is.
wine "$setup" >/dev/null 2>&1 &
page 'Voxilo セットアップ' 'Voxilo はすでにインストールされています。' 6-already-installed no-footer
keys Escape
wait_gone 'Voxilo セットアップ'
wineserver -w
[ -f "$folder/VX_LO.exe" ] || fail "cancelling setup's question removed the installed Voxilo"
wine "C:\\Program Files\\Voxilo\\Uninstall.exe" >/dev/null 2>&1 &
page 'Voxilo アンインストール' 'Voxilo のアンインストール' 7-uninstall
keys Return
# Its progress page stays, with 閉じる, once it is done (uninstalling takes a moment only).
page 'Voxilo アンインストール' 'アンインストールの完了' 8-uninstalled
keys Return
wait_gone 'Voxilo アンインストール'
wineserver -w
[ -e "$folder/VX_LO.exe" ] && fail "the uninstaller's pages left VX_LO.exe"

wine "$setup" /S
wineserver -w
[ -f "$folder/VX_LO.exe" ] || fail "VX_LO.exe was not installed in Program Files\\Voxilo"
for file in voxilo-cli.exe Vx_lo.hlp Qt6Core.dll platforms/qwindows.dll \
            styles/qwindowsvistastyle.dll translations/qtbase_ja.qm qt.conf; do
    [ -f "$folder/$file" ] || fail "$file was not installed"
done
[ -e "$folder/Qt6Test.dll" ] && fail "the test library was installed"
[ "$(icons_of "$folder/Uninstall.exe")" = "$(icons_of "$build/bin/VX_LO.exe")" ] ||
    fail "the uninstaller does not wear Voxilo's icon"
for dll in "$folder"/*.dll "$folder"/platforms/*.dll "$folder"/styles/*.dll; do
    x86_64-w64-mingw32-objdump -h "$dll" | grep -q ' \.debug_' &&
        fail "$(basename "$dll") was installed with its debugging sections"
done
echo "windows-installer: installed size $(du -sm "$folder" | cut -f1) MB"
query "$uninstall_key" DisplayVersion "$version" || fail "Add/Remove Programs has no version $version"
query "$uninstall_key" Publisher "Quorvel! Software" || fail "Add/Remove Programs has no company"
# Windows reads these two as DWORDs; as text they would not hide 変更 and 修復.
for flag in NoModify NoRepair; do
    query "$uninstall_key" $flag 'REG_DWORD[[:space:]]*0x1$' ||
        fail "Add/Remove Programs' $flag is not the DWORD 1"
done

# The Start-menu entry starts the program, as a person starts it: its window appears.
entry=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'Voxilo.lnk' | head -n 1)
[ -n "$entry" ] || fail "no Start-menu entry"
# Beside it the uninstaller, under a Japanese name as well.
menu=$(dirname "$entry")
uninstall_link="$menu/Voxilo のアンインストール.lnk"
[ -f "$uninstall_link" ] || fail "the Start menu has no 'Voxilo のアンインストール'"
link_names "$uninstall_link" 'Voxilo\Uninstall.exe' ||
    fail "'Voxilo のアンインストール' does not start the uninstaller"
[ "$(ls "$menu")" = "$(printf 'Voxilo のアンインストール.lnk\nVoxilo.lnk')" ] ||
    fail "the Start menu holds $(ls "$menu" | tr '\n' ' ')"
wine start /unix "$entry" >/dev/null 2>&1 &
wait_window '^Voxilo \[' || fail "the Start-menu entry did not start Voxilo"
stop_voxilo

shown=$(wine "C:\\Program Files\\Voxilo\\voxilo-cli.exe" --version | tr -d '\r')
[ "$shown" = "voxilo-cli $version" ] || fail "the installed voxilo-cli.exe said '$shown'"

# The SendTo shortcut the program made for the user goes with the program.
cp "$entry" "$sendto/Voxilo.lnk"
wine "C:\\Program Files\\Voxilo\\Uninstall.exe" /S
wineserver -w
[ -e "$folder/VX_LO.exe" ] && fail "uninstalling left VX_LO.exe"
[ -e "$folder/Qt6Core.dll" ] && fail "uninstalling left the Qt libraries"
[ -e "$sendto/Voxilo.lnk" ] && fail "uninstalling left the SendTo shortcut"
[ -e "$menu" ] && fail "uninstalling left the Start menu's folder: $(ls "$menu" | tr '\n' ' ')"
query "$uninstall_key" DisplayVersion . && fail "uninstalling left the Add/Remove Programs entry"
wine reg query "$vendor_key" >/dev/null 2>&1 && fail "uninstalling left the vendor's key"
query "$settings" Retry 0900 || fail "uninstalling removed the users' settings"

# Installed again elsewhere and started: 送る offers Voxilo again, and it starts the new one.
wine "$setup" /S '/D=C:\Voxilo2'
wineserver -w
[ -f "$WINEPREFIX/drive_c/Voxilo2/VX_LO.exe" ] || fail "the second installation is missing"
wine start /unix "$WINEPREFIX/drive_c/Voxilo2/VX_LO.exe" >/dev/null 2>&1 &
wait_window '^Voxilo \[' || fail "the reinstalled Voxilo did not start"
for _ in $(seq 1 50); do [ -f "$sendto/Voxilo.lnk" ] && break; sleep 0.2; done
stop_voxilo
[ -f "$sendto/Voxilo.lnk" ] || fail "the reinstalled Voxilo made no SendTo shortcut"
link_names "$sendto/Voxilo.lnk" 'Voxilo2\VX_LO.exe' ||
    fail "the SendTo shortcut does not start the reinstalled Voxilo"
wine 'C:\Voxilo2\Uninstall.exe' /S
wineserver -w
echo "windows-installer: 1 passed, 0 failed"
