#pragma once

#include "score/note.h"

#include <string>
#include <vector>

namespace tonvela {

class SheetDocument;
class Track;

// The notes Copy and Cut took, shared by every sheet window of the process: it outlives the
// window it was filled from. Chord members refer to their root by clipboard position, and a
// loop refers to its target the same way (a loop whose target was not copied is dropped), so
// the notes can go into any track at any index.
struct NoteClipboard {
    std::vector<Note> notes;
    std::string sourceTitle; // caption of the sheet the notes came from

    bool empty() const { return notes.empty(); }
};

// The one clipboard of the process. User-interface thread only.
NoteClipboard& noteClipboard();

// Empties `clipboard` and fills it from the selection of `sheet`, in track order and note
// order: every selected chord root followed by its selected members (a selected member of an
// unselected root is left out).
void copySelection(const SheetDocument& sheet, NoteClipboard& clipboard);

// True when some note of the sheet is selected.
bool hasSelection(const SheetDocument& sheet);

// Removes the selected notes of every track in one pass. A selected chord root whose chord
// keeps unselected members hands the chord to the first of them: that member's data takes the
// root's slot with the root's lyric, and the other kept members stay with that slot. Chord
// links and loop targets follow the notes (a loop whose target went points at the note that
// followed it, or is turned off at the track end). True when anything was removed.
bool deleteSelection(SheetDocument& sheet);

// Inserts the clipboard's notes into `track` before `index` (clamped to 0..count), links
// rewritten to the pasted notes, the pasted notes selected and every other note of the track
// deselected. The caller checks the note limit (pasteFits) first.
void pasteNotes(Track& track, int index, const NoteClipboard& clipboard);
// True when `count` more notes keep the track within Track::kMaxNotes.
bool pasteFits(const Track& track, std::size_t count);

// Moves every selected note one staff position up (steps = -1) or down (+1): letter, key and
// octave follow the position, accidental marks stay (stems follow from the relayout). A note
// whose sounding pitch would leave 0..127, or whose stored key would leave its 8 bits, stays
// where it is. True when any note moved.
bool shiftSelectedPitch(SheetDocument& sheet, int steps);

// Selects every note of track `trackIndex`; false when there is no such track.
bool selectAllOf(SheetDocument& sheet, int trackIndex);

// Removes every note of every track; true when there was any.
bool clearAllNotes(SheetDocument& sheet);

} // namespace tonvela
