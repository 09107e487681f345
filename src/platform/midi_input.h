#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tonvela {

// One message that arrived from a MIDI input port: a packed short message (midi_output.h's
// packing: status in the low byte, then the two data bytes) and the steady clock's time of its
// arrival in microseconds (Clock::nowUs of the input's clock).
struct MidiInputEvent {
    uint32_t message = 0;
    int64_t timeUs = 0;
};

// The MIDI input ports of the machine (keyboards and other programs that send MIDI) and one of
// them open at a time: list the ports, open one by its number with a receiver, close it. Port
// numbers are positions in the list, from 0; the list is read afresh by refresh().
//
// Only channel messages are passed on (note on, note off, controllers, ...); system messages
// are dropped.
//
// Thread rules: list, refresh, open and close come from one thread (the user-interface thread).
// The receiver runs on the input's own thread, one message after the other, from open until
// close returns; it must hand the message over and return at once.
class MidiInput {
  public:
    using Receiver = std::function<void(const MidiInputEvent&)>;

    virtual ~MidiInput() = default;

    // Reads the list of ports again (a keyboard plugged in since).
    virtual void refresh() {}
    virtual int portCount() const = 0;
    // The port's name as the "MIDI Input" menu shows it; empty for a number out of range.
    virtual std::string portName(int port) const = 0;

    // Closes any open port, then listens to `port`. False (nothing open) when it cannot be.
    virtual bool open(int port, Receiver receiver) = 0;
    virtual bool isOpen() const = 0;
    // Stops listening; once it returns the receiver is never called again.
    virtual void close() = 0;
};

// The input of a machine without MIDI input: no ports.
class NoMidiInput : public MidiInput {
  public:
    int portCount() const override { return 0; }
    std::string portName(int) const override { return {}; }
    bool open(int, Receiver) override { return false; }
    bool isOpen() const override { return false; }
    void close() override {}
};

} // namespace tonvela
