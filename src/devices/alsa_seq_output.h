#pragma once

#include "platform/midi_output.h"

#include <string>
#include <vector>

// ALSA's own type name, declared so that this header need not include asoundlib.h.
typedef struct _snd_seq snd_seq_t; // NOLINT(bugprone-reserved-identifier)

namespace tonvela {

// The ALSA sequencer's writable ports as MIDI output devices, named as ALSA names them. The
// ports are listed once, when the output is built; a machine without a sequencer
// (/dev/snd/seq missing, as on build servers) lists none and nothing fails.
//
// Opening connects a port of our own to the chosen port. Messages sent at once go out
// directly; stamped messages are scheduled on a sequencer queue that starts at the open, so
// they leave at their time even while the user-interface thread is busy.
//
// Thread rules: as MidiOutput.
class AlsaSeqOutput : public MidiOutput {
  public:
    explicit AlsaSeqOutput(const Clock* clock = nullptr);
    ~AlsaSeqOutput() override;
    AlsaSeqOutput(const AlsaSeqOutput&) = delete;
    AlsaSeqOutput& operator=(const AlsaSeqOutput&) = delete;

    int deviceCount() const override { return static_cast<int>(m_ports.size()); }
    std::string deviceName(int device) const override;
    bool open(int device) override;
    bool isOpen() const override { return m_seq != nullptr; }
    void close() override;
    void sendShortMessage(uint32_t message) override;
    void sendShortMessageAt(uint32_t message, int64_t clockUs) override;
    void setVolume(uint32_t /*leftRight*/) override {}

  private:
    struct Port {
        int client;
        int port;
        std::string name;
    };
    void send(uint32_t message, int64_t queueUs);

    const Clock* m_clock;
    std::vector<Port> m_ports;
    snd_seq_t* m_seq = nullptr;
    int m_ownPort = -1;
    int m_queue = -1;
    int64_t m_originUs = 0;
};

} // namespace tonvela
