#!/usr/bin/env bash
# What an encoding costs voxilo-cli: the same Japanese text as a CP932 file and as a UTF-8 file,
# encoded, and its ciphertext decoded into CP932 and into UTF-8. Runs are paired (CP932, then
# UTF-8, RUNS times) so that both see the same machine; it prints the medians and the UTF-8 to
# CP932 ratio of each. It builds nothing: pass the voxilo-cli to measure (default
# build/bin/voxilo-cli).
set -euo pipefail

cli=${1:-build/bin/voxilo-cli}
runs=${RUNS:-7}
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

# time_ns COMMAND: one run's wall time in nanoseconds.
time_ns() {
    local start
    start=$(date +%s%N)
    bash -c "$1"
    echo $(($(date +%s%N) - start))
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() { printf '%.3f' "$(echo "$1 / 1000000000" | bc -l)"; }
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }

# pair NAME CP932-COMMAND UTF8-COMMAND
pair() {
    local name=$1 a=() b=()
    for _ in $(seq "$runs"); do
        a+=("$(time_ns "$2")")
        b+=("$(time_ns "$3")")
    done
    local ma mb
    ma=$(printf '%s\n' "${a[@]}" | median)
    mb=$(printf '%s\n' "${b[@]}" | median)
    printf '%-22s %9s %9s %8s\n' "$name" "$(seconds "$ma")" "$(seconds "$mb")" "$(ratio "$mb" "$ma")"
}

k='--key-code 9 --pattern 3'
echo "voxilo-cli $k, $(($(stat -c %s "$work/cp932.txt") / 1048576)) MB of CP932 Japanese;" \
    "medians of $runs paired runs"
printf '%-22s %9s %9s %8s\n' '' 'CP932 s' 'UTF-8 s' 'UTF-8×'
pair 'encode (input)' "'$cli' encode $k -i '$work/cp932.txt' >'$work/out'" \
    "'$cli' encode $k -i '$work/utf8.txt' >'$work/out'"
pair 'decode (output)' "'$cli' decode $k -i '$work/cipher.txt' >'$work/out'" \
    "'$cli' decode $k --output-encoding utf-8 -i '$work/cipher.txt' >'$work/out'"
