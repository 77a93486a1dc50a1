# Driving the real program under Xvfb as a person would: waiting for windows by their titles,
# keys, typed text, screenshots. Sourced by the end-to-end scripts, which set `name` (for
# messages) and `out` (the screenshots' folder) first, and may set `rounds`: how many fifths of
# a second a window, a file or an exit is waited for.

step=0
pid=
openbox_pid=
# Once the script runs under Xvfb: a temporary folder `work`, a fresh screenshot folder, and a
# window manager, which gives the focus back to the window under a closed dialog as on a
# desktop. At the end only what the script started stops: the program whose id is in `pid`, and
# this window manager.
begin_session() {
    work=$(mktemp -d)
    trap end_session EXIT
    rm -f "$out"/*.png
    openbox --sm-disable >/dev/null 2>&1 &
    openbox_pid=$!
    sleep 1
}
# The Linux program's settings, data and lock in the session's folder, its windows on Xvfb.
use_session_folders() {
    export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
}
end_session() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    [ -n "$openbox_pid" ] && kill "$openbox_pid" 2>/dev/null || true
    rm -rf "$work"
}
fail() {
    shot "failed"
    echo "$name: $*" >&2
    exit 1
}
shot() {
    step=$((step + 1))
    import -window root "$out/$(printf '%02d' "$step")-$1.png"
}
# Waits until a visible window's whole title matches, and gives it the keyboard.
# A window found may be gone by the time it is activated (a toolkit may map a window anew):
# then it is looked for again.
wait_for() {
    local id=
    for _ in $(seq 1 "${rounds:-100}"); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n 1) && [ -n "$id" ] &&
            { xdotool windowactivate --sync "$id" 2>/dev/null ||
                xdotool windowfocus --sync "$id" 2>/dev/null; } && break
        id=
        sleep 0.2
    done
    [ -n "$id" ] || fail "no window titled '$1'"
    # A question takes no key in its first moments, as no person answers it in them.
    sleep 0.5
}
wait_gone() {
    for _ in $(seq 1 "${rounds:-100}"); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    fail "the window titled '$1' stayed"
}
keys() { xdotool key --delay 80 "$@"; sleep 0.3; }
type_text() { xdotool type --delay 60 "$1"; sleep 0.3; }
wait_file() {
    for _ in $(seq 1 "${rounds:-100}"); do
        [ -s "$1" ] && return 0
        sleep 0.2
    done
    fail "$1 was not written"
}
wait_exit() {
    for _ in $(seq 1 "${rounds:-100}"); do
        kill -0 "$1" 2>/dev/null || { wait "$1" || fail "voxilo ended with status $?"; return 0; }
        sleep 0.2
    done
    fail "voxilo did not end"
}
# The first start with fresh settings: the welcome, the Options dialog on its user tab, user
# $1 with password $2, OK, and that user's password to log in.
first_run() {
    wait_for '^Voxilo$'
    shot welcome
    keys Return
    wait_for '^ｵﾌﾟｼｮﾝ$'
    type_text "$1"
    keys Tab
    type_text "$2"
    keys Tab
    type_text "$2"
    keys Tab
    shot user-registered
    keys Return
    wait_for '^ログイン$'
    type_text "$2"
    keys Return
    wait_for '^Voxilo \['
    shot "main-window-of-$1"
}
# The login dialog of a later start: taro with password pass1; screenshot $1 first.
log_in() {
    wait_for '^Voxilo$'
    shot "$1"
    type_text taro
    keys Tab
    type_text pass1
    keys Return
    wait_for '^Voxilo \['
}
# In the Options dialog of a program whose only user $1 is logged in: key code 3, パターン2 and
# a password at every start, then OK. Changing them ends the program, which says so.
set_key_and_login_prompt() {
    keys alt+v o
    wait_for '^ｵﾌﾟｼｮﾝ$'
    keys ctrl+Tab
    wait_for '^Voxilo$'
    keys Return
    wait_for '^暗号化情報の表示$'
    type_text "$1"
    keys Return
    wait_for '^ｵﾌﾟｼｮﾝ$'
    keys Tab Down Down Tab Down
    shot cipher-settings
    keys ctrl+Tab Tab space Tab Tab Tab Tab Tab
    shot general-settings
    keys Return
    wait_for '^Voxilo$'
    shot program-ends
    keys Return
}
