#pragma once

#include <cstdint>
#include <vector>

namespace tonvela {

class Track;

// The division of a track into measures, computed from its notes and its time signature.
// Measures are numbered from 1, as the sheet shows them. Layout, drawing, playback and the
// MIDI writer all read this one division, so the measure the sheet shows as number m is the
// measure that playback treats as m.
//
// The rule: a running sum of the chord roots' lengths (duration.h) starts at 0. A chord root
// that is not a staff break opens a new measure once the sum has reached the measure length
// of the time signature (for the first measure, the track's pickup length when it has one). A staff break
// after a full measure that holds notes opens a new measure too, so the next row does not carry the old
// measure over. A bar line or a staff break sets the sum back to 0 without opening a measure. Every chord
// root that is not a staff break adds its length (dotted notes three halves of it); other kinds add nothing.
// Chord members lie in the measure of the note before them.
//
// The division has no upper limit on measures or notes; the layout keeps its own limits.
//
// Thread rules: plain data; a track's division is recomputed and read under the sheet lock.
class MeasureDivision {
  public:
    // Divides the track's notes (all `count` of them) into measures again.
    void divide(const Track& track);

    // The notes the division was computed for: the track's count at the time. A track whose
    // count differs has changed since.
    int noteCount() const { return static_cast<int>(m_measureOf.size()); }
    // Measures in use (0 for a track without notes).
    int measureCount() const { return static_cast<int>(m_firstNote.size()); }
    // The measure number (from 1) of note i; 0 when i lies outside the divided notes.
    int measureOf(int noteIndex) const
    {
        return noteIndex >= 0 && noteIndex < noteCount() ? m_measureOf[static_cast<std::size_t>(noteIndex)]
                                                         : 0;
    }
    // The first note of measure m (from 1); -1 when there is no such measure.
    int firstNote(int measure) const;
    // How many chord roots come before note i: a root's ordinal among the roots.
    int rootOrdinal(int noteIndex) const;
    // True when a chord root of the divided notes is counted in voice 2.
    bool hasSecondVoice() const { return m_secondVoice; }

  private:
    std::vector<int32_t> m_measureOf;
    std::vector<int32_t> m_ordinal;
    std::vector<int32_t> m_firstNote;
    bool m_secondVoice = false;
};

// The measures of a track that repeat: each plays twice on the first pass through the sheet.
// Measure numbers from 1, kept sorted, each at most once.
class MeasureRepeatMarks {
  public:
    void set(int measure, bool repeated);
    // Replaces the marks: numbers below 1 are left out, the rest sorted, each kept once.
    void assign(std::vector<int> measures);
    bool contains(int measure) const;
    bool empty() const { return m_measures.empty(); }
    const std::vector<int>& measures() const { return m_measures; }
    void clear() { m_measures.clear(); }
    friend bool operator==(const MeasureRepeatMarks&, const MeasureRepeatMarks&) = default;

  private:
    std::vector<int> m_measures;
};

} // namespace tonvela
