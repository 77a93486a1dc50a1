#!/usr/bin/env bash
# What a screen reader finds in the real program: under Xvfb, with a D-Bus session and the
# AT-SPI bus, each window is walked through AT-SPI and every showing control printed with its
# role, name and value: a message box (the welcome), the Options dialog on each tab, the password
# prompt in front of the encryption tab, the main window, the login dialog, the help viewer and
# the about box. A control the keyboard reaches without a name, an unnamed picture or a combo box
# that tells no value fails the run. The walks land in OUT_DIR/walk.txt, with a screenshot each.
#   tests/e2e/screen-reader-walk.sh BIN_DIR OUT_DIR      (runs itself under xvfb-run and D-Bus)
set -euo pipefail
bin=$(cd "${1:?usage: screen-reader-walk.sh BIN_DIR OUT_DIR}" && pwd)
out=$(mkdir -p "${2:?usage: screen-reader-walk.sh BIN_DIR OUT_DIR}" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${VOXILO_E2E_DISPLAY:-}" ]; then
    export VOXILO_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x900x24" dbus-run-session -- "$0" "$bin" "$out"
fi

name=screen-reader-walk
. "$here/drive.sh"
begin_session
use_session_folders
# The accessibility bus of this session, and Qt's bridge to it whatever the desktop's setting.
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus_pid=$!
trap 'kill "$bus_pid" 2>/dev/null || true; end_session' EXIT
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
sleep 1

walks=$out/walk.txt
: >"$walks"
failed=0
# Walks the window titled $2 (a regular expression) under the heading $1.
walk() {
    shot "$1"
    echo "== $1" >>"$walks"
    if ! /usr/bin/python3 "$here/atspi-walk.py" "$2" >>"$walks" 2>&1; then
        echo "$name: $1 fails the walk (see $walks)" >&2
        failed=1
    fi
}

# The first start: the welcome, the Options dialog's user tab with a new user, the password
# prompt of the first login; then a password at every start, which ends the program.
"$bin/voxilo" &
pid=$!
wait_for '^Voxilo$'
walk message-box '^Voxilo$'
keys Return
wait_for '^ｵﾌﾟｼｮﾝ$'
type_text taro
keys Tab
type_text pass1
keys Tab
type_text pass1
keys Tab
walk options-user-tab-new-user '^ｵﾌﾟｼｮﾝ$'
keys Return
wait_for '^ログイン$'
walk password-prompt-login '^ログイン$'
type_text pass1
keys Return
wait_for '^Voxilo \['
set_key_and_login_prompt pass1
wait_exit "$pid"

# The second start: the login dialog, the main window, Options on each tab with the question
# and the password prompt in front of the encryption tab, the help viewer and the about box.
"$bin/voxilo" &
pid=$!
wait_for '^Voxilo$'
walk login-dialog '^Voxilo$'
type_text taro
keys Tab
type_text pass1
keys Return
wait_for '^Voxilo \['
type_text abc
walk main-window '^Voxilo \['
keys alt+v o
wait_for '^ｵﾌﾟｼｮﾝ$'
walk options-general-tab '^ｵﾌﾟｼｮﾝ$'
keys ctrl+Tab
walk options-user-tab '^ｵﾌﾟｼｮﾝ$'
keys ctrl+Tab
wait_for '^Voxilo$'
walk question-box '^Voxilo$'
keys Return
wait_for '^暗号化情報の表示$'
walk password-prompt '^暗号化情報の表示$'
type_text pass1
keys Return
wait_for '^ｵﾌﾟｼｮﾝ$'
walk options-encryption-tab '^ｵﾌﾟｼｮﾝ$'
keys Escape
wait_gone '^ｵﾌﾟｼｮﾝ$'
keys F1
wait_for '^Voxilo ヘルプ$'
walk help-viewer '^Voxilo ヘルプ$'
keys Escape
wait_gone '^Voxilo ヘルプ$'
keys alt+h a
wait_for '^バージョン情報$'
walk about-box '^バージョン情報$'
keys Return
wait_gone '^バージョン情報$'
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=

cat "$walks"
exit "$failed"
