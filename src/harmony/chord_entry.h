#pragma once

#include "score/note.h"
#include "theory/scale.h"

#include <functional>
#include <string_view>

namespace tonvela {

class SheetDocument;
class ChordDocument;
class ChordSelection;
class Notifier;

inline constexpr const char* kNoDocumentForChordMessage = "No document open to add chord";
inline constexpr const char* kNoDocumentForScaleMessage = "No document open to add scale";
inline constexpr const char* kNoScaleChosenMessage = "Choose a root and a scale before adding the scale";
inline constexpr const char* kNoTrackMessage = "The sheet has no track to add the notes to";
inline constexpr const char* kTrackFullMessage = "The track is full: a track holds at most 32000 notes";
// The most notes one guitar shape adds (a chord document's fingering may hold more triples
// than the six strings of the library's shapes).
inline constexpr int kMaxShapeNotes = 16;
// Notes "Add Chord" builds: the formula's pitches, then the same an octave lower, up to 8.
inline constexpr int kChordNoteCount = 8;

// The horizontal drawing cursor of one staff row of the sheet editor: where the next item
// goes, the row's extent and the track drawn on it.
struct StaffRowCursor {
    int left = 0;  // x where a row starts
    int right = 0; // x of the row's right end
    int top = 0;
    int x = 0; // the cursor
    int track = 0;
};

// What the chord and scale commands read from the editor: the note toolbar's duration, the Tie
// and Dot buttons, tool button 1130 (marks added notes with 0x8), the current track, the
// "Root Octave:" choice and the staff row cursors; plus how to lay the sheet out afterwards
// and where to show errors. The desktop application fills it from its windows; tests and the
// command-line tool fill it by hand.
struct ChordEntryContext {
    int toolbarType = kTypeQuarter;
    bool tie = false;
    bool dot = false;
    bool markButton = false;
    int currentTrack = -1;   // -1: no track current yet (the commands make it track 0)
    int rootOctaveEntry = 0; // position in "Root Octave:": 0 is "2", 1 is "1", 2 is "0"
    StaffRowCursor* currentRow = nullptr;
    StaffRowCursor* lastRow = nullptr;
    std::function<void()> relayout; // when empty the sheet tells its observers
    Notifier* notifier = nullptr;
    // Runs `append` (the notes going into track `track`) as one edit of the sheet. The desktop
    // hands it to the sheet editor, which holds the sheet lock, takes the one undo snapshot and
    // lays the sheet out; `relayout` is then not called for that command. When empty the
    // commands take the lock and the snapshot themselves.
    std::function<void(int track, const std::function<void()>& append)> commit;
};

// The four commands of the chord and scale panels. Each appends to the end of a track of the
// sheet under one undo snapshot, then lays the sheet out again, and returns how many notes it
// appended (0 when it did nothing). Without a sheet the notifier says so.

// "Add Chord" (arpeggio false): the chord's notes as one chord, the first carrying the
// lyric "<root button> <quality button>". "Add Arpeggio" (arpeggio true): the same notes
// one after another, lowest first. Nothing happens until root and quality are chosen.
int addChordToSheet(SheetDocument* sheet, const ChordSelection& selection, bool arpeggio,
                    ChordEntryContext& ctx);

// "Add To Sheet" of the guitar chord group: one note per fretted or open string of the
// fingering, highest string first, as one chord.
int addGuitarChordToSheet(SheetDocument* sheet, std::string_view fingering, int startFret,
                          ChordEntryContext& ctx);

// "Add As Chord": the scale from octave 3 up to its octave as one chord on the track of the
// last staff row.
int addScaleAsChord(SheetDocument* sheet, const ScaleSelection& scale, ChordEntryContext& ctx);
// "Add As Melody": the scale from the "Root Octave:" choice as separate notes.
int addScaleAsMelody(SheetDocument* sheet, const ScaleSelection& scale, ChordEntryContext& ctx);

// Runs "Add To Sheet" for every diagram of a chord document (or every selected one), in order.
int addDiagramsToSheet(const ChordDocument& doc, bool selectedOnly, SheetDocument* sheet,
                       ChordEntryContext& ctx);

// Cursor advance after a chord of this duration type: 40 for whole and half notes, 35 for
// quarter notes, 22 for eighth notes up to `shortest`, nothing for other types.
int cursorAdvance(int type, int shortest);

} // namespace tonvela
