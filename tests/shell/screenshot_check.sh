#!/usr/bin/env bash
# Starts the application on a virtual X display with a sheet, lets it save a picture of its
# main window and checks that the picture was written and is not blank.
set -euo pipefail
app=$1 sheet=$2 out=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
rm -f "$out"
# Own temporary and configuration folders: no open request reaches a running instance and no
# saved placement of the user is read or written.
TMPDIR=$scratch XDG_CONFIG_HOME=$scratch XDG_RUNTIME_DIR=$scratch \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$app" --screenshot="$out" "$sheet"
test -s "$out"
# A blank window compresses to almost nothing; a drawn sheet with panels does not.
size=$(stat -c %s "$out")
if [ "$size" -lt 10000 ]; then
  echo "screenshot $out is only $size bytes: nothing was drawn" >&2
  exit 1
fi
echo "screenshot saved to $out ($size bytes)"
