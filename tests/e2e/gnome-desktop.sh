#!/usr/bin/env bash
# Voxilo on a GNOME desktop, where Qt puts いいえ before はい and, with Qt's GTK platform theme,
# the file dialogs are GTK's own, which ask about a name as typed, before its suffix is added.
# Run once with Qt's own dialogs and once with GTK's: Enter at each question answers はい (or,
# at the question whether to replace a file, いいえ); a name typed without ".txt" is asked about
# before the file of that name with ".txt" is replaced.
#   tests/e2e/gnome-desktop.sh BIN_DIR OUT_DIR [gtk3]      (runs itself under xvfb-run)
set -euo pipefail
usage="usage: gnome-desktop.sh BIN_DIR OUT_DIR [gtk3]"
bin=$(cd "${1:?$usage}" && pwd)
out=$(mkdir -p "${2:?$usage}" && cd "$2" && pwd)
theme=${3:-}

if [ -z "${VOXILO_E2E_DISPLAY:-}" ]; then
    export VOXILO_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x900x24" dbus-run-session -- "$0" "$bin" "$out" "$theme"
fi

name="gnome-desktop${theme:+ ($theme)}"
. "$(dirname "$0")/drive.sh"
begin_session
use_session_folders
export XDG_CURRENT_DESKTOP=GNOME
if [ -n "$theme" ]; then export QT_QPA_PLATFORMTHEME=$theme; else unset QT_QPA_PLATFORMTHEME; fi

expect_file() {
    [ "$(cat "$1")" = "$2" ] || fail "$1 holds '$(cat "$1" 2>/dev/null)', expected '$2'"
}
save_title='^変換元文書に名前を付けて保存$'
printf 'old\r\n' >"$work/memo.txt"

# 1. The first run: Enter at the welcome, a user, the login.
"$bin/voxilo" &
pid=$!
first_run taro pass1

# 2. Save a new text as "memo": the question is about memo.txt, and Enter answers いいえ; the
#    dialog comes back, and Escape leaves memo.txt as it was.
type_text "new text"
keys ctrl+s
wait_for "$save_title"
shot save-dialog
type_text "$work/memo"
keys Return
sleep 1
shot replace-question
keys Return
sleep 1
shot dialog-again
keys Escape
wait_for '^Voxilo \['
expect_file "$work/memo.txt" $'old\r'

# 3. Again, and はい by its access key replaces it.
keys ctrl+s
wait_for "$save_title"
type_text "$work/memo"
keys Return
sleep 1
keys alt+y
wait_file_text() {
    for _ in $(seq 1 50); do
        [ "$(cat "$1")" = "$2" ] && return 0
        sleep 0.2
    done
    fail "$1 holds '$(cat "$1")', expected '$2'"
}
wait_file_text "$work/memo.txt" $'new text\r'
wait_for '^Voxilo \['

# 4. Closing with the text changed: Enter at the question saves it, and the program ends.
type_text " and more"
keys ctrl+End
xdotool key --delay 80 alt+F4
wait_for '^Voxilo$'
shot close-question
keys Return
wait_exit "$pid"
pid=
wait_file_text "$work/memo.txt" $'new text and more\r'

# 5. The exit that changing one's own key code demands: at 変換元文書を保存しますか。, which
#    offers only はい and いいえ, Enter saves the new text.
"$bin/voxilo" &
pid=$!
wait_for '^Voxilo \['
type_text "kept"
# A new run's Options dialog opens on its first tab: the encryption tab is two further on.
keys alt+v o
wait_for '^ｵﾌﾟｼｮﾝ$'
keys ctrl+Tab ctrl+Tab
wait_for '^Voxilo$'
keys Return
wait_for '^暗号化情報の表示$'
type_text pass1
keys Return
wait_for '^ｵﾌﾟｼｮﾝ$'
keys Tab Down
shot key-code-changed
# OK is not the dialog's default button: the keyboard goes to it, past the patterns.
keys Tab Tab space
wait_for '^Voxilo$'
shot program-ends
keys Return
sleep 1
wait_for '^Voxilo$'
shot forced-save-question
keys Return
wait_for "$save_title"
type_text "$work/kept"
keys Return
wait_exit "$pid"
pid=
expect_file "$work/kept.txt" $'kept\r'
echo "$name: passed"
