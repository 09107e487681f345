#pragma once

#include "platform/midi_output.h"

#include <memory>
#include <vector>

namespace tonvela {

// Joins several backends into one device list: the devices of the first backend come first,
// then those of the second, and so on. Each backend counts its devices when the composite is
// built, so device numbers stay stable for the composite's life. Opening a device closes
// whatever device of any backend was open.
//
// Thread rules: as MidiOutput.
class CompositeMidiOutput : public MidiOutput {
  public:
    explicit CompositeMidiOutput(std::vector<std::unique_ptr<MidiOutput>> backends);

    int deviceCount() const override;
    std::string deviceName(int device) const override;
    bool open(int device) override;
    bool isOpen() const override;
    void close() override;
    void sendShortMessage(uint32_t message) override;
    void sendShortMessageAt(uint32_t message, int64_t clockUs) override;
    void setVolume(uint32_t leftRight) override;

    MidiOutput* backend(int index) const;

  private:
    struct Entry {
        MidiOutput* backend;
        int localDevice;
    };
    std::vector<std::unique_ptr<MidiOutput>> m_backends;
    std::vector<Entry> m_devices;
    MidiOutput* m_open = nullptr;
};

} // namespace tonvela
