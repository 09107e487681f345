#pragma once

#include "score/guitar_tuning.h"
#include "score/note.h"

#include <limits>
#include <string>
#include <string_view>

namespace tonvela {

class SheetDocument;
class SheetEditor;
class Track;

// What the sheet options panel changes in a sheet, and how it reads typed values.
//
// Every change is one edit of the editor (the sheet lock held, one undo snapshot, the sheet laid
// out again), and undo brings the track settings back with the notes. A change that would leave
// the sheet as it is takes no snapshot and returns false. Track settings go to the current track
// (the sheet's selected track); nothing happens without one.
//
// Thread rules: user-interface thread, like the editor.

// The bounds of the typed values: a tempo the sheet file reads back as written; loop counts that
// play in a bounded time; a legato whose milliseconds the file keeps exactly.
inline constexpr int kMinTempo = 1;
inline constexpr int kMaxTempo = 1000;
inline constexpr int kMaxLoopCount = 1000;
inline constexpr double kMaxLegatoBeats = 1000.0;
// One beat of legato is this many milliseconds (a quarter at 120 bpm).
inline constexpr double kLegatoMsPerBeat = 500.0;

// "Group:": the track's group becomes `group` and its program the group's first instrument
// (8 × group), given to the track's selected notes, or to all its notes when none is selected.
bool chooseInstrumentGroup(SheetEditor& editor, int group);
// "Instrument:": the track's program (0..127) and its group, given to the notes likewise.
bool chooseInstrument(SheetEditor& editor, int program);
// "Drum:": the track's drum key becomes 35 + `entry`; on a percussion track its selected notes,
// or all its notes when none is selected, take that key.
bool chooseDrum(SheetEditor& editor, int entry);
// "Key:": a row of the key table (0..14).
bool chooseKey(SheetEditor& editor, int keyIndex);
// "Time Sig:": an entry of the list; the sheet and every track take its code.
bool chooseTimeSignature(SheetEditor& editor, int entry);
// "Track Type:": a staff kind by its number (StaffKind); the notes move with the clef.
bool chooseTrackType(SheetEditor& editor, int entry);
// "Tempo:": every track of the sheet plays at `bpm` (kMinTempo..kMaxTempo; others are refused).
bool chooseTempo(SheetEditor& editor, int bpm);
// "Number Tracks:": the sheet holds `count` tracks (1..15); tracks removed come back with undo.
bool chooseTrackCount(SheetEditor& editor, int count);
// "Tuning:" and "Capo:": the strings and capo the current track's tablature is played with.
// The notes keep their sound; their strings and frets follow. Refused when the tuning has a key
// outside 0..127 or a capo beyond kMaxCapoFret.
bool chooseTuning(SheetEditor& editor, const GuitarTuning& tuning);
// Switches the current track to tablature, or from tablature back to the staff kind it had
// before (G clef when that is not known).
bool toggleTablature(SheetEditor& editor);

// The legato that leaves every note's legato as it is: no number, so that every number of beats
// the field takes (-333 among them) is a legato like any other.
inline constexpr double kKeepLegato = std::numeric_limits<double>::quiet_NaN();

// The properties the panel gives the selected notes of every track; kKeepValue (kKeepLegato for
// the legato, which is in beats) leaves one as it is.
struct NoteProperties {
    int volume = kKeepValue;
    int pan = kKeepValue;
    int loopTo = kKeepValue;
    int loopCount = kKeepValue;
    int velocity = kKeepValue;
    double legatoBeats = kKeepLegato;
};
bool applyToSelectedNotes(SheetEditor& editor, const NoteProperties& properties);

// A typed value, or why it cannot go in (the field shows that text).
template <class T> struct TypedValue {
    T value{};
    std::string error;
    bool ok() const { return error.empty(); }
};
// A whole number kMinTempo..kMaxTempo.
TypedValue<int> readTempo(std::string_view text);
// A note of every track that holds selected notes; empty text gives 0.
TypedValue<int> readLoopTo(const SheetDocument& sheet, std::string_view text);
// A whole number 0..kMaxLoopCount; empty text gives 0.
TypedValue<int> readLoopCount(std::string_view text);
// A decimal number of beats within ±kMaxLegatoBeats; empty text gives 0.
TypedValue<double> readLegato(std::string_view text);

// The number of a track's staff kind (StaffKind), the "Track Type:" entry that shows it (the
// fifth kind has none).
int trackTypeEntry(const Track& track);

// The note whose properties the panel shows: the note under the pointer, else the current note,
// else the first selected note.
struct NoteRef {
    int track = -1;
    int index = -1;
    bool valid() const { return index >= 0; }
};
NoteRef shownNote(SheetEditor& editor);
// The position of note `index` among the track's chord roots: its index less the chord members
// before it ("Index:").
int rootPosition(const Track& track, int index);

} // namespace tonvela
