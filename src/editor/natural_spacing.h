#pragma once

// Spacing for paper. The window flows a fixed number of measures onto each row, all alike wide;
// a printed page gives every measure the room its music needs instead: the room after a note
// grows with its length (about 1.4 times per doubling), accidentals, dots and syllables add
// theirs, and a measure is as wide in every track as its widest track needs, so the bar lines
// of a system stay together. Rows then take as many measures as fit and are stretched to the
// row's end; the last row only when it is at least three quarters full.

#include "score/duration.h"

#include <cstdint>
#include <vector>

namespace tonvela {

class MeasureDivision;
class Track;

// The room after a note that lasts `ticks`, in sheet units: a quarter takes kQuarterRoom, each
// doubling of the length about 1.4 times as much; never less than kLeastRoom.
inline constexpr double kQuarterRoom = 36.0;
inline constexpr double kLeastRoom = 15.0;
double proportionalRoom(Ticks ticks);

// What a measure takes beyond the rooms of its notes: from its bar line to its first note (23
// units, as layout places it) and a little before the next bar line; at a row start the clef
// and the key signature come before that.
inline constexpr int kMeasurePadding = 26;
int rowStartRoom(int keySignatureWidth);

// The room of one track's music on paper.
struct NaturalRooms {
    std::vector<double> note;         // by note: the room after each chord root; 0 for the others
    std::vector<int> measure;         // by measure number (index 0 unused): what the measure needs
    std::vector<uint8_t> breakBefore; // by measure number: a staff break opens the measure
};

// The rooms of the first `laid` notes of the track, divided into measures as `division` says.
// `lyricNeeds` (by note, may be empty) is the room each root's syllable or chord symbol needs:
// a root never gets less. In a measure of two voices the columns of both voices count once.
void naturalRooms(const Track& track, const MeasureDivision& division, int laid,
                  const std::vector<int>& lyricNeeds, NaturalRooms& out);

// How measures go onto rows: startsRow[m] when measure m opens a row, width[m] its width there
// (index 0 unused).
struct RowPlan {
    std::vector<int> width;
    std::vector<uint8_t> startsRow;
};

// Fills rows of `rowEnd` units with measures of the widths they need (`needs`, by number, the
// first measure of a row `rowStart` wider for the clef and key): as many as fit, at least one,
// a new row where `breakBefore` says. Every row is stretched to end at rowEnd, the rooms shared
// in proportion to the needs; the last row only when it fills three quarters of it.
RowPlan planRows(const std::vector<int>& needs, const std::vector<uint8_t>& breakBefore, int rowEnd,
                 int rowStart);

} // namespace tonvela
