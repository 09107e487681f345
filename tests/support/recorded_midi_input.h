#pragma once

#include "platform/midi_input.h"

#include <string>
#include <vector>

namespace tonvela {

// A MIDI input for tests that plays back a recording: its ports are the names it was built
// with, and replay() hands recorded messages to the receiver of the open port from a thread of
// its own, as a real input's reader thread does (play() hands them over on the caller's
// thread). It keeps every open and close; `failOpen` makes every open fail.
//
// Thread rules: as MidiInput.
class RecordedMidiInput : public MidiInput {
  public:
    explicit RecordedMidiInput(std::vector<std::string> ports = {"Recorded Keyboard"});

    void refresh() override { ++refreshes; }
    int portCount() const override { return static_cast<int>(m_ports.size()); }
    std::string portName(int port) const override;
    bool open(int port, Receiver receiver) override;
    bool isOpen() const override { return openPort >= 0; }
    void close() override;

    // Hands the messages to the receiver at once, on this thread; nothing while closed.
    void play(const std::vector<MidiInputEvent>& events);
    // The same from another thread; returns once all were handed over.
    void replay(const std::vector<MidiInputEvent>& events);

    bool failOpen = false;
    int openPort = -1;
    std::vector<int> opened; // every port opened, in order
    int closes = 0;
    int refreshes = 0;

  private:
    std::vector<std::string> m_ports;
    Receiver m_receiver;
};

// A note on (velocity 100) or note off of `key` on channel 0 at `timeUs`.
MidiInputEvent noteOnAt(int key, int64_t timeUs, int velocity = 100);
MidiInputEvent noteOffAt(int key, int64_t timeUs);

} // namespace tonvela
