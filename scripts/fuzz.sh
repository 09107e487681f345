#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UndefinedBehaviorSanitizer.
#   scripts/fuzz.sh --replay            run every target once over its seed corpus
#   scripts/fuzz.sh TARGET SECONDS      fuzz one target (e.g. sheet_fuzz) for that long
# New inputs found while fuzzing go to fuzz/findings/TARGET (not committed); crashes are
# written there too and make the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
      -DCMAKE_CXX_COMPILER=clang++ -DTONVELA_BUILD_FUZZ=ON -DTONVELA_CORE_ONLY=ON \
      -DTONVELA_BUILD_TESTS=OFF > /dev/null
cmake --build build-fuzz -j"$(nproc)"

corpus_of() {
  # sheet_fuzz -> fuzz/corpus/sheet
  echo "fuzz/corpus/${1%_fuzz}"
}

if [ "${1:-}" = "--replay" ]; then
  status=0
  for bin in build-fuzz/fuzz/*_fuzz; do
    name="$(basename "$bin")"
    corpus="$(corpus_of "$name")"
    [ -d "$corpus" ] || { echo "fuzz: no seed corpus $corpus for $name"; status=1; continue; }
    if "$bin" -runs=0 "$corpus" > "build-fuzz/$name.replay.log" 2>&1; then
      echo "fuzz: $name replayed $(find "$corpus" -type f | wc -l) seeds cleanly"
    else
      echo "fuzz: $name failed on its seed corpus:"; tail -30 "build-fuzz/$name.replay.log"; status=1
    fi
  done
  exit $status
fi

target="${1:?usage: scripts/fuzz.sh --replay | TARGET SECONDS}"
seconds="${2:?usage: scripts/fuzz.sh TARGET SECONDS}"
bin="build-fuzz/fuzz/$target"
[ -x "$bin" ] || { echo "fuzz: no target $target"; exit 1; }
findings="fuzz/findings/$target"
mkdir -p "$findings"
"$bin" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" \
  "$findings" "$(corpus_of "$target")"
