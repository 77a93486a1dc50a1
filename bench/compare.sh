#!/usr/bin/env bash
# Times voxilo-cli against the cost of copying its data, all in one run, and checks its memory
# on a 1 GB file. It builds nothing: pass the voxilo-cli to measure (default
# build/bin/voxilo-cli).
#
# For each of two 64 MB CP932 documents, one ASCII and one Japanese, it times encoding the
# document, decoding its ciphertext, and `cat` copying the ciphertext file, which is the floor:
# one read and one write of the larger side. Every tool reads from the page cache and writes
# through its standard output to a new file in the same folder (so no tool waits for the disk);
# each time is the best of RUNS runs. It prints the times, the
# ratios to that `cat`, and the same against openssl and xxd on the Japanese document.
#
# Then it converts a 1 GB document and its ciphertext with /usr/bin/time -v and fails unless
# the peak resident memory of each stays under 100 MB. MEMORY=0 skips that part.
set -euo pipefail

cli=${1:-build/bin/voxilo-cli}
runs=${RUNS:-5}
size=$((64 * 1024 * 1024))
limit_kb=$((100 * 1024))
for tool in "$cli" xxd openssl iconv bc /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "compare: $tool not found" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# make_document NAME UTF8-PARAGRAPH: NAME.txt, about 64 MB of the paragraph in CP932 with CR LF,
# ending at a line break.
make_document() {
    local name=$1 paragraph=$2
    printf '%s' "$paragraph" | iconv -f UTF-8 -t CP932 | sed 's/$/\r/' >"$work/para.txt"
    while [ "$(stat -c %s "$work/para.txt")" -lt 1048576 ]; do
        cat "$work/para.txt" "$work/para.txt" >"$work/double.txt"
        mv "$work/double.txt" "$work/para.txt"
    done
    : >"$work/doc.txt"
    while [ "$(stat -c %s "$work/doc.txt")" -lt $size ]; do
        cat "$work/para.txt" >>"$work/doc.txt"
    done
    truncate -s $size "$work/doc.txt"
    head -c "$(($(grep -boa $'\r' "$work/doc.txt" | tail -1 | cut -d: -f1) + 2))" \
        "$work/doc.txt" >"$work/$name.txt"
    rm "$work/doc.txt" "$work/para.txt"
    "$cli" encode --key-code 9 --pattern 3 -i "$work/$name.txt" -o "$work/$name.cipher"
}

make_document ascii 'It was the best of times, it was the worst of times, it was the age of wisdom, it was the age of foolishness.
Voxilo 1.1.5 turns a text into ciphertext and back (0123456789).
'
# Japanese with some ASCII: the kind of text Voxilo is for.
make_document japanese '吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。
Voxilo 1.1.5 で暗号化した文書は、同じ鍵コードとパターンで解読できます。 (ASCII text, 0123456789)
'

# best_of COMMAND: the best wall time of `runs` runs, in nanoseconds.
best_of() {
    local best='' start elapsed
    for _ in $(seq "$runs"); do
        rm -f "$work/out"
        sync
        start=$(date +%s%N)
        bash -c "$1"
        elapsed=$(($(date +%s%N) - start))
        if [ -z "$best" ] || [ "$elapsed" -lt "$best" ]; then best=$elapsed; fi
    done
    echo "$best"
}
seconds() { printf '%.3f' "$(echo "$1 / 1000000000" | bc -l)"; }
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }

echo "voxilo-cli --key-code 9 --pattern 3; ratios to cat copying the ciphertext, best of $runs"
printf '%-9s %11s %11s %8s %8s %8s %8s %8s\n' document input cipher cat encode decode \
    'enc×cat' 'dec×cat'
declare -A times
for name in ascii japanese; do
    in="$work/$name.txt" cipher="$work/$name.cipher"
    t_cat=$(best_of "cat '$cipher' >'$work/out'")
    t_enc=$(best_of "'$cli' encode --key-code 9 --pattern 3 -i '$in' >'$work/out'")
    t_dec=$(best_of "'$cli' decode --key-code 9 --pattern 3 -i '$cipher' >'$work/out'")
    cmp -s "$work/out" "$in" || { echo "compare: decoding $name did not give it back" >&2; exit 1; }
    times[$name.enc]=$t_enc
    printf '%-9s %11d %11d %8s %8s %8s %8s %8s\n' "$name" "$(stat -c %s "$in")" \
        "$(stat -c %s "$cipher")" "$(seconds "$t_cat")" "$(seconds "$t_enc")" \
        "$(seconds "$t_dec")" "$(ratio "$t_enc" "$t_cat")" "$(ratio "$t_dec" "$t_cat")"
done

# Peers on the Japanese document, as ratios to voxilo-cli encode.
key=000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f
iv=000102030405060708090a0b0c0d0e0f
in="$work/japanese.txt"
t_ssl=$(best_of "openssl enc -aes-256-ctr -K $key -iv $iv -in '$in' -out '$work/out'")
t_xxd=$(best_of "xxd -p '$in' >'$work/out'")
echo
echo "peers on the Japanese document, as ratios to voxilo-cli encode"
printf '%-26s %8s\n' 'openssl enc -aes-256-ctr' "$(ratio "$t_ssl" "${times[japanese.enc]}")"
printf '%-26s %8s\n' 'xxd -p' "$(ratio "$t_xxd" "${times[japanese.enc]}")"

[ "${MEMORY:-1}" = 0 ] && exit 0

# About 1 GB of Japanese text, and about 1 GB of its ciphertext, each converted to /dev/null.
rm -f "$work/out" "$work/ascii.txt" "$work/ascii.cipher"
for _ in $(seq 16); do cat "$work/japanese.txt"; done >"$work/big.txt"
for _ in $(seq 7); do cat "$work/japanese.cipher"; done >"$work/big.cipher"
rm -f "$work/japanese.txt" "$work/japanese.cipher"
peak_kb() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
}
echo
status=0
for step in "encode -i $work/big.txt" "decode -i $work/big.cipher"; do
    set -- $step
    kb=$(peak_kb "$cli" "$1" --key-code 9 --pattern 3 -i "$3" -o /dev/null)
    mb=$(echo "$kb / 1024" | bc)
    printf '%s of %d MB: peak resident memory %d MB (limit %d MB)\n' "$1" \
        "$(($(stat -c %s "$3") / 1048576))" "$mb" $((limit_kb / 1024))
    [ "$kb" -lt "$limit_kb" ] || { echo "compare: voxilo-cli $1 used too much memory" >&2; status=1; }
done
exit $status
