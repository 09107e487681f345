#pragma once

#include "editor/editing/tool_editing.h"
#include "theory/chord_symbol.h"

#include <optional>
#include <string>

namespace tonvela {

class SheetEditor;

// Chord symbols on the notes of a sheet window: the chord panel's "Add Symbol" and the
// chord-symbol box, which flows from note to note like the lyric box (the same current note,
// the same step to the next sung note) but stands above the staff. A symbol belongs to a
// chord's root; every change is one edit of the editor (one undo snapshot, one relayout).
//
// Thread rules: user-interface thread, like the editor.

// Puts `symbol` on note `index` of track `track` (on its chord's root when it is a member);
// nothing removes the symbol. False when there is no such note, the note is no sounding note
// (a rest, bar line, space, break or clip carries no chord) or the symbol is already there.
bool setChordSymbol(SheetEditor& editor, int track, int index, const std::optional<ChordSymbol>& symbol);

// "Add Symbol": the chosen chord onto the current note (the note the lyric box would write
// to). False when no note is current or it takes no chord.
bool addChordSymbolToCurrentNote(SheetEditor& editor, const ChordSymbol& symbol);

// What the chord-symbol box did with a typed text.
enum class TypedChordSymbol {
    Stored,    // the symbol (or its removal, for an empty text) became the note's
    Unchanged, // the note already carried it
    NotAChord, // the text names no chord: the note keeps what it had
    NoNote,    // no current note that takes a chord
};
// The box's text: read by the same names the files use ("Cmin7" becomes "Cm7").
TypedChordSymbol setChordSymbolFromText(SheetEditor& editor, const std::string& text);

// Chord-symbol mode on or off: the box shows while it is on. Lyric mode goes off with it on.
void toggleChordSymbolMode(SheetEditor& editor);

// Where the chord-symbol box stands and what it shows, in device units of the sheet window:
// above the staff at the current note (the lyric box's note), filled with its symbol.
using ChordSymbolBoxPlacement = FlowBoxPlacement;
ChordSymbolBoxPlacement chordSymbolBoxPlacement(SheetEditor& editor);

} // namespace tonvela
