#pragma once

#include "editor/editing/midi_step_entry.h"
#include "platform/midi_input.h"

#include <QObject>

class QActionGroup;
class QMenu;

namespace tonvela {

class MainWindow;

// Play > MIDI Input: "None" (the default) and the machine's MIDI input ports, read afresh each
// time the menu opens. With a port chosen, every key pressed on it enters a note into the
// active sheet's chosen track (MidiStepEntry: the current duration, keys struck together a
// chord). A port that cannot be opened says so and the choice goes back to "None".
//
// Thread rules: user-interface thread; the input's messages arrive on its reader thread and
// are handed over here. Closing the port (choosing another, or this menu going with the main
// window) waits until no message is being handed over.
class MidiInputMenu : public QObject {
  public:
    MidiInputMenu(MainWindow& frame, MidiInput* input);
    ~MidiInputMenu() override;
    MidiInputMenu(const MidiInputMenu&) = delete;
    MidiInputMenu& operator=(const MidiInputMenu&) = delete;

    QMenu* menu() const { return m_menu; }
    // Chooses port `port` (-1: "None") as the menu's entry does.
    void choose(int port);
    // The chosen port; -1 for "None".
    int chosen() const { return m_chosen; }

  private:
    void fill();
    void received(const MidiInputEvent& event);

    MainWindow& m_frame;
    MidiInput* m_input;
    QMenu* m_menu;
    QActionGroup* m_group;
    int m_chosen = -1;
    MidiStepEntry m_entry;
};

} // namespace tonvela
