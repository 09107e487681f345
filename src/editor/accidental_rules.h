#pragma once

// Which accidental a note shows, by the rules engravers follow: the one its sounding pitch
// needs against the key signature and against the notes before it at the same staff position
// in the measure; a courtesy accidental in the next measure for a position the measure before
// altered, unless a tie carries the pitch over; none where the key or the measure already says
// it. What the file's marks say only decides the pitch (sounding_pitch.h); what is shown
// follows from the pitch.

#include <cstdint>
#include <vector>

namespace tonvela {

struct Note;
class Track;
class KeyAccidentalTable;

// The accidental a note's layout shows.
inline constexpr int8_t kShowNoAccidental = 0;
inline constexpr int8_t kShowSharp = 1;
inline constexpr int8_t kShowFlat = -1;
inline constexpr int8_t kShowNatural = 2;

// The accidental a note's own marks ask for (a note placed at the pointer shows them as set).
int8_t accidentalOfMarks(int dwFlag);

// How far a note sounds from the natural of its staff position (+1 sharp, -1 flat), and how
// far the key signature alone moves that position; both through the one sounding rule.
struct Alteration {
    int note = 0;
    int key = 0;
};
Alteration alterationOf(const Note& note, const Track& track, const KeyAccidentalTable& keys);

// Walks the notes of one staff in order: call startMeasure at each measure, then show for
// each head.
class MeasureAccidentals {
  public:
    void startMeasure();
    // The accidental to show for a head at `position` altered as given; `tiedOver`: a tie
    // carries the pitch from the note before, which then shows nothing.
    int8_t show(int position, const Alteration& alteration, bool tiedOver);

  private:
    struct Mark {
        int position;
        int alteration;
    };
    std::vector<Mark> m_measure;  // positions altered so far in this measure, last value
    std::vector<Mark> m_previous; // those of the measure before that differ from the key
};

} // namespace tonvela
