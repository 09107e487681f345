#!/usr/bin/env bash
# Formats every C++ source of the tree as .clang-format says.
#   scripts/format.sh           rewrite the files in place
#   scripts/format.sh --check   change nothing; fail and list the files that differ
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
                                     'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
if [ "${1:-}" = "--check" ]; then
  if ! clang-format --dry-run --Werror "${files[@]}" 2> /tmp/tonvela-format.$$; then
    echo "format: these files are not formatted (run scripts/format.sh):"
    grep -oE '^[^: ]+\.(cpp|h):[0-9]+:[0-9]+: ' /tmp/tonvela-format.$$ | cut -d: -f1 | sort -u
    rm -f /tmp/tonvela-format.$$
    exit 1
  fi
  rm -f /tmp/tonvela-format.$$
  echo "format: ${#files[@]} files formatted as .clang-format says"
else
  clang-format -i "${files[@]}"
fi
