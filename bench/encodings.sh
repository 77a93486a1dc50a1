#!/usr/bin/env bash
# What an encoding costs voxilo-cli: the same Japanese text as a CP932 file and as a UTF-8 file,
# encoded, and its ciphertext decoded into CP932 and into UTF-8. Runs are paired, in alternating
# order, so that both see the same machine; it prints the median times and the median of the
# pairs' UTF-8 to CP932 ratios. It builds nothing: pass the voxilo-cli to measure (default
# build/bin/voxilo-cli).
set -euo pipefail

cli=${1:-build/bin/voxilo-cli}
runs=${RUNS:-9}
size=$((32 * 1024 * 1024))
for tool in "$cli" iconv bc; do
    command -v "$tool" >/dev/null || { echo "encodings: $tool not found" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# About 32 MB of Japanese prose with a little ASCII, in CR LF lines, in UTF-8.
paragraph='吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。
ｶﾌﾞｼｷｶﾞｲｼｬ 御中 ①②③ 髙橋 ～ Voxilo 1.1.5 (ASCII text, 0123456789)
'
printf '%s' "$paragraph" | sed 's/$/\r/' >"$work/para.txt"
while [ "$(stat -c %s "$work/para.txt")" -lt "$size" ]; do
    cat "$work/para.txt" "$work/para.txt" >"$work/double.txt"
    mv "$work/double.txt" "$work/para.txt"
done
mv "$work/para.txt" "$work/utf8.txt"
iconv -f UTF-8 -t CP932 "$work/utf8.txt" >"$work/cp932.txt"
"$cli" encode --key-code 9 --pattern 3 -i "$work/cp932.txt" -o "$work/cipher.txt"
cmp -s <("$cli" encode --key-code 9 --pattern 3 -i "$work/utf8.txt") "$work/cipher.txt" ||
    { echo "encodings: UTF-8 input gave other ciphertext" >&2; exit 1; }

. "$(dirname "$0")/paired.sh"

# pair NAME CP932-COMMAND UTF8-COMMAND
pair() {
    local r t_utf8 t_cp932
    read -r r t_utf8 t_cp932 < <(paired "$3" "$2")
    printf '%-22s %9s %9s %8s\n' "$1" "$(seconds "$t_cp932")" "$(seconds "$t_utf8")" "$r"
}

k='--key-code 9 --pattern 3'
echo "voxilo-cli $k, $(($(stat -c %s "$work/cp932.txt") / 1048576)) MB of CP932 Japanese;" \
    "medians of $runs paired runs"
printf '%-22s %9s %9s %8s\n' '' 'CP932 s' 'UTF-8 s' 'UTF-8×'
pair 'encode (input)' "'$cli' encode $k -i '$work/cp932.txt' >'$work/out'" \
    "'$cli' encode $k -i '$work/utf8.txt' >'$work/out'"
pair 'decode (output)' "'$cli' decode $k -i '$work/cipher.txt' >'$work/out'" \
    "'$cli' decode $k --output-encoding utf-8 -i '$work/cipher.txt' >'$work/out'"
