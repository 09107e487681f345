#pragma once

#include "audio/clip_decoder.h"
#include "playback/offline_render.h"
#include "playback/scheduler.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tonvela {

class Clock;
class SheetDocument;

namespace audio {
class SoundEngine;
} // namespace audio

// The scheduler's clip rule played through the sound engine's stream slots: a ".wav" file
// through the wave path, anything else as an MP3 clip. The reports are the slot's `playing`
// and `finished` words; stop silences the slot at once and returns without waiting (the
// stream thread cleans up behind it), because the scheduler never waits.
//
// Thread rules: the thread that steps the scheduler; the engine must outlive it.
class EngineClipSlots : public ClipSlots {
  public:
    explicit EngineClipSlots(audio::SoundEngine& engine) : m_engine(engine) {}
    int start(const std::string& path, int64_t atUs) override;
    Report report(int slot) const override;
    void stop(int slot) override;

  private:
    audio::SoundEngine& m_engine;
};

// Clip slots for offline rendering on a virtual clock: a clip is decoded whole when it starts,
// reports playing until the clock passes its end, and is mixed into the rendered audio at the
// time its note started. A file that cannot be decoded reports finished at once.
//
// Thread rules: one thread (the renderer's).
class OfflineClipSlots : public ClipSlots {
  public:
    struct Placed {
        std::string path;
        int64_t atUs = 0;
        int64_t endUs = 0;
        std::shared_ptr<const audio::DecodedClip> clip; // null when the file could not be decoded
    };

    OfflineClipSlots(const Clock& clock, double sampleRate) : m_clock(clock), m_rate(sampleRate) {}
    int start(const std::string& path, int64_t atUs) override;
    Report report(int slot) const override;
    void stop(int slot) override;

    // Adds every clip that played, cut where it was stopped, into interleaved stereo audio that
    // starts at clock time 0; the audio grows when a clip rings past its end.
    void mixInto(std::vector<float>& interleaved) const;
    const std::vector<Placed>& placed() const { return m_placed; }

  private:
    const Clock& m_clock;
    double m_rate;
    std::vector<Placed> m_placed;
    std::map<std::string, std::shared_ptr<const audio::DecodedClip>> m_cache;
};

// renderSheet with the sheet's audio clip notes played: each clip holds its track for its
// length, as in real time, and its audio is mixed in at the time its note started.
RenderedAudio renderSheetWithClips(SheetDocument& sheet, const RenderOptions& options);

} // namespace tonvela
