#pragma once

#include <cstdint>
#include <span>

namespace tonvela {

class DocumentWindow;
class MainWindow;

// The menus the commands sit in, in menu bar order; None for commands without an item (the
// toolbar's note and edit tools).
enum class Menu : uint8_t { None, File, Edit, View, Windows, Play, Help };
// The toolbars with buttons, in the order they are laid out.
enum class Bar : uint8_t { None, Notes, Edit, Play };
// Check state of a button: plain, a modifier toggle, a duration, a marker tool (the looks of
// these three come from the shared tool groups, toolbars.h), down while its kind of
// playback runs (Play, Play All, the MIDI events), checked while what it shows is shown
// (the panels), or checked while the option it names is on (chord symbols and their diagrams).
enum class Check : uint8_t { Plain, Toggle, Duration, Marker, Playing, Shown, Option };
// When the menu item or button is enabled.
enum class Enabled : uint8_t {
    Always,
    WithPlayer,          // a playback engine is built in
    WhenDocumentAnswers, // the active document answers the command itself
    WithSheet,           // the active document shows a sheet
    Never,               // comes with a later part of the program
};
// What must be active for the command to run; without it the command does nothing.
enum class Needs : uint8_t { Nothing, Document, Sheet };

// Runs a command the frame handles; true when it was handled.
using CommandHandler = bool (*)(MainWindow&);

// One command of the menus, accelerators and toolbars. The frame builds its actions, menus
// and toolbars from these rows and dispatches through them: the active document is offered
// the command first, then the row's handler runs (a row without a handler is answered by
// documents only).
struct CommandRow {
    int id;
    Menu menu;
    const char* text;     // the menu item's text trimmed; the button's as it stands ("Play  ")
    const char* shortcut; // portable key text ("Ctrl+N", "Del", "F4"); empty for none
    Bar toolbar;
    Check check;
    bool separatorBefore; // in its menu or toolbar
    Enabled enabled;
    Needs needs;
    CommandHandler handler;
};

// Every command, in menu and toolbar order.
std::span<const CommandRow> commandTable();
// Whether the command's key belongs to the sheet windows: it works while a sheet window (or
// its lyric box) has the keyboard, so the panels' fields and lists keep Space, Home and End.
bool isSheetWindowKey(int id);
// The row of a command id; null for ids that are no command.
const CommandRow* findCommand(int id);
// Whether the row's menu item or button is enabled with this player and active document.
bool commandEnabled(const CommandRow& row, bool playerAvailable, const DocumentWindow* active);

} // namespace tonvela
