#pragma once

#include "audio/clip_decoder.h"
#include "playback/offline_render.h"
#include "playback/scheduler.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
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
// With a clock, a clip sounds from the clock time its note starts, although the scheduler
// starts it ahead of that time: the time is turned into an output frame of the engine's mixer
// from where the mixer stands at the start (as the built-in synthesizer places its stamped
// notes), and the clip's end is turned back into a clock time once the slot knows it. Without
// a clock a clip sounds as soon as its ring plays and no end is known ahead.
//
// Thread rules: the thread that steps the scheduler; the engine and clock must outlive it.
class EngineClipSlots : public ClipSlots {
  public:
    explicit EngineClipSlots(audio::SoundEngine& engine, const Clock* clock = nullptr)
        : m_engine(engine), m_clock(clock)
    {
    }
    int start(const std::string& path, int64_t atUs) override;
    Report report(int slot) const override;
    std::optional<int64_t> endUs(int slot) const override;
    void stop(int slot) override;

  private:
    // A clock time and the mixer's output frame at that time, for one slot's stream.
    struct Anchor {
        int64_t clockUs = 0;
        int64_t frame = 0;
        bool set = false;
    };
    audio::SoundEngine& m_engine;
    const Clock* m_clock;
    std::map<int, Anchor> m_anchors;
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
    // The clip's end as placed: its start time plus its length (cut where it was stopped).
    std::optional<int64_t> endUs(int slot) const override;
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
