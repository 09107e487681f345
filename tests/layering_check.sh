#!/usr/bin/env bash
# Checks that every library of src/ includes only the libraries below it, and that Qt stays in
# render/, shell/ and the Qt-drawing files of cli/. Prints each include against the direction.
#   tests/layering_check.sh <source dir>
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root/src"

# folder -> the folders its files may include (its own always).
declare -A allowed=(
  [theory]=""
  [platform]=""
  [drawing]=""
  [score]="theory platform"
  [harmony]="score theory drawing platform"
  [audio]="platform"
  [devices]="platform"
  [playback]="score theory audio devices platform"
  [editor]="harmony score theory drawing platform"
  [interchange]="harmony score theory drawing platform"
  [render]="editor harmony score theory drawing platform"
)

status=0
for folder in "${!allowed[@]}"; do
  ok=" $folder ${allowed[$folder]} "
  # editor/editing is checked with editor: it may also include editor/, which the prefix covers.
  while IFS= read -r hit; do
    target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<< "$hit")
    if [[ "$ok" != *" $target "* ]]; then
      echo "layering: $hit (src/$folder may include: ${allowed[$folder]:-nothing of ours})"
      status=1
    fi
  done < <(grep -rnE '^#include "[a-z_]+/' "$folder" || true)
done

# The sheet editor core never reaches up into the editing library built on it.
while IFS= read -r hit; do
  echo "layering: src/editor includes its editing library: $hit"
  status=1
done < <(grep -nE '^#include "editor/editing/' editor/*.h editor/*.cpp || true)

# Qt only where the desktop and the drawing to images live.
while IFS= read -r hit; do
  echo "layering: Qt outside render/, shell/ and cli/qt_*: $hit"
  status=1
done < <(grep -rnE '^#include <Q[A-Za-z]*>' . | grep -vE '^\./(render|shell)/|^\./cli/qt_' || true)

exit $status
