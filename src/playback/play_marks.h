#pragma once

#include "score/sounding_notes.h"

#include <cstdint>
#include <vector>

namespace tonvela {

// The notes a playback holds on, by track and note index: the scheduler marks a note as it
// starts and clears the mark as it ends; views read the marks to highlight what sounds.
// Marks go by index, as the scheduler plays by index: a note inserted before a sounding note
// moves the highlight until the next step.
//
// Thread rules: as SoundingNotes: under the sheet lock.
class PlayMarks : public SoundingNotes {
  public:
    // Forgets every mark; from now on the marks are those of `sheet`.
    void begin(const SheetDocument* sheet);
    void set(int track, int note, bool on);
    void clearTrack(int track);
    void clear();
    bool sounding(int track, int note) const;
    bool any() const;
    bool sounding(const SheetDocument& sheet, int track, int note) const override
    {
        return &sheet == m_sheet && sounding(track, note);
    }

  private:
    const SheetDocument* m_sheet = nullptr;
    std::vector<std::vector<uint8_t>> m_marks; // by track, by note
};

} // namespace tonvela
