#pragma once

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace tonvela {

class Clock;
class FileDialogs;
class MidiInput;
class Notifier;
class Player;
class SettingsStore;

// What the main window works with, so that tests can put fakes in their place.
struct ShellServices {
    SettingsStore& settings;
    Notifier& notifier;
    FileDialogs& dialogs;
    Player& player;
    Clock& clock;
    // The names of the MIDI output devices; called once, after the first sheet is shown, so
    // the synthesizer does not slow down start-up.
    std::function<std::vector<std::string>()> listDevices;
    // Opens a web address in the desktop's browser.
    std::function<void(const QString&)> openUrl;
    // Ends the program (the event loop) with the given exit code.
    std::function<void(int)> quit;
    // The MIDI input ports for step entry (Play > MIDI Input); none: the menu offers only "None".
    MidiInput* midiInput = nullptr;
};

} // namespace tonvela
