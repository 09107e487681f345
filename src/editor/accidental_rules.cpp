#include "editor/accidental_rules.h"

#include "score/note.h"
#include "score/sounding_pitch.h"
#include "score/track.h"

#include <algorithm>

namespace tonvela {

int8_t accidentalOfMarks(int dwFlag)
{
    if (dwFlag & kFlagSharp)
        return kShowSharp;
    if (dwFlag & kFlagFlat)
        return kShowFlat;
    if (dwFlag & kFlagNatural)
        return kShowNatural;
    return kShowNoAccidental;
}

Alteration alterationOf(const Note& note, const Track& track, const KeyAccidentalTable& keys)
{
    const PitchAlteration by = pitchAlteration(note, track, keys);
    Alteration a;
    a.key = by.key;
    a.note = by.sounding;
    return a;
}

void MeasureAccidentals::startMeasure()
{
    m_previous.clear();
    for (const Mark& m : m_measure)
        m_previous.push_back(m);
    m_measure.clear();
}

int8_t MeasureAccidentals::show(int position, const Alteration& a, bool tiedOver)
{
    auto here = std::find_if(m_measure.begin(), m_measure.end(),
                             [position](const Mark& m) { return m.position == position; });
    bool needed;
    if (here != m_measure.end()) {
        needed = a.note != here->alteration;
    } else {
        // The first at its position in the measure: against the key, and a courtesy sign
        // where the measure before left the position altered otherwise.
        const auto before = std::find_if(m_previous.begin(), m_previous.end(),
                                         [position](const Mark& m) { return m.position == position; });
        needed = a.note != a.key || (before != m_previous.end() && before->alteration != a.note);
    }
    if (tiedOver)
        needed = false;
    if (here != m_measure.end())
        here->alteration = a.note;
    else
        m_measure.push_back({position, a.note});
    if (!needed)
        return kShowNoAccidental;
    return a.note > 0 ? kShowSharp : a.note < 0 ? kShowFlat : kShowNatural;
}

} // namespace tonvela
