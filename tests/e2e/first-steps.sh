#!/usr/bin/env bash
# The real program as a person meets it, under Xvfb with a window manager: the first start
# registers a user, the second logs in, types, encodes and saves both panes through the save
# dialogs, the third decodes the saved ciphertext given on the command line. The files must be
# byte for byte what voxilo-cli writes for the same input. A screenshot of each step goes into
# the output folder for a person to look at.
#   tests/e2e/first-steps.sh BIN_DIR OUT_DIR      (runs itself under xvfb-run)
set -euo pipefail
bin=$(cd "${1:?usage: first-steps.sh BIN_DIR OUT_DIR}" && pwd)
out=$(mkdir -p "${2:?usage: first-steps.sh BIN_DIR OUT_DIR}" && cd "$2" && pwd)

if [ -z "${VOXILO_E2E_DISPLAY:-}" ]; then
    export VOXILO_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$bin" "$out"
fi

name=first-steps
. "$(dirname "$0")/drive.sh"
begin_session
use_session_folders

# Answers a file dialog by typing the whole path into its name box.
save_as() {
    wait_for "$1"
    shot "$2"
    keys ctrl+a
    type_text "$3"
    keys Return
    wait_gone "$1"
}

# 1. The first start: the welcome, the Options dialog on its user tab, a new user, OK, and the
#    new user's password to log in.
"$bin/voxilo" &
pid=$!
first_run taro pass1

# 2. taro's own key code and pattern (3, パターン2) behind his password, and a password at every
#    start. Changing them ends the program, which says so.
set_key_and_login_prompt pass1
wait_exit "$pid"

# 3. The second start asks for the password. Typed text, Encode, and both panes saved through
#    the save dialogs.
"$bin/voxilo" &
pid=$!
log_in login
type_text "Hello, Voxilo!"
keys Return
type_text "second line"
keys ctrl+l
shot encoded
keys ctrl+s
save_as '^変換元文書に名前を付けて保存$' save-source "$work/plain.txt"
wait_for '^Voxilo$'
shot save-converted-question
keys Return
save_as '^変換後文書に名前を付けて保存$' save-converted "$work/cipher.txt"
wait_file "$work/cipher.txt"
shot saved
keys alt+f x
wait_exit "$pid"

# 4. The ciphertext given on the command line, decoded, and the result saved.
"$bin/voxilo" "$work/cipher.txt" &
pid=$!
log_in login-with-file
wait_for '^Voxilo \[.*cipher.txt\] - \[無題\]$'
keys ctrl+u
shot decoded
keys ctrl+s
wait_for '^Voxilo$'
keys Return
save_as '^変換後文書に名前を付けて保存$' save-decoded "$work/decoded.txt"
wait_file "$work/decoded.txt"
keys alt+f x
wait_exit "$pid"

pid=

# 5. Byte for byte what voxilo-cli writes with the key code and pattern chosen in step 2 (3 and
#    パターン2, which is pattern 1), given as they are: a wrong value stored by the dialog would
#    show here. taro's stored settings must give the same.
cli() { "$bin/voxilo-cli" "$1" --key-code 3 --pattern 1 -i "$2"; }
as_taro() { printf 'pass1\n' | "$bin/voxilo-cli" "$1" --user taro --password-stdin -i "$2"; }
printf 'Hello, Voxilo!\r\nsecond line\r\n' | cmp - "$work/plain.txt" || fail "plain.txt differs"
cli encode "$work/plain.txt" | cmp - "$work/cipher.txt" || fail "cipher.txt differs"
cli decode "$work/cipher.txt" | cmp - "$work/decoded.txt" || fail "decoded.txt differs"
as_taro encode "$work/plain.txt" | cmp - "$work/cipher.txt" || fail "taro's stored settings differ"
cmp "$work/plain.txt" "$work/decoded.txt" || fail "the round trip differs"

# Not the identity: taro's key code and pattern were used.
"$bin/voxilo-cli" encode -i "$work/plain.txt" | cmp -s - "$work/cipher.txt" &&
    fail "the ciphertext is that of the default key code and pattern"
echo "first-steps: 1 passed, 0 failed (screenshots in $out)"
