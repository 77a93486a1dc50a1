#!/usr/bin/env bash
# A UTF-8 document as a Linux user has it: opened as UTF-8 (the status bar says so), encoded, and
# the ciphertext saved; in a new start the ciphertext is decoded and saved with 「UTF-8 で保存」,
# since it holds an emoji CP932 cannot, and the file equals the original byte for byte. Then
# File > 文字コード turns the ciphertext's file into UTF-16 LE at the next save.
#   tests/e2e/encodings.sh BIN_DIR OUT_DIR      (runs itself under xvfb-run)
set -euo pipefail
usage="usage: encodings.sh BIN_DIR OUT_DIR"
bin=$(cd "${1:?$usage}" && pwd)
out=$(mkdir -p "${2:?$usage}" && cd "$2" && pwd)

if [ -z "${VOXILO_E2E_DISPLAY:-}" ]; then
    export VOXILO_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x900x24" dbus-run-session -- "$0" "$bin" "$out"
fi

name=encodings
. "$(dirname "$0")/drive.sh"
begin_session
use_session_folders

# The status bar of the active window, cut from a screenshot of it.
status_shot() {
    local id
    id=$(xdotool getactivewindow)
    import -window "$id" "$work/window.png"
    convert "$work/window.png" -gravity South -crop 100%x40+0+0 +repage \
        "$out/$(printf '%02d' $((step + 1)))-$1.png"
    step=$((step + 1))
}
same_bytes() { cmp -s "$1" "$2" || fail "$1 differs from $2: $(od -c "$1" | head -3)"; }

printf '吾輩は猫である。名前はまだ無い。\r\nどこで生れたかとんと見当がつかぬ 😀\r\n' >"$work/memo.txt"

# 1. The first run, then the UTF-8 file opened by 開く and encoded; Save asks for the converted
#    pane's name only, the source being unchanged.
"$bin/voxilo" &
pid=$!
first_run taro pass1
keys ctrl+o
wait_for '^ﾌｧｲﾙを開く$'
type_text "$work/memo.txt"
keys Return
wait_for '^Voxilo \[.*memo.txt\]'
shot opened-utf8
status_shot status-bar-utf8
keys ctrl+l
keys ctrl+s
wait_for '^Voxilo$'
keys Return
wait_for '^変換後文書に名前を付けて保存$'
type_text "$work/cipher"
keys Return
wait_file "$work/cipher.txt"
wait_for '^Voxilo \[.*memo.txt\] - \[.*cipher.txt\]'
printf 'pass1\n' | "$bin/voxilo-cli" encode --user taro --password-stdin -i "$work/memo.txt" \
    >"$work/expected-cipher.txt"
same_bytes "$work/cipher.txt" "$work/expected-cipher.txt"
xdotool key --delay 80 alt+F4
wait_exit "$pid"

# 2. A new start with the ciphertext: decoded, the text holds an emoji, so saving the converted
#    pane as CP932 asks; 「UTF-8 で保存」 (Alt+U) writes it as UTF-8, the original's bytes.
"$bin/voxilo" "$work/cipher.txt" &
pid=$!
wait_for '^Voxilo \[.*cipher.txt\]'
keys ctrl+u
keys ctrl+s
wait_for '^Voxilo$'
keys Return
wait_for '^変換後文書に名前を付けて保存$'
type_text "$work/plain"
keys Return
wait_for '^Voxilo$'
shot cp932-question-with-utf8-answer
keys alt+u
wait_file "$work/plain.txt"
wait_for '^Voxilo \[.*cipher.txt\] - \[.*plain.txt\]'
same_bytes "$work/plain.txt" "$work/memo.txt"
keys Tab
status_shot status-bar-converted-utf8

# 3. File > 文字コード > UTF-16 LE for the upper pane: Save writes its file anew in UTF-16 LE.
keys shift+Tab
keys alt+f e
shot encoding-menu
keys l
status_shot status-bar-utf16le
keys ctrl+s
sleep 1
head -c 4 "$work/cipher.txt" | od -An -tx1 | grep -q 'ff fe 3' ||
    fail "cipher.txt was not saved as UTF-16 LE: $(head -c 8 "$work/cipher.txt" | od -An -tx1)"
iconv -f UTF-16 -t ASCII "$work/cipher.txt" | cmp -s - "$work/expected-cipher.txt" ||
    fail "cipher.txt in UTF-16 LE holds other ciphertext"
xdotool key --delay 80 alt+F4
wait_exit "$pid"
pid=
echo "$name: passed"
