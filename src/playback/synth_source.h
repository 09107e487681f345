#pragma once

#include "audio/sound_engine.h"
#include "devices/fluid_synth_output.h"

namespace tonvela::audio {

// The built-in synthesizer as a source of the engine's mixer, so one audio device carries the
// synthesizer and the stream slots. The synthesizer must be made with realTimeAudio = false
// (the engine's audio thread renders it) and the engine's sample rate.
//
// Thread rules: renderInto runs on the audio thread (FluidSynthOutput::render is real-time
// safe); everything else about the synthesizer stays on its owner's thread.
class FluidSynthSource : public AudioSource {
  public:
    explicit FluidSynthSource(FluidSynthOutput& synth) : m_synth(synth) {}
    void renderInto(float* scratch, int frames) noexcept override
    {
        m_synth.renderInterleaved(scratch, frames);
    }

  private:
    FluidSynthOutput& m_synth;
};

} // namespace tonvela::audio
