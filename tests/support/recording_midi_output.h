#pragma once

#include "platform/midi_output.h"

#include <string>
#include <vector>

namespace tonvela {

// A MIDI output for tests: keeps every message it is given with the clock time at which it
// arrived (and the time it was stamped for), every volume change and every open and close.
// Its devices are the names it was built with; `failOpen` makes every open fail.
//
// Thread rules: as MidiOutput.
class RecordingMidiOutput : public MidiOutput {
  public:
    struct Message {
        int64_t clockUs = 0;  // clock time when it was sent
        int64_t stampUs = -1; // the time it was stamped for, -1 when sent at once
        uint32_t message = 0;
        int device = -1;

        int status() const { return statusOf(message); }
        int data1() const { return data1Of(message); }
        int data2() const { return data2Of(message); }
    };

    explicit RecordingMidiOutput(const Clock& clock, std::vector<std::string> devices = {"Recorder"});

    int deviceCount() const override;
    std::string deviceName(int device) const override;
    bool open(int device) override;
    bool isOpen() const override { return m_openDevice >= 0; }
    void close() override;
    void sendShortMessage(uint32_t message) override;
    void sendShortMessageAt(uint32_t message, int64_t clockUs) override;
    void setVolume(uint32_t leftRight) override;

    bool failOpen = false;
    std::vector<Message> messages; // only those sent while a device was open
    int droppedWhileClosed = 0;    // messages sent while nothing was open
    std::vector<uint32_t> volumes;
    int opens = 0;
    int closes = 0;
    int openDevice() const { return m_openDevice; }

  private:
    const Clock& m_clock;
    std::vector<std::string> m_devices;
    int m_openDevice = -1;
};

} // namespace tonvela
