#!/usr/bin/env bash
# Fuzzes every target for a bounded time and sums up what each run found.
#   fuzz/run.sh [seconds per target, default 600] [targets at a time, default 2] [target...]
# Builds build-fuzz first when needed. Each target fuzzes a working copy of its seeds in
# build-fuzz/corpus-work/<name>, so inputs found in earlier runs are kept there while the
# seeds in fuzz/corpus stay as written. Crashes and inputs slower than 1 s are saved in
# build-fuzz/fuzz-artifacts/<name>/, the full output in build-fuzz/fuzz-logs/<name>.log.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
jobs=${2:-2}
targets=(albumparser groupparser linkcheck messagemask queuefile settings wildcard)
if [ $# -gt 2 ]; then
    targets=("${@:3}")
fi
build=build-fuzz

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTRAWLBAY_BUILD_FUZZERS=ON \
        -DTRAWLBAY_BUILD_TESTS=OFF -DTRAWLBAY_BUILD_BENCH=OFF
fi
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/corpus-work" "$build/fuzz-artifacts" "$build/fuzz-logs"

run_one() {
    local name=$1
    local work="$build/corpus-work/$name"
    local artifacts="$build/fuzz-artifacts/$name"
    mkdir -p "$work" "$artifacts/earlier"
    # Findings of earlier runs are kept aside so the counts below are this run's.
    find "$artifacts" -maxdepth 1 -type f -exec mv -t "$artifacts/earlier" {} +
    cp -n fuzz/corpus/"$name"/* "$work"/
    local start=$SECONDS
    # A crash ends the run early; its status is read from the artifacts instead.
    "$build/fuzz/fuzz_$name" "$work" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=2048 \
        -report_slow_units=1 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        >"$build/fuzz-logs/$name.log" 2>&1 || true
    echo "$((SECONDS - start))" >"$build/fuzz-logs/$name.seconds"
}

running=0
for name in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n
        running=$((running - 1))
    fi
    echo "fuzzing $name for up to ${seconds}s"
    run_one "$name" &
    running=$((running + 1))
done
wait

failed=0
printf '\n%-12s %8s %12s %8s %10s\n' target seconds executions crashes slow-units
for name in "${targets[@]}"; do
    artifacts="$build/fuzz-artifacts/$name"
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/fuzz-logs/$name.log" |
        grep -o '[0-9]*$' | tail -1 || true)
    crashes=$(find "$artifacts" -maxdepth 1 -type f \
        \( -name 'crash-*' -o -name 'leak-*' -o -name 'oom-*' -o -name 'timeout-*' \) | wc -l)
    slow=$(find "$artifacts" -maxdepth 1 -type f -name 'slow-unit-*' | wc -l)
    printf '%-12s %8s %12s %8s %10s\n' "$name" "$(cat "$build/fuzz-logs/$name.seconds")" \
        "${execs:-?}" "$crashes" "$slow"
    if [ "$crashes" -gt 0 ]; then
        failed=1
        find "$artifacts" -maxdepth 1 -type f ! -name 'slow-unit-*' -printf '    %p\n'
    fi
    if [ "$slow" -gt 0 ]; then
        find "$artifacts" -maxdepth 1 -type f -name 'slow-unit-*' -printf '    %p\n'
    fi
done
exit "$failed"
