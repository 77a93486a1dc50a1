#!/usr/bin/env bash
# Starting Voxilo again while it runs, as a file manager does with the desktop entry's Exec
# line: the running program comes to the front and opens the file, after its save question;
# while a dialog of its own is open, the file waits for the dialog to close. Each later start
# ends by itself with status 0 once its file was dealt with; one whose file was still waiting
# when the running program ended opens it itself. Screenshots of each step go into the output
# folder.
#   tests/e2e/second-start.sh BIN_DIR DESKTOP_ENTRY OUT_DIR      (runs itself under xvfb-run)
set -euo pipefail
usage="usage: second-start.sh BIN_DIR DESKTOP_ENTRY OUT_DIR"
bin=$(cd "${1:?$usage}" && pwd)
entry=${2:?$usage}
out=$(mkdir -p "${3:?$usage}" && cd "$3" && pwd)

if [ -z "${VOXILO_E2E_DISPLAY:-}" ]; then
    export VOXILO_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$bin" "$entry" "$out"
fi

name=second-start
. "$(dirname "$0")/drive.sh"
begin_session
use_session_folders

# The Exec line as a file manager runs it: the program found as installed, "%f" one argument
# holding the whole file name, or left out when there is no file.
read -r -a exec_line <<<"$(sed -n 's/^Exec=//p' "$entry")"
[ "${exec_line[0]}" = voxilo ] || fail "the Exec line starts ${exec_line[0]}"
# A later start, in the background (it ends once the running program is done with its file);
# its process id in `later`.
open_with() {
    local argv=("$bin/voxilo")
    for word in "${exec_line[@]:1}"; do
        if [ "$word" = %f ]; then
            [ $# -gt 0 ] && argv+=("$1")
        else
            argv+=("$word")
        fi
    done
    (cd / && exec timeout 120 "${argv[@]}") &
    later=$!
}
# The later start is still waiting for its file.
later_waits() { kill -0 "$later" 2>/dev/null || fail "the later start ended while its file waited: $1"; }
# The later start ends, with status 0.
later_ends() {
    for _ in $(seq 1 50); do
        kill -0 "$later" 2>/dev/null || break
        sleep 0.2
    done
    kill -0 "$later" 2>/dev/null && fail "the later start did not end"
    wait "$later" || fail "the later start ended with status $?"
}

printf 'A memo with a blank in its name\r\n' >"$work/my memo.txt"
printf 'Handed over late\r\n' >"$work/handed late.txt"

# 1. Voxilo runs, with a user and typed text.
"$bin/voxilo" &
pid=$!
first_run hanako pass2
type_text "typed, not saved"
shot typed

# 2. The file is handed over: the save question comes first, and Cancel keeps the text.
open_with "$work/my memo.txt"
wait_for '^Voxilo$'
shot save-question
later_waits "at the save question"
keys Escape
wait_gone '^Voxilo$'
wait_for '^Voxilo \[無題\] - \[無題\]$'
later_ends
shot text-kept

# 3. Handed over while the Options dialog is open, the file waits for it; once it is closed,
#    the question, No, and the file in the upper pane.
keys alt+v o
wait_for '^ｵﾌﾟｼｮﾝ$'
open_with "$work/my memo.txt"
sleep 1
shot handed-while-options-open
xdotool search --onlyvisible --name '^Voxilo$' >/dev/null 2>&1 && fail "a question came over the Options dialog"
later_waits "behind the Options dialog"
wait_for '^ｵﾌﾟｼｮﾝ$'
keys Escape
wait_for '^Voxilo$'
shot save-question-after-options
keys n
wait_for "^Voxilo \\[$work/my memo.txt\\] - \\[無題\\]\$"
later_ends
shot file-opened

# 4. Minimised, a start without a file brings the window back.
main=$(xdotool search --onlyvisible --name '^Voxilo \[' | tail -n 1)
xdotool windowminimize --sync "$main"
open_with
later_ends
for _ in $(seq 1 50); do
    xdotool search --onlyvisible --name '^Voxilo \[' >/dev/null 2>&1 && break
    sleep 0.2
done
shot brought-back
xdotool search --onlyvisible --name '^Voxilo \[' >/dev/null 2>&1 || fail "the window stayed minimised"

# 5. A file that is not there is told of by the running program.
open_with "$work/gone.txt"
wait_for '^Voxilo$'
shot missing-file
keys Return
wait_for "^Voxilo \\[$work/my memo.txt\\] - \\[無題\\]\$"
later_ends

# 6. Handed over while the Options dialog is open, where the user then changes their own key
#    code (and asks for a password at every start), which ends the program. The file never
#    reached the window: its start, still waiting, opens it as a start of its own, after the
#    login.
keys alt+v o
wait_for '^ｵﾌﾟｼｮﾝ$'
open_with "$work/handed late.txt"
sleep 1
later_waits "behind the Options dialog"
keys ctrl+Tab
wait_for '^Voxilo$'
keys Return
wait_for '^暗号化情報の表示$'
type_text pass2
keys Return
wait_for '^ｵﾌﾟｼｮﾝ$'
keys Tab Down Down Tab Down
keys ctrl+Tab Tab space Tab Tab Tab Tab Tab
keys Return
wait_for '^Voxilo$'
shot program-ends
later_waits "at the end of the running program"
keys Return
wait_exit "$pid"
pid=$later
wait_for '^Voxilo$'
shot later-start-logs-in
type_text hanako
keys Tab
type_text pass2
keys Return
wait_for "^Voxilo \\[$work/handed late.txt\\] - \\[無題\\]\$"
shot handed-file-opened-by-its-start
keys alt+f x
wait_exit "$pid"
pid=
echo "second-start: 1 passed, 0 failed (screenshots in $out)"
