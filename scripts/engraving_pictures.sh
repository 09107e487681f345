#!/usr/bin/env bash
# Pictures for judging the sheet engraving by eye: every examples/engraving_*.shd is rendered by
# tonvela-cli at zoom 1 and 2, exported to LilyPond and engraved by lilypond, and the program's
# picture is put beside LilyPond's in docs/engraving/. Every docs/engraving/*.musicxml (music
# written by hand for this) is imported and drawn on screen and on a PDF page by tonvela-cli,
# and engraved from the same file by LilyPond (musicxml2ly) and MuseScore 3 (mscore3).
# docs/engraving.md shows them.
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

cat >"$root/docs/engraving.md" <<'EOF'
# Engraving beside LilyPond

The example sheets `examples/engraving_*.shd` as this program draws them (left) and as LilyPond
engraves the same sheet exported with `tonvela-cli convert` (right). Made by
`scripts/engraving_pictures.sh`; the render tests compare the zoom 1 and 2 pictures with
`tests/data/render/engraving_*_zoom*.png`.

## Rests, beams, ties and lyrics (G clef with sharps, F clef with flats, G(2) clef)

![rests and beams beside LilyPond](engraving/engraving_rests_and_beams_side_by_side.png)

- Measure 1 of the G clef: the whole rest that fills the measure stands in its middle and hangs
  from the fourth line; measure 2 holds every shorter rest, the half rest sitting on the middle
  line.
- The key signatures (two sharps, two flats) stand on the clef's own lines, clear of the clef,
  and the time signature clear of both.
- Each track ends with a thin and a thick bar line where its last measure ends; no staff runs on
  after it (the G(2) line ends with the first system).
- Beams and ties as the sheet draws them; the last note of every measure keeps clear of the bar
  line.

Zoom 2: ![rests and beams at zoom 2](engraving/engraving_rests_and_beams_zoom2.png)

## Keys with flats on the G clef and sharps on the F clef, percussion and tablature

![keys beside LilyPond](engraving/engraving_keys_side_by_side.png)

- Three flats on the G clef at B, E, A; four sharps on the F clef at F, C, G, D of the bass
  clef.
- The percussion line and the tablature end with their own final bar lines in the first system;
  the G clef's last measure goes on alone in the second.
- Measure 4 of the G clef: a full-measure rest centred; measure 3: a quarter rest where it falls.
- The tablature is exported as LilyPond's tablature staff with each note's string: both show the
  same frets on the same strings.

Zoom 2: ![keys at zoom 2](engraving/engraving_keys_zoom2.png)

## A piano accompaniment in eighth chords (`engraving/piano_accompaniment.musicxml`)

Imported from MusicXML: the part's two staves become two tracks joined by a brace (the sheet's
context menu "Group As Piano" does the same for any two tracks).

On screen: ![piano accompaniment on screen](engraving/piano_accompaniment_screen.png)

On the first PDF page: ![piano accompaniment on paper](engraving/piano_accompaniment_pdf_page1.png)

LilyPond (musicxml2ly): ![piano accompaniment by LilyPond](engraving/piano_accompaniment_lilypond.png)

MuseScore 3: ![piano accompaniment by MuseScore](engraving/piano_accompaniment_musescore.png)

- Each chord has one stem and, unbeamed, one flag, drawn from the head at the stem's far end;
  the stem goes the way of the head farthest from the middle line.
- Chords of eighths are beamed like single notes, by the beat: two eighths to a quarter in 4/4,
  so no beam crosses the middle of the bar; a two-note beam slopes half a space at most.
- Heads a second apart (the G and F of the G7 chord, the D and E of the E7) sit on either side
  of the stem; the accidentals of a chord stack leftward without touching.
- Accidentals follow the pitch: the F sharp of measure 3 is shown, the plain F of the next chord
  gets its natural again only where the measure needs it, and every bar line cancels.
- The measure number stands only at each system's start, above the top staff; the time
  signature opens the first system only; a brace joins the piano's staves.

## Triplets (`examples/engraving_triplets.shd`)

![triplets beside LilyPond](engraving/engraving_triplets_side_by_side.png)

- A triplet-marked note lasts two thirds of its written note: three triplet eighths take one
  beat, so each measure holds exactly its four beats and the bar lines stand where LilyPond's do.
- Triplet eighths are beamed three to the beat and carry a small "3" over the beam; a triplet
  quarter and eighth, the triplet quarters and the group with a rest carry a bracket as well,
  since no beam joins them.
- LilyPond gets each group as `\tuplet 3/2 { }`; its MIDI plays the notes where the sheet does
  (`LilyPondEngravesTripletsCleanlyAndItsMidiPlaysThemWhereTheSheetDoes`).

## 6/8 with a pickup, 12/8, and cut time with a pickup

![6/8 with a pickup beside LilyPond](engraving/engraving_six_eight_pickup_side_by_side.png)

![12/8 beside LilyPond](engraving/engraving_twelve_eight_side_by_side.png)

![cut time beside LilyPond](engraving/engraving_cut_time_side_by_side.png)

- Eighth-note meters (3/8, 6/8, 9/8, 12/8) beam their eighths three at a time; 2/2 and 3/2 beam
  by the half; 4/8 by two eighths.
- 2/2 is cut time and draws the struck-through C; the one-glyph signature (code 391556) draws
  the C of common time; 12/8 sets its two digits side by side over the 8.
- A pickup is the first measure, shorter than the meter (the eighth before the first 6/8
  measure, the quarter before the first cut-time measure): it counts as measure 0, so the
  measure numbers at the system starts are those of the first full measure on; LilyPond gets it
  as `\partial`, MusicXML as a first measure `implicit="yes"` numbered 0.
EOF
echo "pictures in $out, text in docs/engraving.md"
