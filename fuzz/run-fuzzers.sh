#!/usr/bin/env bash
# Runs each fuzz target for SECONDS seconds, starting from its seed corpus in the repository
# and the corpus it grew in earlier runs (kept in the build folder, never in the repository).
# Fails at the first finding; the input that shows it is left in the build folder.
#   fuzz/run-fuzzers.sh BUILD-DIR SECONDS
set -euo pipefail

build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
status=0
for target in DecodeLinesFuzzer RoundTripFuzzer DocumentFileFuzzer StoredValuesFuzzer; do
    grown="$build/corpus/$target"
    findings="$build/findings/$target"
    mkdir -p "$grown" "$findings"
    log="$build/$target.log"
    echo "fuzz: $target for $seconds s"
    if ! "$build/bin/$target" -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 \
        -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$findings/" \
        "$grown" "$here/corpus/$target" >"$log" 2>&1; then
        tail -40 "$log"
        echo "fuzz: $target found a fault; the input is in $findings" >&2
        status=1
        continue
    fi
    runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")
    rate=$(awk '/stat::average_exec_per_sec/ { print $2 }' "$log")
    echo "fuzz: $target: $runs runs, $rate per second, no finding"
done
exit $status
