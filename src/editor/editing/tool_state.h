#pragma once

#include "editor/commands.h"
#include "editor/layout.h"

#include <functional>
#include <utility>
#include <vector>

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
    bool voice2 = false; // clicks and the note keys enter voice 2 (voice_entry.h)
    bool lyricMode = false;
    bool chordSymbolMode = false; // the chord-symbol box is shown (never with lyricMode)
    int keyboardOctave = 3;       // 1 to 4: the octave keys Z..M enter at

    // The toggles a click adds to the note it places.
    PlacementToggles placement() const { return {rest, tie, dot, sharp, flat}; }
};

// How a toolbar button looks: up, down, or down because it is the group's selected tool.
enum class ButtonState : uint8_t { Normal, Pressed, Checked };

// One check group of a toolbar: the id selected last (whether or not the toolbar has a button
// for it), the one before, and the look of each of its buttons.
struct ToolGroupState {
    int currentId = 0;
    int previousId = 0;
    std::vector<std::pair<int, ButtonState>> buttons; // in toolbar order

    // The id becomes the current one; its button (if any) is checked, every other one normal.
    void select(int id);
    // Pressing shows a button down (a checked one stays checked); releasing shows it up.
    void press(int id);
    void release(int id);
    // Pressed when `down`, else released.
    void show(int id, bool down) { down ? press(id) : release(id); }
    // Normal for an id without a button.
    ButtonState state(int id) const;
    bool isDown(int id) const { return state(id) != ButtonState::Normal; }
};

// The two tool groups every sheet window shares. The note group's current id is the kind of
// the notes clicks add: a duration, or a marker tool chosen on the edit toolbar. The edit
// group's current id is the marker tool (Bar, Space, Staff Break, Lyrics, or a tool without a
// button), 0 when none. Their button looks are those the sheet that changed them last left.
struct SharedToolGroups {
    SharedToolGroups();

    ToolGroupState notes;
    ToolGroupState edit;
};

// The process-wide tool groups (user-interface thread only).
SharedToolGroups& sharedToolGroups();

// Who redraws the toolbars when the shared groups change: watchers are called after every
// tool change of any sheet. watchToolGroups returns a token for unwatchToolGroups.
int watchToolGroups(std::function<void()> watcher);
void unwatchToolGroups(int token);
void toolGroupsChanged();

} // namespace tonvela
