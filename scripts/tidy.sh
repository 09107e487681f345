#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy on the C++ files changed since a base commit
# (default: origin/main if it exists, else HEAD), using build/compile_commands.json.
#   scripts/tidy.sh [BASE]
# Headers are checked through the files that include them. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
base="${1:-}"
if [ -z "$base" ]; then
  base=$(git rev-parse -q --verify origin/main || git rev-parse HEAD)
fi
[ -f build/compile_commands.json ] || {
  echo "tidy: build/compile_commands.json is missing; configure the build first (scripts/test.sh does)"
  exit 1
}
mapfile -t files < <( { git diff --name-only --diff-filter=ACMR "$base" -- 'src/*.cpp' 'tests/*.cpp' 'bench/*.cpp';
                        git ls-files --others --exclude-standard -- 'src/*.cpp' 'tests/*.cpp' 'bench/*.cpp'; } | sort -u)
if ((${#files[@]} == 0)); then
  echo "tidy: no changed C++ sources since $base"
  exit 0
fi
echo "tidy: checking ${#files[@]} files changed since $(git rev-parse --short "$base")"
status=0
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if ! out=$(clang-tidy -p build --quiet --warnings-as-errors='*' --extra-arg=-Wno-unknown-warning-option "$f" 2>&1); then
    echo "$out" | grep -v '^[0-9]* warnings generated' || true
    status=1
  fi
done
[ $status -eq 0 ] && echo "tidy: clean"
exit $status
