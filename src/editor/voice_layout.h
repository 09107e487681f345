#pragma once

// The engraving of two voices on one staff (score/voices.h): in a measure that holds both, voice
// 1 stems up and voice 2 stems down whatever their heads, rests of voice 1 stand higher and
// those of voice 2 lower, notes of both voices that start together share one column, and beams
// and ties join notes of one voice only. A measure with voice 1 alone keeps the usual rules.

#include "editor/sheet_layout.h"
#include "score/duration.h"

#include <cstdint>
#include <vector>

namespace tonvela {

class Track;
class MeasureDivision;

class VoicePlan {
  public:
    // Reads the track's voices (nothing to do for a track with one voice).
    VoicePlan(const Track& track, const MeasureDivision& measures);

    bool active() const { return m_active; }
    // The voice note i is counted in (kVoice1 on a track with one voice).
    uint8_t voiceOf(int i) const;
    // Where note i starts in its measure, counted in its voice.
    Ticks offsetOf(int i) const;
    // True when measure m (from 1) holds notes of voice 2.
    bool twoVoices(int measure) const;
    // The stem direction note i takes (1 down, 0 up) when its measure holds two voices; -1 when
    // the usual rules decide.
    int forcedStemDown(int i) const;
    // How far a rest of note i moves down (negative: up) in a measure of two voices.
    int restShift(int i) const;

  private:
    bool m_active = false;
    std::vector<uint8_t> m_voice;
    std::vector<Ticks> m_offset;
    std::vector<int32_t> m_measure;
    std::vector<uint8_t> m_twoVoices; // by measure number
};

// Notes of both voices that start together in a measure stand in one column, at the x of the
// first of them in the array (the measure's notes lie in time order, so the columns keep their
// order). Chord roots from `from` to `laid` (exclusive); members follow their roots later.
void alignVoiceColumns(const Track& track, const VoicePlan& plan, std::vector<NoteLayout>& notes, int from,
                       int laid);

} // namespace tonvela
