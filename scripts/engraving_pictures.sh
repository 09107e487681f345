#!/usr/bin/env bash
# Pictures for judging the sheet engraving by eye: every examples/engraving_*.shd is rendered by
# tonvela-cli at zoom 1 and 2, exported to LilyPond and engraved by lilypond, and the program's
# picture is put beside LilyPond's in docs/engraving/. Every docs/engraving/*.musicxml (music
# written by hand for this) is imported and drawn on screen and on a PDF page by tonvela-cli,
# and engraved from the same file by LilyPond (musicxml2ly) and MuseScore 3 (mscore3).
# docs/engraving.md (written by hand) shows them.
#
# Usage: scripts/engraving_pictures.sh [BUILD_DIR]   (default build-dbg)
# Needs lilypond, musicxml2ly, mscore3, pdftoppm and the netpbm tools (pngtopnm, pnmscale,
# pnmpad, pnmcat, pnmtopng).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-dbg}"
cli="$build/src/cli/tonvela-cli"
out="$root/docs/engraving"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for tool in lilypond musicxml2ly mscore3 pdftoppm pngtopnm pnmscale pnmpad pnmcat pnmtopng; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done
[[ -x "$cli" ]] || { echo "no tonvela-cli in $build (build it first)" >&2; exit 1; }
mkdir -p "$out"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

# Pads a picture (PNM) to the given height with white below it.
pad_to() {
    local file="$1" height="$2"
    local h
    h=$(pnmfile "$file" | sed -E 's/.* by ([0-9]+) .*/\1/')
    if ((h < height)); then
        pnmpad -white -bottom=$((height - h)) "$file" >"$file.pad" && mv "$file.pad" "$file"
    fi
}

for sheet in "$root"/examples/engraving_*.shd; do
    name="$(basename "$sheet" .shd)"
    echo "$name"
    for zoom in 1 2; do
        "$cli" render "$sheet" -o "$out/${name}_zoom${zoom}.png" --zoom "$zoom" \
            --width $((1000 * zoom)) --height $((560 * zoom)) 2>/dev/null
    done

    "$cli" convert "$sheet" "$work/$name.ly" 2>/dev/null
    (cd "$work" && lilypond --silent -dcrop -dresolution=110 --png -o "$name" "$name.ly")
    lily="$work/$name.cropped.png"
    [[ -f "$lily" ]] || lily="$(ls "$work/$name"*.png | head -n 1)"
    cp "$lily" "$out/${name}_lilypond.png"

    # Side by side at zoom 1: the program's picture left, LilyPond's right, same height.
    pngtopnm "$out/${name}_zoom1.png" >"$work/left.pnm"
    pngtopnm -mix -background=white "$lily" >"$work/right.pnm"
    lh=$(pnmfile "$work/left.pnm" | sed -E 's/.* by ([0-9]+) .*/\1/')
    rh=$(pnmfile "$work/right.pnm" | sed -E 's/.* by ([0-9]+) .*/\1/')
    if ((rh > lh)); then
        pnmscale -height "$lh" "$work/right.pnm" >"$work/r.pnm" && mv "$work/r.pnm" "$work/right.pnm"
    else
        pad_to "$work/right.pnm" "$lh"
    fi
    pnmpad -white -right=20 "$work/left.pnm" >"$work/l.pnm"
    pnmcat -lr -white "$work/l.pnm" "$work/right.pnm" | pnmtopng >"$out/${name}_side_by_side.png"
done

for source in "$out"/*.musicxml; do
    name="$(basename "$source" .musicxml)"
    echo "$name"
    "$cli" render "$source" -o "$out/${name}_screen.png" --zoom 1 --width 1000 --height 700 2>/dev/null
    "$cli" render "$source" -o "$work/$name.pdf" 2>/dev/null
    pdftoppm -png -r 80 -f 1 -l 1 "$work/$name.pdf" "$work/${name}_pdf"
    cp "$(ls "$work/${name}_pdf"*.png | head -n 1)" "$out/${name}_pdf_page1.png"
    (cd "$work" && musicxml2ly --output="$name.ly" "$source" >/dev/null 2>&1 &&
        lilypond --silent -dcrop -dresolution=80 --png -o "$name" "$name.ly")
    lily="$work/$name.cropped.png"
    [[ -f "$lily" ]] || lily="$(ls "$work/$name"*.png | head -n 1)"
    cp "$lily" "$out/${name}_lilypond.png"
    mscore3 -o "$work/${name}_mscore.png" "$source" >/dev/null 2>&1 || true
    mscore="$(ls "$work/${name}_mscore"*.png 2>/dev/null | head -n 1)"
    [[ -n "$mscore" ]] && cp "$mscore" "$out/${name}_musescore.png"
done

# docs/engraving.md is written by hand around these pictures; the script leaves it alone.
echo "pictures in $out; docs/engraving.md shows them"
