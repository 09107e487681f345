#pragma once

#include "score/measure_division.h"
#include "score/track.h"

#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

class MarkupElement;

// No track has more measures than notes, so no larger measure number is kept from a file.
inline constexpr int kMaxRepeatedMeasure = Track::kMaxNotes;

// The <track> element of sheet files, CR LF line ends: a <config> element with the track's
// settings (bpm, devid, iid, groupid, key as its character, keyindex, tempo, drawmode,
// percussive, and repeats="2,5" with the measures marked to repeat when there are any), then
// the <note> element of every note. A new track writes the config line
// `bpm=120 devid=0 iid=0 groupid=0 key=C keyindex=7 tempo=120 drawmode=0 percussive=0 >`.
void writeTrackElement(const Track& track, std::string& out);

// What the <config> element of a track holds, apart from the track: a copy taken under the
// sheet lock can be written on another thread.
struct TrackConfig {
    int bpm = 120;
    int devid = 0;
    int iid = 0;
    int groupid = 0;
    char key = 'C';
    int keyindex = 7;
    int tempo = 120;
    uint8_t drawmode = staffKindInfo(StaffKind::GClef).drawmode;
    uint8_t percussive = 0;
    MeasureRepeatMarks measureRepeats;
    uint8_t braceWithNext = 0;
    GuitarTuning tuning;
};
TrackConfig configOf(const Track& track);
// The same element from the config and the notes' contents: the text writeTrackElement
// gives for the track they were taken from.
void writeTrackElement(const TrackConfig& config, const std::vector<NoteContent>& notes, std::string& out);

// The value of the repeats attribute: the marked measure numbers, ascending, separated by
// commas ("2,5").
std::string measureRepeatsText(const MeasureRepeatMarks& marks);
// Reads that value leniently: items that are not plain numbers from 1 to kMaxRepeatedMeasure
// are left out, and each measure is kept once, in order.
MeasureRepeatMarks parseMeasureRepeats(std::string_view text);

// Reads a <track> element into a track that has just been created empty: <config> children
// set the settings (a config after notes changes the track, not the notes read before it; a
// config without repeats leaves the track without marks), <note> children become the notes,
// read on the staff kind the track has when they come. A percussive track's notes lose their
// flags. Chord links and loops are made safe and the chord lists rebuilt. Returns how many
// notes were dropped because the track was full.
int readTrackElement(Track& track, const MarkupElement& element);

} // namespace tonvela
