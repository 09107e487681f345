#!/usr/bin/env bash
# Prints a Markdown table of the pages each example sheet and each real MusicXML piece of
# tests/data/musicxml takes printed by Tonvela (A4, 7 mm staves), by MuseScore 3 and by LilyPond
# from the same music. MuseScore reads the MusicXML Tonvela writes for a sheet (or the original
# MusicXML of a piece); LilyPond engraves the LilyPond file Tonvela exports.
#
#   scripts/page_table.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli="$build/src/cli/tonvela-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

pages() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ {print $2}'; }

echo "| music | Tonvela | MuseScore 3 | LilyPond |"
echo "|---|---|---|---|"
for input in examples/*.shd tests/data/musicxml/*.mxl; do
    name=$(basename "$input")
    base="$work/${name%.*}"
    # Chord documents have no pages.
    if ! "$cli" render "$input" -o "$base.pdf" --paper a4 >/dev/null 2>&1; then
        continue
    fi
    tonvela=$(pages "$base.pdf")
    xml="$input"
    if [[ "$input" == *.shd ]]; then
        xml="$base.musicxml"
        "$cli" convert "$input" "$xml" >/dev/null 2>&1 || xml=""
    fi
    musescore="-"
    if [[ -n "$xml" ]] && timeout 120 mscore3 -o "$base-mscore.pdf" "$xml" >/dev/null 2>&1; then
        musescore=$(pages "$base-mscore.pdf")
    fi
    lily="-"
    if "$cli" convert "$input" "$base.ly" >/dev/null 2>&1 &&
        (cd "$work" && timeout 120 lilypond -dpaper-size='"a4"' -o "$base-lily" "$base.ly" >/dev/null 2>&1); then
        lily=$(pages "$base-lily.pdf")
    fi
    echo "| $name | $tonvela | $musescore | $lily |"
done
