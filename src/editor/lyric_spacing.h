#pragma once

#include "drawing/canvas.h"
#include "editor/sheet_layout.h"

#include <string_view>
#include <vector>

namespace tonvela {

class MeasureDivision;
class Track;

// How lyrics are measured and given room. The layout has no font engine, so text widths come
// from the advance widths of Arial Bold (Liberation Sans Bold has the same metrics) for ASCII
// and a full em for every other character, rounded up: never narrower than the canvas draws
// the text, so room given by these widths is room enough on the screen and on paper.

// The least distance, in sheet units, between a syllable's x and the next syllable's.
inline constexpr int kLyricGap = 6;

// The font lyrics are drawn with at a zoom: the medium bold font from zoom 0.8, else the small
// bold one (device heights, as DrawTools makes them).
Font lyricFont(float zoom);

// Width of `text` (UTF-8, or Latin-1 bytes) in device units when drawn in `font`: at least the
// width the canvas gives it.
int lyricTextWidth(std::string_view text, const Font& font);

// Height of one line of `font` in device units, from the top of its accents to the bottom of
// its descenders: a rectangle this high never cuts a letter.
int lyricLineHeight(const Font& font);

// The room, in sheet units, a syllable needs before the next one at the zoom: its width, the
// device pixel lost to truncation, and the gap.
int lyricRoom(std::string_view text, float zoom);

// What each chord root of the track's first `laid` notes needs as its own width so that its
// syllable (the widest of the root's and its members') ends before the next note: the room of
// the syllable, or 0 for a root without one and for every other note. `needs` gets `laid`
// entries; returns whether any root needs room.
bool lyricNeeds(const Track& track, int laid, float zoom, std::vector<int>& needs);

// How much wider than `plainSpan` (the span a measure without lyrics gives its notes at a row
// start, where it is narrowest) each measure of the track (divided into measures as
// `division` says) must be so that every root gets at least its need and the others their
// plain share: spans[m] for measure m (from 1), 0 when the plain share is enough. `spans` grows
// to the track's measures and is only raised, so several tracks may share it.
void raiseLyricSpans(const Track& track, const MeasureDivision& division, int laid,
                     const std::vector<int>& needs, int plainSpan, std::vector<int>& spans);

// Gives the chord roots of notes from..to-1 widths (in `places`, by note) filling `w` units:
// in proportion to the widths of their kinds, as far as that leaves every root at least its
// need, and just their need to those it would not (members take the width of their kind at the
// same factor). Returns false, changing nothing, when the range has no needs or they do not
// fit into `w`.
bool justifyAroundLyrics(const Track& track, std::vector<NoteLayout>& places, int from, int to, int w,
                         const std::vector<int>& needs);

// The room measures take on a row: the measure width, and for a measure whose lyrics need
// more the sheet-wide extra of its number (the most any track's syllables need, so the bar
// lines of a system stay together); never more than a whole row.
struct MeasureWidths {
    int measureWidth = 200;
    int rowLength = 0; // room for measures on a row: measures per row x measure width
    const std::vector<int>* lyricExtra = nullptr;

    int of(int measure) const;
};

// Measures first..last of a row that lyrics widened fill the row as plain measures would: the
// room left up to `target` is shared out in proportion to their widths. `after` is the width
// of measures other tracks place after `last` on the same row (this track has ended): they
// take their share, and every measure here gets the width it has in those tracks.
void stretchMeasures(std::vector<MeasureRecord>& records, int first, int last, int target, int after = 0);

} // namespace tonvela
