#pragma once

#include "platform/midi_output.h"

#include <memory>

namespace tonvela {

class Clock;

// The machine's outputs: the built-in synthesizer first (device 0, so a fresh machine plays),
// then every writable ALSA sequencer port. `clock` maps stamped messages to their time; it
// must outlive the output.
std::unique_ptr<MidiOutput> createSystemMidiOutput(Clock& clock);

} // namespace tonvela
