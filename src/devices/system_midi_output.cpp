#include "devices/system_midi_output.h"
#include "devices/alsa_seq_output.h"
#include "devices/composite_midi_output.h"
#include "devices/fluid_synth_output.h"

namespace tonvela {

std::unique_ptr<MidiOutput> createSystemMidiOutput(Clock& clock)
{
    // The built-in synthesizer comes first so that device 0 plays on any machine.
    std::vector<std::unique_ptr<MidiOutput>> backends;
    backends.push_back(std::make_unique<FluidSynthOutput>(&clock));
    backends.push_back(std::make_unique<AlsaSeqOutput>(&clock));
    return std::make_unique<CompositeMidiOutput>(std::move(backends));
}

} // namespace tonvela
