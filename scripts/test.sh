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

# The window's run sessions again, built with AddressSanitizer and UndefinedBehaviorSanitizer
# in their own folder: a worker freed under a run that still points at it shows here even where
# the freed memory happens to read well. Only that test and what it links is built, by clang,
# which takes about 60% of gcc's time for it. Any report fails the run; Qt's crash handler stays
# out of the sanitizer's way. Leak checks stay on: these runs leave no leak reports behind.
cd ..
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DTRAWLBAY_SANITIZE=ON -DTRAWLBAY_BUILD_BENCH=OFF
cmake --build build-asan -j"$(nproc)" --target test_guiruns
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    timeout 300 build-asan/tests/test_guiruns -nocrashhandler sessionsInOneWindow

# The fuzz targets, built with clang and the sanitizers in their own folder, replay their seed
# corpora once: every input that ever crashed a parser is kept there as a seed.
fuzz_targets=(fuzz_albumparser fuzz_groupparser fuzz_linkcheck fuzz_messagemask fuzz_queuefile
              fuzz_settings fuzz_wildcard)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DTRAWLBAY_BUILD_FUZZERS=ON -DTRAWLBAY_BUILD_TESTS=OFF -DTRAWLBAY_BUILD_BENCH=OFF
cmake --build build-fuzz -j"$(nproc)" --target "${fuzz_targets[@]}"
cd build-fuzz
ctest --output-on-failure -R fuzz_replay
