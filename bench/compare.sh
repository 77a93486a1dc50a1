#!/usr/bin/env bash
# Times voxilo-cli against peer tools on one 64 MB CP932 document, all in one run, and prints
# each time and its ratio to openssl's. It builds nothing: pass the voxilo-cli to measure
# (default build/bin/voxilo-cli). Every tool reads the same file from the page cache and writes
# its output to a new file in the same folder; each time is the best of RUNS runs.
set -euo pipefail

cli=${1:-build/bin/voxilo-cli}
runs=${RUNS:-5}
size=$((64 * 1024 * 1024))
for tool in "$cli" xxd openssl iconv; do
    command -v "$tool" >/dev/null || { echo "compare: $tool not found" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A Japanese document with some ASCII: the kind of text Voxilo is for.
paragraph='吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。
Voxilo 1.1.5 で暗号化した文書は、同じ鍵コードとパターンで解読できます。 (ASCII text, 0123456789)
'
printf '%s' "$paragraph" | iconv -f UTF-8 -t CP932 | sed 's/$/\r/' >"$work/para.txt"
while [ "$(stat -c %s "$work/para.txt")" -lt 1048576 ]; do
    cat "$work/para.txt" "$work/para.txt" >"$work/double.txt"
    mv "$work/double.txt" "$work/para.txt"
done
: >"$work/doc.txt"
while [ "$(stat -c %s "$work/doc.txt")" -lt $size ]; do cat "$work/para.txt" >>"$work/doc.txt"; done
truncate -s $size "$work/doc.txt"
# Cut off mid-line on a character boundary: end the file at its last line break.
head -c "$(($(grep -boa $'\r' "$work/doc.txt" | tail -1 | cut -d: -f1) + 2))" "$work/doc.txt" \
    >"$work/input.txt"
rm "$work/doc.txt" "$work/para.txt"
"$cli" encode --key-code 9 --pattern 3 -i "$work/input.txt" >"$work/cipher.txt"

key=000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f
iv=000102030405060708090a0b0c0d0e0f
declare -A commands=(
    [voxilo-cli encode]="'$cli' encode --key-code 9 --pattern 3 -i '$work/input.txt' >'$work/out'"
    [voxilo-cli decode]="'$cli' decode --key-code 9 --pattern 3 -i '$work/cipher.txt' >'$work/out'"
    [xxd -p]="xxd -p '$work/input.txt' >'$work/out'"
    [openssl enc -aes-256-ctr]="openssl enc -aes-256-ctr -K $key -iv $iv -in '$work/input.txt' -out '$work/out'"
    [cat]="cat '$work/input.txt' >'$work/out'"
)
order=("openssl enc -aes-256-ctr" "voxilo-cli encode" "voxilo-cli decode" "xxd -p" "cat")

declare -A best
for name in "${order[@]}"; do
    for _ in $(seq "$runs"); do
        rm -f "$work/out"
        sync
        start=$(date +%s%N)
        bash -c "${commands[$name]}"
        elapsed=$(($(date +%s%N) - start))
        if [ -z "${best[$name]:-}" ] || [ "$elapsed" -lt "${best[$name]}" ]; then
            best[$name]=$elapsed
        fi
    done
done

printf 'input: %d bytes of CP932 text; ciphertext: %d bytes (decode reads the ciphertext)\n' \
    "$(stat -c %s "$work/input.txt")" "$(stat -c %s "$work/cipher.txt")"
printf '%-26s %10s %10s\n' tool seconds "× openssl"
base=${best["openssl enc -aes-256-ctr"]}
for name in "${order[@]}"; do
    t=${best[$name]}
    printf '%-26s %10.3f %10.2f\n' "$name" "$(echo "$t / 1000000000" | bc -l)" \
        "$(echo "$t / $base" | bc -l)"
done
