#!/usr/bin/env bash
# Times voxilo-cli against the I/O it cannot avoid, all in one run, and checks its memory on a
# 1 GB file. It builds nothing: pass the voxilo-cli to measure (default build/bin/voxilo-cli).
#
# For each of two 64 MB CP932 documents, one ASCII and one Japanese, it times encoding the
# document and decoding its ciphertext, each against its floor: reading its input (dd to
# /dev/null) and then writing its output (dd bs=1M from the page cache to a new file), which is
# what any program doing the job must at least do. Every run reads from the page cache and writes
# a new file in the same folder after a sync, so no run waits for the disk of another. Each
# conversion is paired with a floor run next to it, in alternating order, and the ratio printed
# is the median over RUNS pairs: the machine's load changes between pairs much more than within
# one. Then the same against openssl and xxd on the Japanese document.
#
# Then it converts a 1 GB document and its ciphertext with /usr/bin/time -v and fails unless
# the peak resident memory of each stays under 100 MB. MEMORY=0 skips that part.
set -euo pipefail

cli=${1:-build/bin/voxilo-cli}
runs=${RUNS:-9}
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

. "$(dirname "$0")/paired.sh"

echo "voxilo-cli --key-code 9 --pattern 3 against its I/O floor (reading the input, then writing"
echo "the output with dd bs=1M); medians of $runs paired runs"
printf '%-9s %-7s %11s %11s %9s %9s %11s\n' document step input output floor voxilo 'voxilo×floor'
status=0
for name in ascii japanese; do
    in="$work/$name.txt" cipher="$work/$name.cipher"
    for step in encode decode; do
        if [ $step = encode ]; then from=$in to=$cipher; else from=$cipher to=$in; fi
        warm="$from $to"
        read -r r t_cli t_floor < <(paired \
            "'$cli' $step --key-code 9 --pattern 3 -i '$from' >'$work/out'" \
            "dd if='$from' of=/dev/null bs=1M status=none && dd if='$to' of='$work/out' bs=1M status=none")
        "$cli" $step --key-code 9 --pattern 3 -i "$from" >"$work/out"
        cmp -s "$work/out" "$to" || { echo "compare: $step of $name gave other bytes" >&2; exit 1; }
        printf '%-9s %-7s %11d %11d %9s %9s %11s\n' "$name" "$step" "$(stat -c %s "$from")" \
            "$(stat -c %s "$to")" "$(seconds "$t_floor")" "$(seconds "$t_cli")" "$r"
    done
done
echo "(the target: decode, like encode, at most 1.00 times its floor)"

unset warm

# Peers on the Japanese document, as ratios to voxilo-cli encode, paired the same way.
key=000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f
iv=000102030405060708090a0b0c0d0e0f
in="$work/japanese.txt"
encode="'$cli' encode --key-code 9 --pattern 3 -i '$in' >'$work/out'"
read -r r_ssl _ < <(paired "openssl enc -aes-256-ctr -K $key -iv $iv -in '$in' -out '$work/out'" \
    "$encode")
read -r r_xxd _ < <(paired "xxd -p '$in' >'$work/out'" "$encode")
echo
echo "peers on the Japanese document, as ratios to voxilo-cli encode"
printf '%-26s %8s\n' 'openssl enc -aes-256-ctr' "$r_ssl"
printf '%-26s %8s\n' 'xxd -p' "$r_xxd"

[ "${MEMORY:-1}" = 0 ] && exit 0

# About 1 GB of Japanese text, and about 1 GB of its ciphertext, each converted to /dev/null
# through standard output (voxilo-cli refuses a device named with -o).
rm -f "$work/out" "$work/ascii.txt" "$work/ascii.cipher"
for _ in $(seq 16); do cat "$work/japanese.txt"; done >"$work/big.txt"
for _ in $(seq 7); do cat "$work/japanese.cipher"; done >"$work/big.cipher"
rm -f "$work/japanese.txt" "$work/japanese.cipher"
peak_kb() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
}
echo
for step in "encode -i $work/big.txt" "decode -i $work/big.cipher"; do
    set -- $step
    kb=$(peak_kb "$cli" "$1" --key-code 9 --pattern 3 -i "$3")
    mb=$(echo "$kb / 1024" | bc)
    printf '%s of %d MB: peak resident memory %d MB (limit %d MB)\n' "$1" \
        "$(($(stat -c %s "$3") / 1048576))" "$mb" $((limit_kb / 1024))
    [ "$kb" -lt "$limit_kb" ] || { echo "compare: voxilo-cli $1 used too much memory" >&2; status=1; }
done
exit $status
