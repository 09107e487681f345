#pragma once

#include "platform/midi_input.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// ALSA's own type name, declared so that this header need not include asoundlib.h.
typedef struct _snd_seq snd_seq_t; // NOLINT(bugprone-reserved-identifier)

namespace tonvela {

class Clock;

// The ALSA sequencer's readable ports (hardware keyboards, virtual keyboards, other programs)
// as MIDI inputs, named "client: port" as ALSA names them. A machine without a sequencer
// (/dev/snd/seq missing, as on build servers) lists none and nothing fails.
//
// Opening makes a port of our own ("Tonvela MIDI Input"), connects the chosen port to it and
// starts a reader thread that waits on the sequencer (waking every 100 ms to see whether it
// must stop) and hands each channel message to the receiver, stamped with the clock's time.
//
// Thread rules: as MidiInput.
class AlsaSeqInput : public MidiInput {
  public:
    // `clock` stamps the messages; it must outlive the input.
    explicit AlsaSeqInput(const Clock& clock);
    ~AlsaSeqInput() override;
    AlsaSeqInput(const AlsaSeqInput&) = delete;
    AlsaSeqInput& operator=(const AlsaSeqInput&) = delete;

    void refresh() override;
    int portCount() const override { return static_cast<int>(m_ports.size()); }
    std::string portName(int port) const override;
    bool open(int port, Receiver receiver) override;
    bool isOpen() const override { return m_seq != nullptr; }
    void close() override;

  private:
    struct Port {
        int client;
        int port;
        std::string name;
    };
    void readLoop();

    const Clock& m_clock;
    std::vector<Port> m_ports;
    snd_seq_t* m_seq = nullptr;
    Receiver m_receiver;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
};

} // namespace tonvela
