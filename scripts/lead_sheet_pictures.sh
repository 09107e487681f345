#!/usr/bin/env bash
# Pictures of a lead sheet with chord symbols and guitar diagrams for judging them by eye:
# docs/lead_sheet.shd as tonvela-cli renders it on screen and prints it to PDF, beside LilyPond's
# engraving of its LilyPond export and MuseScore's reading of its MusicXML export. The pictures
# go to docs/chords/; docs/chord-symbols.md shows them.
#
# Usage: scripts/lead_sheet_pictures.sh [BUILD_DIR]   (default build)
# Needs lilypond, mscore3 (MuseScore 3) and pdftoppm.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cli="$build/src/cli/tonvela-cli"
out="$root/docs/chords"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for tool in lilypond mscore3 pdftoppm; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done
[[ -x "$cli" ]] || { echo "no tonvela-cli in $build (build it first)" >&2; exit 1; }
mkdir -p "$out"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

names="$root/docs/lead_sheet.shd"
frets="$work/lead_sheet_diagrams.shd"
# The same sheet with View > Chord Diagrams on (the attribute the sheet file keeps).
sed 's/^timesig=391549\r$/timesig=391549\r\nchorddiagrams=1\r/' "$names" >"$frets"

"$cli" render "$names" -o "$out/lead_sheet_screen.png" --zoom 1 --width 900 --height 520
"$cli" render "$frets" -o "$out/lead_sheet_diagrams_screen.png" --zoom 1 --width 900 --height 700
"$cli" render "$frets" -o "$work/lead_sheet.pdf"
pdftoppm -png -r 90 -f 1 -l 1 "$work/lead_sheet.pdf" "$work/page"
cp "$(ls "$work"/page*.png | head -n 1)" "$out/lead_sheet_pdf_page1.png"

"$cli" convert "$frets" "$work/lead.ly"
(cd "$work" && lilypond --silent -dcrop -dresolution=110 --png -o lead lead.ly)
lily="$work/lead.cropped.png"
[[ -f "$lily" ]] || lily="$(ls "$work"/lead*.png | head -n 1)"
cp "$lily" "$out/lead_sheet_lilypond.png"

"$cli" convert "$frets" "$work/lead.musicxml"
home="$work/home"
mkdir -p "$home/run" && chmod 700 "$home/run"
HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
    XDG_RUNTIME_DIR="$home/run" timeout 180 mscore3 -r 90 -o "$work/muse.png" "$work/lead.musicxml" >/dev/null 2>&1
cp "$(ls "$work"/muse*.png | head -n 1)" "$out/lead_sheet_musescore.png"
echo "pictures in $out"
