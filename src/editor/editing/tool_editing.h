#pragma once

#include "editor/editing/editor_input.h"
#include "editor/editing/tool_state.h"

#include <string>
#include <utility>

namespace tonvela {

class SheetEditor;

// The tools of a sheet window and keyboard note entry: the toolbar buttons and the letter keys
// change the sheet's toggles (SheetTools) and the shared tool groups, and apply themselves to
// the selected notes; the keys Z..M append notes; the lyric box writes the current note's
// lyric. Every change of notes is one edit of the editor (one undo snapshot, one relayout);
// every tool change ends with the toolbars redrawn (toolGroupsChanged) and the window told
// (EditorHost::toolsChanged).
//
// Thread rules: user-interface thread, like the editor.

// True for the ids the tools take: the buttons of both toolbars and the tools without one.
bool isToolCommand(int id);

// A tool button or key: changes the toggles and groups, applies the tool to the selected
// notes. True when the id was the tools' (a tool without any effect here returns false).
bool applyTool(SheetEditor& editor, int id);

// Applies a tool to every selected note that is no audio clip, bar or space: a modifier sets
// its flag when the toggle is off and clears it when on (the toggle itself flips afterwards,
// in applyTool); a duration or marker tool becomes the note's kind. One undo snapshot, only
// when some note changes; true then.
bool applyToSelection(SheetEditor& editor, int id);

// Shows the sheet's toggles on the note toolbar's buttons. Of sharp, flat and natural at most
// one stays on: natural wins over both, flat over sharp. The group's current id is kept.
void syncToolButtons(SheetTools& tools, SharedToolGroups& groups);
// The full reset: every toggle off and Quarter the note group's tool.
void resetToolButtons(SheetTools& tools, SharedToolGroups& groups);

// A key that reached the sheet window: the tool letters S F D T R W H Q E Y U, the octave keys
// 1 to 4, the note keys Z X C V B N M. Digits on a tablature track are swallowed. Every key
// ends with syncToolButtons. True when the key was one of those (the window then stops it).
bool toolKey(SheetEditor& editor, const KeyInput& key);
// The letter key of a tool ('Q' for Quarter), 0 for a tool without one.
char toolLetter(int tool);

// Appends a note of `letter` ('A'..'G') at the keyboard octave to the selected track: no
// modifier toggles, the current duration (quarter when the note tool is none). With Voice 2 on
// it goes into voice 2 of the current measure instead of at the track's end. Refused with a
// message when the track is full. True when the note went in.
bool appendFromKeyboard(SheetEditor& editor, char letter);

// Where a box that flows from note to note (the lyric box, the chord-symbol box) stands and
// what it shows, in device units of the sheet window.
struct FlowBoxPlacement {
    bool shown = false;
    int x = 0;
    int y = 0;
    std::string text;
    // The note the box writes to; -1 when there is none (the box then stands at the start of
    // the selected track's first visible row).
    int track = -1;
    int note = -1;
};
using LyricBoxPlacement = FlowBoxPlacement;

// A flowing box at note `note` of track `t` (the box's note; -1 for none), `lineOffset` sheet
// units below the top line of the note's row; a box without a note, or whose note is not laid
// out, stands at the start of the selected track's first row in view. `shown` is set; the
// caller fills the text. Call under the sheet lock.
FlowBoxPlacement placeFlowBox(SheetEditor& editor, int t, int note, int lineOffset);

// The lyric box of lyric mode: shown while lyric mode is on and a track is selected, below the
// staff at the lyric line of the current note (the selected track's, else the first track's
// that has one), so it never covers the notes that follow; filled with the note's lyric.
LyricBoxPlacement lyricBoxPlacement(SheetEditor& editor);

// The note the lyric box and the chord-symbol box write to: the selected track's current note,
// else the first track's that has one. Both -1 when there is none.
std::pair<int, int> lyricTarget(SheetEditor& editor);

// The lyric flow: the box's note becomes the next (forward) or previous sung note of its track,
// a note that is no rest, bar, space or clip; chord members go with their root. Its row is
// scrolled into view. False when there is no box note or no such note that way (the box stays).
bool stepLyricNote(SheetEditor& editor, bool forward);

// The lyric box's text became `text`: it becomes the lyric of the box's note (cut to
// kMaxLyricLength bytes at a character boundary; empty removes the lyric), as one undo
// snapshot, when it differs. True when the lyric changed.
bool setLyric(SheetEditor& editor, const std::string& text);

} // namespace tonvela
