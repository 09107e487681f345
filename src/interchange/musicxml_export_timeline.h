#pragma once

// What a track plays (the walk of play_walk.h), laid out in time for the MusicXML writer: the
// chords and rests of each voice with their start and length in the file's divisions (96 per
// quarter note, before the track's tempo), the ties that join them, and where the sheet's Bar
// notes stand. Private to the exporter.

#include <cstdint>
#include <string>
#include <vector>

namespace tonvela {

class Track;

namespace musicxml {

// The file's divisions of a quarter note; times in this timeline count in them.
inline constexpr int kTicksPerQuarter = 96;

// One pitch of a chord: the note it comes from and the key it sounds.
struct Head {
    int noteIndex = 0;
    int key = 0;
    bool tieFromPrevious = false; // held on from the sound before (a tie chain)
    bool tieToNext = false;       // held on into the next sound of its voice
};

// A chord, a single note or a rest of one voice.
struct Sound {
    int64_t start = 0;
    int64_t length = 0;
    bool rest = false;
    std::vector<Head> heads; // empty for a rest
    const std::string* lyric = nullptr;
    const std::string* chordSymbol = nullptr; // the root's, written as <harmony> before it
    // A note or rest with the triplet mark: its written kind (its length is two thirds of it).
    bool triplet = false;
    const char* writtenType = nullptr;
    bool writtenDotted = false;
};

struct TrackTimeline {
    // Voice 1 holds the chord roots one after another; on a staff with two voices (`secondVoice`)
    // voice 2 holds those of the staff's second voice. Further voices hold chord members whose
    // length differs from their root's, so every sound keeps its own length.
    std::vector<std::vector<Sound>> voices;
    bool secondVoice = false;
    int64_t end = 0;                // where the last sound of voice 1 ends
    std::vector<int64_t> barTicks;  // where the Bar notes stand, in playing order
    std::vector<int64_t> measureAt; // start tick of each measure of the division (staff order)
};

// The length in divisions of a time signature's measure.
int64_t measureDivisionsOf(int timeSigCode);
// The length in divisions of the track's pickup; 0 for none.
int64_t pickupDivisionsOf(const Track& track);

// Lays out what the track plays. With `unfold` the walk follows measure repeats and note loops
// as playback does, so each repeated part is written out again; without it the notes are taken
// once in staff order (the caller writes the repeats as repeat signs). False with `error` when
// the walk would play an absurd number of notes.
bool buildTimeline(const Track& track, bool unfold, TrackTimeline& out, std::string& error);

// Whether a track jumps back with a note loop anywhere: such a track can only be written out.
bool hasNoteLoops(const Track& track);

// Splits a length in divisions into note values (the score's kinds and the 64th, dotted where the
// dotted value fits and is not a 64th), longest first. Lengths that are not a multiple of a 64th
// end with the nearest smaller value.
struct NoteValue {
    int64_t ticks = 0;
    const char* type = "quarter";
    bool dotted = false;
    // A triplet value (three in the time of two) and where its tuplet bracket starts and stops.
    bool triplet = false;
    bool tupletStart = false;
    bool tupletStop = false;
};
std::vector<NoteValue> splitIntoNoteValues(int64_t ticks);

} // namespace musicxml
} // namespace tonvela
