#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test:
#   1. the whole project (with benchmarks built, not run) and its test suite;
#   2. the core libraries and the command-line tool again under AddressSanitizer and
#      UndefinedBehaviorSanitizer, with the same tests;
#   3. the fuzz targets (clang, libFuzzer), each replaying its seed corpus once.
# It starts by checking that every source file is formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"
logs="$(mktemp -d)"
trap 'rm -rf "$logs"' EXIT

echo "== format check =="
bash scripts/format.sh --check

echo "== build and test =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONVELA_BUILD_BENCH=ON -DTONVELA_WERROR=ON > /dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs") | tee "$logs/main.log"

echo "== core under AddressSanitizer and UndefinedBehaviorSanitizer =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTONVELA_SANITIZE=ON \
      -DTONVELA_CORE_ONLY=ON -DTONVELA_WERROR=ON > /dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
   UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j"$jobs") | tee "$logs/asan.log"

echo "== fuzz targets replay their seed corpora =="
bash scripts/fuzz.sh --replay

# Both ctest runs passed (a failure stops the script above); say how many tests ran in all.
count() { sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$1" | tail -n 1; }
total=$(( $(count "$logs/main.log") + $(count "$logs/asan.log") ))
skipped=$(cat "$logs/main.log" "$logs/asan.log" | grep -c '\*\*\*Skipped' || true)
echo "tests: $(( total - skipped )) passed, 0 failed, ${skipped} skipped"
