#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
cd build
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1
ctest --output-on-failure -j"$(nproc)"

# The fuzz targets, built with clang and the sanitizers in their own folder, replay their seed
# corpora once: every input that ever crashed a parser is kept there as a seed.
cd ..
fuzz_targets=(fuzz_albumparser fuzz_groupparser fuzz_linkcheck fuzz_messagemask fuzz_queuefile
              fuzz_settings fuzz_wildcard)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DTRAWLBAY_BUILD_FUZZERS=ON -DTRAWLBAY_BUILD_TESTS=OFF -DTRAWLBAY_BUILD_BENCH=OFF
cmake --build build-fuzz -j"$(nproc)" --target "${fuzz_targets[@]}"
cd build-fuzz
ctest --output-on-failure -R fuzz_replay
