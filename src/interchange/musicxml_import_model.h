#pragma once

// The score as the MusicXML reader takes it from the file, before it becomes sheet tracks:
// private to the reader (musicxml_import*.cpp).

#include "score/duration.h"
#include "score/guitar_tuning.h"
#include "score/note.h"
#include "score/staff_kind.h"
#include "score/time_signature.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_node;
}

namespace tonvela::musicxml {

// Time inside the reader: ticks of a quarter note, divisible by 2, 3, 5 and 7 so that the
// usual divisions and tuplets come out whole.
inline constexpr int64_t kTicksPerQuarter = 10080;
// The lengths a sheet note can have (duration.h), shortest first, in reader ticks.
struct SheetLength {
    int64_t ticks;
    int type;
    bool dotted;
};
inline constexpr auto kSheetLengths = [] {
    std::array<SheetLength, kNoteLengths.size()> out{};
    for (std::size_t i = 0; i < kNoteLengths.size(); ++i) {
        const NoteLength& l = kNoteLengths[i];
        out[i] = {l.ticks * kTicksPerQuarter / kQuarterTicks, l.type, l.dotted};
    }
    return out;
}();
static_assert(
    [] {
        for (const NoteLength& l : kNoteLengths)
            if (l.ticks * kTicksPerQuarter % kQuarterTicks != 0)
                return false;
        return true;
    }(),
    "every sheet length is a whole number of reader ticks");
// Longer than this, a single duration is taken for damage rather than music (64 whole notes).
inline constexpr int64_t kMaxEventTicks = 256 * kTicksPerQuarter;
// A part longer than this (about 16 hours at 120 beats per minute) is refused.
inline constexpr int64_t kMaxPartTicks = 120'000LL * kTicksPerQuarter;

// What the sheet cannot hold, by kind, with how often the file had it. Reported in one warning.
using LeftOut = std::map<std::string, int>;
// The most kinds a warning names; the others are counted together as "other elements".
inline constexpr std::size_t kMaxLeftOutKinds = 20;
inline constexpr const char* kOtherLeftOut = "other elements";
// The longest name a file gives that goes into a warning (an element's name, say).
inline constexpr std::size_t kMaxLeftOutNameLength = 40;

// Counts `count` of `what` as left out. A file may name any number of kinds of its own: beyond
// kMaxLeftOutKinds they are counted together, so the warning never grows without bound. An
// empty `what` counts nothing.
void countLeftOut(LeftOut& leftOut, const std::string& what, int count = 1);
// A name taken from the file, as a warning quotes it: UTF-8, cut to kMaxLeftOutNameLength.
std::string nameFromFile(std::string_view name);

// One <note> of the file.
struct Event {
    int64_t start = 0;    // ticks from the start of the part
    int64_t duration = 0; // ticks
    int measure = 0;      // index of its measure in the part, from 0
    int staff = 0;        // from 0
    std::string voice;
    bool chord = false; // <chord/>: starts together with the note before it
    bool rest = false;
    bool measureRest = false; // a rest that fills its measure, whatever its written length
    bool cue = false;
    bool unpitched = false;
    int key = 60;             // sounding MIDI key (drum key of an unpitched note)
    int diatonic = 28;        // sounding letter as octave * 7 + step (C = 0), 28 = middle C
    int marks = 0;            // accidental marks the file shows (kFlagSharp, kFlagFlat, kFlagNatural)
    int type = 0;             // sheet duration code from <type>; 0 when absent or not one the sheet has
    bool typeOutside = false; // <type> named a length the sheet does not have (64th, breve, ...)
    int dots = 0;
    int tupletActual = 0; // <time-modification>: actual-notes in the time of normal-notes
    int tupletNormal = 0;
    bool tieStart = false; // tied to the next note of its pitch
    bool tieStop = false;  // tied from the note before
    std::string lyric;
    std::string chordSymbol; // canonical text of the <harmony> standing before it
};

// An <ending> of a bar line: the numbers the file gives it ("1", "2", "1, 2") and its type
// (start, stop or discontinue).
struct EndingMark {
    std::string number;
    std::string type;
};

// One <measure> of a part.
struct Measure {
    int64_t start = 0;
    int64_t end = 0;
    bool repeatForward = false;
    int repeatTimes = 0;             // backward repeat at its end: times played in all; 0 for none
    std::vector<EndingMark> endings; // in file order (musicxml_import_repeats.cpp)
    bool barlineEnd = false;         // an explicit bar line other than a repeat at its end
    bool implicit = false;           // implicit="yes": not counted, as a pickup is not
};

struct Staff {
    StaffKind kind = StaffKind::GClef; // sheet staff kind of its first clef
    bool percussive = false;           // a percussion clef, only unpitched notes, or the drum channel
    bool octaveTreble = false;         // treble transposed an octave down, by the clef or the part
    std::string firstVoice;            // the voice that sounds most notes: the staff's voice 1
    std::string secondVoice;           // the voice that sounds the next most: voice 2; empty for none
    GuitarTuning tuning;               // a TAB staff's strings and capo (<staff-details>)
};

struct Part {
    std::string id;
    std::string name;
    int program = 0; // General MIDI program from 0
    int volume = 127;
    int pan = 64;
    bool drumChannel = false;
    std::map<std::string, int> drumKeys; // instrument id -> key of its unpitched sound
    int keyFifths = 0;
    bool keySeen = false;
    std::vector<Staff> staves{1};
    std::vector<Event> events;
    std::vector<Measure> measures;
};

struct Score {
    std::vector<Part> parts;
    int timeCode = 0; // sheet code of the first time signature; 0 when none
    int tempo = 0;    // quarter notes per minute of the first tempo; 0 when none
    LeftOut leftOut;
};

// Adds the <ending> of a <barline> to its measure; counts what is damaged in `leftOut`.
void readEnding(const pugi::xml_node& barline, Measure& measure, LeftOut& leftOut);

// Reads the parts of a score-partwise root into `score`. Returns an empty text, or why the
// file is refused.
std::string readParts(const pugi::xml_node& root, Score& score);

// The sheet time signature code for beats/beat-type; `exact` is false when the sheet has no such
// signature and the nearest one of the same measure length (or 4/4) was chosen.
int timeSignatureCode(int beats, int beatType, MeterSymbol symbol, bool& exact);

} // namespace tonvela::musicxml

