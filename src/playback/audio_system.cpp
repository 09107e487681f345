#include "playback/audio_system.h"

#include "audio/sound_engine.h"
#include "devices/alsa_seq_output.h"
#include "devices/alsa_sink.h"
#include "devices/composite_midi_output.h"
#include "devices/fluid_synth_output.h"
#include "platform/audio_sink.h"
#include "playback/clip_slots.h"
#include "playback/synth_source.h"

namespace tonvela {

namespace {
// Small periods keep a note sent to the synthesizer within about 10 ms of being heard.
constexpr AudioSink::Format kOutputFormat{48000, 128, 3};
} // namespace

AudioSystem::AudioSystem(Notifier& notifier, Clock& clock)
{
    m_engine = std::make_unique<audio::SoundEngine>(notifier);
    m_engine->initAudio(openDefaultSink(kOutputFormat, &m_whyNull));

    FluidSynthOptions options;
    options.sampleRate = m_engine->sampleRate() > 0 ? m_engine->sampleRate() : kOutputFormat.sampleRate;
    options.realTimeAudio = false; // the engine's audio thread renders it
    auto synth = std::make_unique<FluidSynthOutput>(&clock, options);
    m_synth = synth.get();
    m_source = std::make_unique<audio::FluidSynthSource>(*m_synth);

    std::vector<std::unique_ptr<MidiOutput>> backends;
    backends.push_back(std::move(synth));
    backends.push_back(std::make_unique<AlsaSeqOutput>(&clock));
    m_midi = std::make_unique<CompositeMidiOutput>(std::move(backends));
    m_engine->setSynth(m_source.get());
    m_clips = std::make_unique<EngineClipSlots>(*m_engine, &clock);
}

AudioSystem::~AudioSystem()
{
    // The audio thread stops rendering the synthesizer before anything is freed.
    m_engine->setSynth(nullptr);
    m_engine->shutdown();
    m_clips.reset();
    m_engine.reset();
    m_source.reset();
    m_midi.reset();
}

} // namespace tonvela
