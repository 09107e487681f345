#pragma once

#include "platform/midi_output.h"

#include <memory>
#include <string>

namespace tonvela {

class Clock;
class ClipSlots;
class FluidSynthOutput;
class Notifier;

namespace audio {
class SoundEngine;
class FluidSynthSource;
} // namespace audio

// The machine's sound as playback uses it: one audio output (ALSA "default", or a null sink
// that keeps real time when no device opens) carrying both the built-in synthesizer and the
// 16 stream slots of audio clips, and the MIDI device list with that synthesizer as device 0
// followed by every writable ALSA sequencer port.
//
// Made on first use, not at start-up; the synthesizer loads its SoundFont when it is first
// opened.
//
// Thread rules: made and destroyed on one thread (the user-interface thread). midiOutput() and
// clipSlots() are handed to a playback driver, whose playback thread uses them while a sheet
// plays (see PlaybackDriver); engine() may start wave files and bank samples on the user-
// interface thread meanwhile (the engine serializes its starters). The engine's audio thread
// renders the synthesizer and the slots.
class AudioSystem {
  public:
    AudioSystem(Notifier& notifier, Clock& clock);
    ~AudioSystem();
    AudioSystem(const AudioSystem&) = delete;
    AudioSystem& operator=(const AudioSystem&) = delete;

    MidiOutput& midiOutput() { return *m_midi; }
    ClipSlots& clipSlots() { return *m_clips; }
    audio::SoundEngine& engine() { return *m_engine; }
    // Why the output is the null sink (empty when a real device opened).
    const std::string& whyNoDevice() const { return m_whyNull; }

  private:
    // Declared so that the engine (and its audio thread) goes before the synthesizer it renders.
    std::unique_ptr<MidiOutput> m_midi; // owns the synthesizer
    FluidSynthOutput* m_synth = nullptr;
    std::unique_ptr<audio::FluidSynthSource> m_source;
    std::unique_ptr<audio::SoundEngine> m_engine;
    std::unique_ptr<ClipSlots> m_clips;
    std::string m_whyNull;
};

} // namespace tonvela