namespace tonvela {
class Track;
}

namespace tonvela::musicxml {

// The events of staff `staffIndex`, in file order, with every note that the file splits at a bar
// line into tied pieces joined again where the pieces add up to one sheet length: the sheet's
// notes run over bar lines, and its tie mark cannot tell two such tied notes apart from one.
// A chord joins when every note of it is tied to the same notes of the next chord. No note of
// the first voice joins over the end of a measure m with keptApart[m] set; the second voice
// (none when empty) keeps its pieces at every bar line, as it counts its time per measure.
std::vector<Event> joinTiesOverBarLines(const std::vector<Event>& events, int staffIndex,
                                        const std::string& firstVoice, const std::string& secondVoice,
                                        const std::vector<bool>& keptApart);

// Joins the tied notes that are not chord roots of the two kept voices (inner notes of a chord,
// notes of further voices) to the note they are tied from, where the pieces add up to one sheet
// length: such a note becomes a chord member of the sheet, and a member's tie mark holds
// nothing on, so its pieces would be struck again.
void joinTiesOfChordNotes(std::vector<Event>& events, const std::string& firstVoice,
                          const std::string& secondVoice);

// Fills an empty sheet track (its time signature already set) from staff `staffIndex` of a
// part: its first voice as voice 1, its second as voice 2. Adds to `leftOutVoiceNotes` the
// notes of further voices that start with no note of either, and to `leftOut` what else the
// track cannot hold.
void buildStaffTrack(const Part& part, int staffIndex, Track& track, LeftOut& leftOut,
                     int& leftOutVoiceNotes);

// The repeats of a part in a track just filled from it (`firstItem`: the track's first note of
// each of the part's measures, and its note count at the end): a single measure repeated once
// becomes a measure repeat, a passage repeated once (with its first and second endings) a
// repeated passage of the track (Track::repeatRanges), a passage played more than twice a note
// loop from its last chord back to its first note. What does not fit is counted in `leftOut`.
void writeStaffRepeats(const Part& part, const std::vector<int>& firstItem, Track& track, LeftOut& leftOut);

} // namespace tonvela::musicxml
