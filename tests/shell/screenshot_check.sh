#!/usr/bin/env bash
# Starts the application on a virtual X display with the example sheet, lets it save a picture
# of its main window and checks the pixels of that picture: the first staff of the sheet drawn
# on white paper in the document area and the dark panel beside it.
#   screenshot_check.sh APP SHEET OUT.png PIXEL_CHECKER
set -euo pipefail
app=$1 sheet=$2 out=$3 checker=$4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
rm -f "$out"
# Own temporary and configuration folders: no open request reaches a running instance and no
# saved placement of the user is read or written (the window opens at its default placement).
TMPDIR=$scratch XDG_CONFIG_HOME=$scratch XDG_RUNTIME_DIR=$scratch \
  "$(dirname "$0")/with_xvfb.sh" -- "$app" --screenshot="$out" "$sheet"
"$checker" "$out"
echo "screenshot saved to $out"
