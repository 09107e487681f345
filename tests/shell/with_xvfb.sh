#!/usr/bin/env bash
# Runs a command on a virtual X display of its own and ends that display after it.
#
# Xvfb picks the display number itself (-displayfd) by binding the first free one, so checks
# that start at the same moment under ctest -j never pick the same number. `xvfb-run -a` looks
# for a free number before starting the server, and two checks started together could both take
# it: one server failed, and its check's application talked to the other check's server until
# that one ended under it.
#   with_xvfb.sh [WIDTHxHEIGHTxDEPTH] -- COMMAND...
set -euo pipefail
screen=1280x1024x24
if [[ ${1:-} != -- ]]; then
  screen=$1
  shift
fi
[[ ${1:-} == -- ]] && shift
(($# > 0)) || { echo "usage: with_xvfb.sh [SCREEN] -- COMMAND..." >&2; exit 2; }

numberfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$numberfile" 2>"$numberfile.log" &
server=$!
cleanup() {
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  rm -f "$numberfile" "$numberfile.log"
}
trap cleanup EXIT
# The server writes its number and a newline once it accepts connections.
for ((i = 0; i < 200; i++)); do
  if [[ $(wc -l <"$numberfile") -ge 1 ]]; then break; fi
  if ! kill -0 "$server" 2>/dev/null; then
    echo "with_xvfb: Xvfb did not start:" >&2
    cat "$numberfile.log" >&2
    exit 1
  fi
  sleep 0.05
done
number=$(head -1 "$numberfile")
[[ $number =~ ^[0-9]+$ ]] || { echo "with_xvfb: Xvfb gave no display number in 10 s" >&2; exit 1; }
rc=0
DISPLAY=:$number "$@" || rc=$?
exit "$rc"
