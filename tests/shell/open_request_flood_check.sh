#!/usr/bin/env bash
# A flood of open requests that all fail keeps the running window alive and shows one short box.
#
# On a virtual X display, with home, state, configuration and runtime folders of its own: starts
# the application, then a second start naming 2000 files that do not exist. The second start
# must hand them over and end at once (it takes about 300 ms, most of it loading the program;
# the check allows 3 s so a busy machine does not fail it); the running instance must show
# exactly one "Error" box, which names at most 10 files and says how many more failed, and must
# stay alive and answer: after the box is closed with Return no other box follows, and a
# request for a real sheet opens it. Then Ctrl+Q ends it cleanly.
#   open_request_flood_check.sh APP SHEET
set -euo pipefail
app=$1 sheet=$2

if [[ -z "${FLOOD_CHECK_ON_DISPLAY:-}" ]]; then
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  mkdir -p "$scratch/home" "$scratch/state" "$scratch/config" "$scratch/run" "$scratch/files"
  chmod 700 "$scratch/run"
  HOME=$scratch/home XDG_STATE_HOME=$scratch/state XDG_CONFIG_HOME=$scratch/config \
    XDG_RUNTIME_DIR=$scratch/run TMPDIR=$scratch FLOOD_CHECK_ON_DISPLAY=1 SCRATCH=$scratch \
    "$(dirname "$0")/with_xvfb.sh" -- bash "$0" "$app" "$sheet"
  exit $?
fi

unset QT_QPA_PLATFORM
fail() {
  echo "FAIL: $*" >&2
  [[ -n "${pid:-}" ]] && kill -9 "$pid" 2>/dev/null || true
  exit 1
}
waitfor() {
  local tries=$(($1 * 5))
  shift
  for ((i = 0; i < tries; i++)); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.2
  done
  return 1
}
alive() { kill -0 "$pid" 2>/dev/null; }
ended() { ! alive; }
# The visible windows titled exactly "Error".
error_boxes() { xdotool search --onlyvisible --name '^Error$' 2>/dev/null || true; }
has_error_box() { [[ -n "$(error_boxes)" ]]; }
no_error_box() { [[ -z "$(error_boxes)" ]]; }

"$app" &
pid=$!
timeout 20 xdotool search --sync --onlyvisible --name "Tonvela$" >/dev/null || fail "no main window"
sleep 1

files=()
for ((n = 0; n < 2000; n++)); do files+=("$SCRATCH/files/missing-$n.shd"); done
started=$(date +%s%N)
timeout 20 "$app" "${files[@]}" || fail "the second start failed or did not end"
ms=$((($(date +%s%N) - started) / 1000000))
echo "the second start handed 2000 files over and ended after $ms ms"
((ms < 3000)) || fail "the second start took $ms ms"

waitfor 20 has_error_box || fail "no error box"
sleep 2 # requests arriving late would show more boxes
alive || fail "the running instance died"
boxes=$(error_boxes | wc -l)
[[ $boxes -eq 1 ]] || fail "$boxes error boxes at once"
if [[ -n "${FLOOD_CHECK_SCREENSHOT:-}" ]]; then
  wid=$(error_boxes | head -1)
  xwd -id "$wid" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$FLOOD_CHECK_SCREENSHOT"
fi
xdotool windowfocus --sync "$(error_boxes | head -1)"
xdotool key Return
waitfor 10 no_error_box || fail "the error box did not close"
sleep 1
no_error_box || fail "another error box followed the first"
alive || fail "the running instance died after the box"

# Still serving: a real sheet opens in the running window.
timeout 20 "$app" "$sheet" || fail "the request for a real sheet failed"
name=$(basename "$sheet")
timeout 20 xdotool search --sync --onlyvisible --name "^${name} - Tonvela$" >/dev/null ||
  fail "the sheet did not open in the running window"
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "^${name} - Tonvela$" | head -1)"
xdotool key ctrl+q
waitfor 10 ended || fail "the application did not end after Ctrl+Q"
wait "$pid" || fail "the application ended with an error"
echo "2000 failing requests: one box, the window alive and serving"
