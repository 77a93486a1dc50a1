# Timing shared by the bench scripts, sourced by them. They set `work` (a scratch folder, where
# each timed command writes "$work/out") and `runs` (how many pairs) first.

# timed COMMAND: one run's wall time in nanoseconds, starting with no output file, nothing
# left to write back, and the files in `warm` (if the script sets it) read just before, so that
# no run pays for pages of its input the machine has dropped from its cache meanwhile.
timed() {
    local start
    rm -f "$work/out"
    [ -z "${warm:-}" ] || cat $warm >/dev/null
    sync
    start=$(date +%s%N)
    bash -c "$1"
    echo $(($(date +%s%N) - start))
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
seconds() { printf '%.3f' "$(echo "$1 / 1000000000" | bc -l)"; }
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }

# paired COMMAND FLOOR: the median over `runs` pairs of COMMAND's time over FLOOR's, the two of
# a pair run one after the other, first one then the other first; then the median times.
paired() {
    local i t_cmd t_floor ratios='' cmds='' floors=''
    for i in $(seq "$runs"); do
        if [ $((i % 2)) = 1 ]; then
            t_cmd=$(timed "$1")
            t_floor=$(timed "$2")
        else
            t_floor=$(timed "$2")
            t_cmd=$(timed "$1")
        fi
        ratios+="$(ratio "$t_cmd" "$t_floor")"$'\n'
        cmds+="$t_cmd"$'\n'
        floors+="$t_floor"$'\n'
    done
    echo "$(printf '%s' "$ratios" | median) $(printf '%s' "$cmds" | median) \
        $(printf '%s' "$floors" | median)"
}
