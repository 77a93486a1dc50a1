# Driving the real program under Xvfb as a person would: waiting for windows by their titles,
# keys, typed text, screenshots. Sourced by the end-to-end scripts, which set `name` (for
# messages) and `out` (the screenshots' folder) first, and may set `rounds`: how many fifths of
# a second a window, a file or an exit is waited for.

step=0
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
wait_for() {
    local id=
    for _ in $(seq 1 "${rounds:-100}"); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n 1) && [ -n "$id" ] && break
        sleep 0.2
    done
    [ -n "$id" ] || fail "no window titled '$1'"
    xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
    sleep 0.3
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
