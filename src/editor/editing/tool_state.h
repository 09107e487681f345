#pragma once

#include "editor/commands.h"
#include "editor/layout.h"

namespace tonvela {

// The modifier toggles and the keyboard octave of one sheet's tools. A new sheet has every
// toggle off and the keyboard octave 3; the state lives as long as the sheet's editor.
struct SheetTools {
    bool sharp = false;
    bool flat = false;
    bool natural = false;
    bool tie = false;
    bool dot = false;
    bool rest = false;
    bool mark200 = false; // the toggle without a button (command 1133): note flag 0x200
    bool triplet = false;
    bool lyricMode = false;
    int keyboardOctave = 3; // 1 to 4: the octave keys Z..M enter at

    // The toggles a click adds to the note it places.
    PlacementToggles placement() const { return {rest, tie, dot, sharp, flat}; }
};

// One check group of a toolbar: the id selected last (whether or not the toolbar has a button
// for it) and the one before.
struct ToolGroupState {
    int currentId = 0;
    int previousId = 0;
};

// The two tool groups every sheet window shares. The note group's current id is the kind of
// the notes clicks add: a duration, or a marker tool chosen on the edit toolbar. The edit
// group's current id is the marker tool (Bar, Space, Staff Break, Lyrics, or a tool without a
// button), 0 when none.
struct SharedToolGroups {
    ToolGroupState notes{kToolQuarter, kToolQuarter};
    ToolGroupState edit{};
};

// The process-wide tool groups (user-interface thread only).
SharedToolGroups& sharedToolGroups();

} // namespace tonvela
