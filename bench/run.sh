#!/bin/sh
# Builds and runs the benchmarks in an optimised build (RelWithDebInfo, the project default).
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target bench_filelist -j2
build/bench/bench_filelist
cmake --build build --target bench_queuefile -j2
build/bench/bench_queuefile
cmake --build build --target bench_parsers -j2
build/bench/bench_parsers
cmake --build build --target bench_searchmemory -j2
build/bench/bench_searchmemory
cmake --build build --target trawlbay-cli -j2 && bench/search_vs_curl.sh build/bin/trawlbay-cli
