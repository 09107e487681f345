#!/usr/bin/env bash
# The application killed after edits gives them back at its next start.
#
# On a virtual X display, with home, state, configuration and runtime folders of its own (and
# the autosave interval set to one second in its settings): opens a copy of SHEET, types three
# notes (the note keys Z, X, C), waits until the recovery file holds them, kills the
# application with SIGKILL, starts it again, answers the recovery question with Return
# (Recover), saves with Ctrl+S (the recovered sheet keeps its path, so Save writes the copy
# without asking) and checks that the saved file holds the three notes more. Then Ctrl+Q: a
# clean exit leaves no recovery file behind. A second round edits and kills again, then
# changes the file as another program would and plants temporary files of a killed write: the
# next start removes those, recovers the sheet as "song (recovered)", and Ctrl+S asks where to
# save instead of writing over the changed file.
#   crash_recovery_check.sh APP SHEET
set -euo pipefail
app=$1 sheet=$2

if [[ -z "${CRASH_CHECK_ON_DISPLAY:-}" ]]; then
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  mkdir -p "$scratch/home" "$scratch/state" "$scratch/config/TonvelaApp" "$scratch/run"
  chmod 700 "$scratch/run"
  printf '[General]\nAutosaveSeconds=1\n' >"$scratch/config/TonvelaApp/TonvelaApp.conf"
  cp "$sheet" "$scratch/song.shd"
  HOME=$scratch/home XDG_STATE_HOME=$scratch/state XDG_CONFIG_HOME=$scratch/config \
    XDG_RUNTIME_DIR=$scratch/run TMPDIR=$scratch CRASH_CHECK_ON_DISPLAY=1 SCRATCH=$scratch \
    "$(dirname "$0")/with_xvfb.sh" -- bash "$0" "$app" "$scratch/song.shd"
  exit $?
fi

song=$sheet
folder=$XDG_STATE_HOME/tonvela/recovery
unset QT_QPA_PLATFORM
notes() { grep -c '^<note' "$1" || true; }
fail() {
  echo "FAIL: $*" >&2
  [[ -n "${pid:-}" ]] && kill -9 "$pid" 2>/dev/null || true
  exit 1
}
# waitfor SECONDS COMMAND...: runs the command every 0.2 s until it succeeds.
waitfor() {
  local tries=$(($1 * 5))
  shift
  for ((i = 0; i < tries; i++)); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.2
  done
  return 1
}
# The newest window whose name matches, focused for the keys that follow.
focus() {
  # Searched and focused again until both succeed: a search or focus that meets a window being
  # destroyed (the recovery question closing) fails with BadWindow instead of waiting.
  local wid="" deadline=$((SECONDS + 20))
  while :; do
    wid=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1) || wid=""
    if [[ -n "$wid" ]] && timeout 5 xdotool windowfocus --sync "$wid" 2>/dev/null; then
      break
    fi
    ((SECONDS < deadline)) || fail "no window \"$1\""
    sleep 0.2
  done
  focused=$wid
  sleep 0.5
}
recovered_notes() {
  local f
  for f in "$folder"/*.recovery; do
    [[ -f "$f" ]] && [[ $(grep -c '^<note' "$f") -eq $((before + 3)) ]] && return 0
  done
  return 1
}
no_recovery_files() { ! compgen -G "$folder/*.recovery" >/dev/null; }
ended() { ! kill -0 "$pid" 2>/dev/null; }

before=$(notes "$song")
original=$(cat "$song")

"$app" "$song" &
pid=$!
focus "^song.shd - Tonvela$"
xdotool key z x c
waitfor 20 recovered_notes || fail "no recovery file with the three new notes"
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
[[ "$(cat "$song")" == "$original" ]] || fail "the sheet file changed before any save"

"$app" &
pid=$!
focus "^Recover Documents$"
if [[ -n "${CRASH_CHECK_SCREENSHOT:-}" ]]; then
  sleep 2 # until the dialog is painted
  xwd -id "$focused" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$CRASH_CHECK_SCREENSHOT"
fi
xdotool key Return
focus "^song.shd[*] - Tonvela$"
xdotool key ctrl+s
waitfor 10 test "$(notes "$song")" -eq $((before + 3)) || fail "the saved file does not hold the three notes"
xdotool key ctrl+q
waitfor 10 ended || fail "the application did not end after Ctrl+Q"
wait "$pid" || fail "the application ended with an error"
no_recovery_files || fail "a clean exit left recovery files behind"
echo "recovered: $before notes became $((before + 3)) in $song after SIGKILL"

# Second round: edits, a kill, and then another program changes the file. The recovered
# document must not be written over the changed file, and the leftovers of writes that the
# kill cut short go at the next start.
saved=$(notes "$song")
"$app" "$song" &
pid=$!
focus "^song.shd - Tonvela$"
xdotool key z x
before=$saved
recovered_two() {
  local f
  for f in "$folder"/*.recovery; do
    [[ -f "$f" ]] && [[ $(grep -c '^<note' "$f") -eq $((saved + 2)) ]] && return 0
  done
  return 1
}
waitfor 20 recovered_two || fail "no recovery file with the two new notes"
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
printf '<!-- changed by another program -->\r\n' >>"$song"
theirs=$(cat "$song")
# Temporary files of writes whose writer is gone, as a kill in the middle of a save leaves them.
sh -c 'exit 0' &
gone=$!
wait "$gone" || true
leftover_song="$(dirname "$song")/.tonvela-save-$gone-1-Ab12Cd"
leftover_recovery="$folder/.tonvela-save-$gone-1-Ef34Gh"
head -c 2048 /dev/zero >"$leftover_song"
head -c 2048 /dev/zero >"$leftover_recovery"

"$app" &
pid=$!
focus "^Recover Documents$"
if [[ -n "${CRASH_CHECK_CHANGED_SCREENSHOT:-}" ]]; then
  sleep 2
  xwd -id "$focused" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$CRASH_CHECK_CHANGED_SCREENSHOT"
fi
xdotool key Return
focus "^song [(]recovered[)][*] - Tonvela$"
[[ ! -e "$leftover_song" ]] || fail "the leftover beside the song is still there"
[[ ! -e "$leftover_recovery" ]] || fail "the leftover in the recovery folder is still there"
xdotool key ctrl+s
focus "^Save As$"
xdotool key Escape
sleep 1
[[ "$(cat "$song")" == "$theirs" ]] || fail "the changed file was written over"
focus "^song [(]recovered[)][*] - Tonvela$"
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
echo "a file changed since: recovered as \"song (recovered)\", the file left as the other program wrote it"
