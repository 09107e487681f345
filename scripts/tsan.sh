#!/usr/bin/env bash
# Builds the tests of the threaded parts (playback, audio, platform and the desktop shell) with
# ThreadSanitizer into build-tsan/ and runs them; any data race it reports fails the script.
#   scripts/tsan.sh              build and run all four test programs
#   scripts/tsan.sh shell_tests  build and run one of them
# Qt's own libraries take their locks through futexes ThreadSanitizer cannot see, so what it
# reports inside them is suppressed (scripts/tsan-suppressions.txt names nothing else): a race
# in Tonvela's code is never hidden. Run on purpose; scripts/test.sh does not run it.
set -euo pipefail
cd "$(dirname "$0")/.."
programs=(platform_tests audio_tests playback_tests shell_tests)
if [ "$#" -gt 0 ]; then
  programs=("$@")
fi
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONVELA_TSAN=ON \
      -DTONVELA_BUILD_BENCH=OFF > /dev/null
cmake --build build-tsan -j"$(nproc)" --target "${programs[@]}"

logs="build-tsan/tsan-logs"
rm -rf "$logs"
mkdir -p "$logs"
# The shell tests run other programs (the application, LilyPond, MuseScore); a child forked from
# the threaded test process may start a thread before it execs, which ThreadSanitizer would
# otherwise answer by ending the child and with it the run (die_after_fork=0 lets it go on).
export TSAN_OPTIONS="suppressions=$PWD/scripts/tsan-suppressions.txt log_path=$PWD/$logs/report \
second_deadlock_stack=1 halt_on_error=0 exitcode=66 die_after_fork=0"
export QT_QPA_PLATFORM=offscreen
status=0
for program in "${programs[@]}"; do
  echo "== $program under ThreadSanitizer =="
  if ! "build-tsan/tests/$program" --gtest_brief=1 > "$logs/$program.log" 2>&1; then
    echo "tsan: $program failed:"
    tail -40 "$logs/$program.log"
    status=1
  fi
  tail -1 "$logs/$program.log"
done
# Every report ThreadSanitizer wrote (one file per process, the application started by the
# shell tests included).
reports=$(find "$logs" -name 'report.*' -size +0 | sort)
if [ -n "$reports" ]; then
  for report in $reports; do
    echo "tsan: $report"
    grep -E '^(WARNING: ThreadSanitizer|    #[0-9]+ )' "$report" | head -40
  done
  echo "tsan: $(grep -h -c '^WARNING: ThreadSanitizer' $reports | paste -sd+ | bc) reports, see $logs"
  status=1
else
  echo "tsan: no data race reported"
fi
exit "$status"
