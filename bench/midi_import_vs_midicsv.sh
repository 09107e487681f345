#!/usr/bin/env bash
# The 1 MB MIDI file of 16 tracks and 120 000 notes (bench/midi_bench.cpp), imported by the whole
# `tonvela-cli info` process beside `midicsv` parsing and printing it, timed and weighed with
# /usr/bin/time: the median of 5 runs of each, taken in turn in the same run. `info` runs in
# tonvela-cli itself, which loads neither Qt nor the sound libraries (tonvela-cli-media holds the
# commands that do). The CPU time (user + sys) is printed beside the elapsed time: on a busy
# machine the elapsed time also counts the waits for a core.
#   bench/midi_import_vs_midicsv.sh [build directory]    (default: build)
set -euo pipefail
build=${1:-build}
cli=$build/src/cli/tonvela-cli
bench=$build/bench/midi_bench
for tool in "$cli" "$bench" /usr/bin/time; do
  [[ -x $tool ]] || { echo "missing $tool" >&2; exit 1; }
done
command -v midicsv >/dev/null || { echo "midicsv is needed (scripts/setup.sh installs it)" >&2; exit 1; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
file=$dir/large.mid
"$bench" --write-large-file="$file"

# Elapsed seconds, peak resident kilobytes and CPU seconds (user + sys) of one run.
measure() {
  /usr/bin/time -f '%e %M %U %S' -o "$dir/t" "$@" >/dev/null 2>"$dir/err" || { cat "$dir/err" >&2; exit 1; }
  awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$dir/t"
}
median() { sort -n | sed -n 3p; }

: >"$dir/cli"
: >"$dir/csv"
for _ in 1 2 3 4 5; do
  measure "$cli" info "$file" >>"$dir/cli"
  measure midicsv "$file" >>"$dir/csv"
done
cli_s=$(cut -d' ' -f1 "$dir/cli" | median)
cli_kb=$(cut -d' ' -f2 "$dir/cli" | median)
csv_s=$(cut -d' ' -f1 "$dir/csv" | median)
csv_kb=$(cut -d' ' -f2 "$dir/csv" | median)
cli_cpu=$(cut -d' ' -f3 "$dir/cli" | median)
csv_cpu=$(cut -d' ' -f3 "$dir/csv" | median)
echo "file: $(stat -c %s "$file") bytes"
echo "tonvela-cli info: median ${cli_s} s (CPU ${cli_cpu} s), peak RSS median $((cli_kb / 1024)) MB"
echo "midicsv:          median ${csv_s} s (CPU ${csv_cpu} s), peak RSS median $((csv_kb / 1024)) MB"
