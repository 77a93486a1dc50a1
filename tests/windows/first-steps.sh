#!/usr/bin/env bash
# VX_LO.EXE as a person meets it on a Japanese Windows, under Wine, Xvfb and a window manager:
# the first start registers a user, changes his key code and pattern and ends; the second logs
# in, types, encodes and saves both panes through the system's save dialogs. The files must be
# byte for byte what voxilo-cli.exe writes, the registry must hold the user's values with their
# types and encoded forms, and the SendTo folder the shortcut. A screenshot of each step goes
# into the output folder.
#   tests/windows/first-steps.sh BIN_DIR OUT_DIR    (BIN_DIR: build-windows/bin; runs itself
#                                                    under xvfb-run, in the build's Wine prefix)
set -euo pipefail
bin=$(cd "${1:?usage: first-steps.sh BIN_DIR OUT_DIR}" && pwd)
out=$(mkdir -p "${2:?usage: first-steps.sh BIN_DIR OUT_DIR}" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${VOXILO_E2E_DISPLAY:-}" ]; then
    export VOXILO_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$bin" "$out"
fi

. "$here/../../scripts/wine-prefix.sh"
prepare_wine_prefix "${WINEPREFIX:-$bin/../wineprefix}"

name=windows-first-steps
rounds=300  # Wine starts programs more slowly than Linux does
. "$here/../e2e/drive.sh"
begin_session
# A Wine window takes the keyboard a moment after it is activated.
eval "linux_$(declare -f wait_for)"
wait_for() { linux_wait_for "$@"; sleep 1; }

settings='HKCU\Software\Quorvel Software\Voxilo\Settings'
# A first start: no settings, no shortcut.
wine reg delete 'HKCU\Software\Quorvel Software' /f >/dev/null 2>&1 || true
sendto="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/SendTo"
rm -f "$sendto/Voxilo.lnk"
folder=$(winepath -w "$work")

save_as() {
    wait_for "$1"
    shot "$2"
    # The name box may hold the document's own name, which Wine's dialog leaves unselected.
    keys End shift+Home
    type_text "$3"
    keys Return
    wait_gone "$1"
}

# 1. The first start: the welcome, the Options dialog, a new user, and his password to log in.
wine "$bin/VX_LO.exe" &
pid=$!
first_run taro pass1

# 2. taro's key code 3 and パターン2 and a password at every start; changing them ends the
#    program, which says so.
set_key_and_login_prompt pass1
wait_exit "$pid"
[ -f "$sendto/Voxilo.lnk" ] || fail "no Voxilo shortcut in the SendTo folder"

# 3. The second start: log in, type, encode, and save both panes through the save dialogs.
wine "$bin/VX_LO.exe" &
pid=$!
log_in login
type_text "Hello, Voxilo!"
keys Return
type_text "second line"
keys ctrl+l
shot encoded
keys ctrl+s
save_as '^変換元文書に名前を付けて保存$' save-source "$folder\\plain.txt"
wait_for '^Voxilo$'
shot save-converted-question
keys Return
save_as '^変換後文書に名前を付けて保存$' save-converted "$folder\\cipher.txt"
wait_file "$work/cipher.txt"

# 3a. The keyboard comes back by itself after every file dialog, accepted or cancelled: what a
#     person types on at once lands in the pane that had the focus, without a click (and
#     without the window being activated from here). Each letter marks one dialog; the files
#     saved afterwards show where each one landed.
type_on() { sleep 0.5; type_text "$1"; shot "$2"; }
dismiss() {  # a file dialog, cancelled
    wait_for "$1"
    shot "$2"
    keys Escape
    wait_gone "$1"
}
# Wine opens the menu a moment after Alt+F.
file_menu() { keys alt+f; sleep 1; keys "$1"; }
type_on 1 typed-after-save
file_menu a
dismiss '^変換元文書に名前を付けて保存$' save-as-cancelled
type_on 2 typed-after-cancelled-save-as
file_menu a
save_as '^変換元文書に名前を付けて保存$' save-as-source "$folder\\typed.txt"
save_as '^変換後文書に名前を付けて保存$' save-as-converted "$folder\\typed-cipher.txt"
type_on 3 typed-after-save-as
keys ctrl+s
# The lower pane next, with a cancelled 開く.
keys Tab
keys ctrl+o
dismiss '^ﾌｧｲﾙを開く$' open-cancelled
type_on 4 typed-after-cancelled-open
keys ctrl+s
# Back in the upper pane, a file opened.
keys shift+Tab
keys ctrl+o
save_as '^ﾌｧｲﾙを開く$' open "$folder\\typed.txt"
type_on 5 typed-after-open
keys ctrl+s
# File $1 must come to hold the bytes on standard input, once the window has saved it.
landed() {
    cat >"$work/expected"
    for _ in $(seq 1 "$rounds"); do
        cmp -s "$work/expected" "$1" && return 0
        sleep 0.2
    done
    fail "$(basename "$1") holds '$(cat -v "$1")': letters typed after a file dialog went astray"
}
printf '5Hello, Voxilo!\r\nsecond line123\r\n' | landed "$work/typed.txt"
{ printf 4; cat "$work/cipher.txt"; } | landed "$work/typed-cipher.txt"
shot saved
file_menu x
wait_exit "$pid"
pid=

# 4. A Japanese document given on the command line, as the SendTo shortcut gives it, encoded:
#    a look at Japanese text and its ciphertext in the panes' font (xdotool cannot type
#    Japanese into Wine's windows). Then a later start hands the running window its file. The
#    script ends this one.
printf '\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8f\x91\r\n\xb1\xb2\xb3 \x8a\xbf\x8e\x9a 123\r\n' >"$work/japanese.txt"
wine "$bin/VX_LO.exe" "$folder\\japanese.txt" &
pid=$!
log_in login-with-file
wait_for '^Voxilo \[.*japanese.txt\]'
keys ctrl+l
shot japanese-encoded
# A later start, as the SendTo shortcut or a double click makes one, hands its file to the
# running window and ends once the window is done with it.
wine "$bin/VX_LO.exe" "$folder\\plain.txt" &
later=$!
# The running window asks about its unsaved ciphertext first: いいえ, and the file opens.
wait_for '^Voxilo$'
shot handed-over-question
keys Tab space
wait_for '^Voxilo \[.*plain.txt\] - \[無題\]$'
wait_exit "$later"
shot handed-over
# Two files sent at once, as 送る sends a selection: the first opens, after a word that one file
# is opened at a time.
wine "$bin/VX_LO.exe" "$folder\\cipher.txt" "$folder\\japanese.txt" &
later=$!
wait_for '^Voxilo$'
shot two-files-sent
keys Return
wait_for '^Voxilo \[.*cipher.txt\] - \[無題\]$'
wait_exit "$later"
shot first-of-two-opened
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=

# 5. Byte for byte what voxilo-cli.exe writes, with the values given and with taro's own.
cli() { wine "$bin/voxilo-cli.exe" "$1" --key-code 3 --pattern 1 -i "$folder\\$2"; }
printf 'Hello, Voxilo!\r\nsecond line\r\n' | cmp - "$work/plain.txt" ||
    fail "plain.txt differs"
cli encode plain.txt | cmp - "$work/cipher.txt" || fail "cipher.txt differs"
cli decode cipher.txt | cmp - "$work/plain.txt" || fail "the round trip differs"
printf 'pass1\n' | wine "$bin/voxilo-cli.exe" encode --user taro --password-stdin \
    -i "$folder\\plain.txt" | cmp - "$work/cipher.txt" || fail "taro's stored settings differ"
# A UTF-8 document with a character CP932 lacks: encoded, then decoded into UTF-8, it comes
# back byte for byte; decoded into UTF-16 LE, it has its mark (iconv reads the order from it).
printf '吾輩は猫である 😀\r\n' >"$work/utf8.txt"
cli encode utf8.txt >"$work/utf8-cipher.txt" || fail "voxilo-cli.exe refused a UTF-8 document"
wine "$bin/voxilo-cli.exe" decode --key-code 3 --pattern 1 --output-encoding UTF-8 \
    -i "$folder\\utf8-cipher.txt" | cmp - "$work/utf8.txt" || fail "the UTF-8 round trip differs"
wine "$bin/voxilo-cli.exe" decode --key-code 3 --pattern 1 --output-encoding utf-16le \
    -i "$folder\\utf8-cipher.txt" | iconv -f UTF-16 -t UTF-8 | cmp - "$work/utf8.txt" ||
    fail "the UTF-16 LE output differs"

# 6. The registry as the program keeps it: integers as 2-byte REG_BINARY, texts as REG_SZ,
#    taro's password, key code and pattern enciphered, four letters for each character
#    ("pass1", "3" and "1").
value() {  # the type and data of a value, as "REG_SZ data" (reg.exe writes the ANSI code page)
    wine reg query "$1" /v "$2" 2>/dev/null | iconv -f CP932 -t UTF-8 | tr -d '\r' |
        awk -v v="$2" '$1 == v { $1 = ""; sub(/^ +/, ""); print }'
}
expect_value() {
    local got
    got=$(value "$1" "$2")
    [[ "$got" =~ $3 ]] || fail "$2 is '$got', not /$3/"
}
expect_value "$settings" UserCount '^REG_BINARY +0100$'
expect_value "$settings" User1 '^REG_SZ +taro$'
expect_value "$settings" SendTo '^REG_BINARY +FFFF$'
expect_value "$settings" FontName '^REG_SZ +ＭＳ ゴシック$'
expect_value "$settings" FontSize '^REG_BINARY +0B00$'
expect_value "$settings" CurrentPath "^REG_SZ +${folder//\\/\\\\}\\\\\$"  # where the files went, with its "\"
expect_value "$settings\\taro" Password '^REG_SZ +[A-Z]{20}$'
expect_value "$settings\\taro" KeyCode '^REG_SZ +[A-Z]{4}$'
expect_value "$settings\\taro" Pattern '^REG_SZ +[A-Z]{4}$'
wine reg query "$settings\\taro" /v Password | grep -q pass1 && fail "the password is stored as it is"
echo "windows-first-steps: 1 passed, 0 failed (screenshots in $out)"
