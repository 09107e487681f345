#include "score/measure_division.h"

#include "score/duration.h"
#include "score/time_signature.h"
#include "score/track.h"

#include <algorithm>

namespace tonvela {

void MeasureDivision::divide(const Track& track)
{
    const int n = std::max(track.count, 0);
    // The vectors keep their capacity from one division to the next, so dividing again after
    // an edit allocates nothing.
    m_measureOf.resize(static_cast<std::size_t>(n));
    m_ordinal.resize(static_cast<std::size_t>(n));
    m_firstNote.clear();
    m_secondVoice = false;
    if (n == 0)
        return;
    const Ticks fullMeasure = measureTicksOf(track.timeSig);
    // A pickup is the first measure, shorter than the rest.
    const Ticks pickup = validPickup(track.pickupTicks, track.timeSig);
    Ticks measureLength = pickup > 0 ? pickup : fullMeasure;
    m_firstNote.push_back(0);
    Ticks sum = 0;
    int rootsInMeasure = 0;
    int ordinal = 0;
    auto open = [&](int i) {
        m_firstNote.push_back(i);
        sum = 0;
        rootsInMeasure = 0;
        measureLength = fullMeasure;
    };
    // The notes lie one after another in the track's array (count never exceeds capacity).
    const Note* notes = &track.noteAt(0);
    for (int i = 0; i < n; ++i) {
        const Note& note = notes[i];
        const bool anyRoot = track.rootOf(i) == -1;
        // A voice 2 root keeps its own time and lies in the measure voice 1 makes (voices.h).
        const bool second = anyRoot && note.inVoice2() && isDurationType(note.type);
        m_secondVoice = m_secondVoice || second;
        const bool root = anyRoot && !second;
        const bool isBreak = note.type == kTypeStaffBreak;
        // A full measure closes before the next root; before a staff break only when it holds
        // notes.
        if (sum >= measureLength && ((root && !isBreak) || (isBreak && rootsInMeasure > 0)))
            open(i);
        if (note.type == kTypeBar || isBreak)
            sum = 0;
        else if (root)
            sum += lengthTicks(note);
        m_measureOf[static_cast<std::size_t>(i)] = static_cast<int32_t>(m_firstNote.size());
        m_ordinal[static_cast<std::size_t>(i)] = ordinal;
        if (anyRoot)
            ++ordinal;
        if (root && !isBreak)
            ++rootsInMeasure;
    }
}

int MeasureDivision::firstNote(int measure) const
{
    if (measure < 1 || measure > measureCount())
        return -1;
    return m_firstNote[static_cast<std::size_t>(measure - 1)];
}

int MeasureDivision::rootOrdinal(int noteIndex) const
{
    if (noteIndex < 0 || noteIndex >= noteCount())
        return 0;
    return m_ordinal[static_cast<std::size_t>(noteIndex)];
}

void MeasureRepeatMarks::set(int measure, bool repeated)
{
    if (measure < 1)
        return;
    const auto it = std::lower_bound(m_measures.begin(), m_measures.end(), measure);
    const bool present = it != m_measures.end() && *it == measure;
    if (repeated && !present)
        m_measures.insert(it, measure);
    else if (!repeated && present)
        m_measures.erase(it);
}

void MeasureRepeatMarks::assign(std::vector<int> measures)
{
    std::erase_if(measures, [](int m) { return m < 1; });
    std::sort(measures.begin(), measures.end());
    measures.erase(std::unique(measures.begin(), measures.end()), measures.end());
    m_measures = std::move(measures);
}

bool MeasureRepeatMarks::contains(int measure) const
{
    return std::binary_search(m_measures.begin(), m_measures.end(), measure);
}

} // namespace tonvela
