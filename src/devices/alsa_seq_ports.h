#pragma once

// The ALSA sequencer ports of other clients, as the MIDI output and the MIDI keyboard input
// list them.
//
// Thread rules: any thread; each call opens and closes a sequencer handle of its own.

#include <string>
#include <vector>

namespace tonvela {

struct SequencerPort {
    int client = 0;
    int port = 0;
    std::string clientName;
    std::string name;
};

// Whether the machine offers the sequencer. Checked before asking ALSA, which would print its
// own complaint about the missing device.
bool sequencerPresent();

// The exported ports of every client but the system client and the caller's own whose
// capabilities include all of `capabilities` (SND_SEQ_PORT_CAP_*), opened in `openMode`
// (SND_SEQ_OPEN_*). Empty when the sequencer is missing or cannot be opened.
std::vector<SequencerPort> listSequencerPorts(unsigned capabilities, int openMode);

} // namespace tonvela
