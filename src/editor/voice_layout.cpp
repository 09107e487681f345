#include "editor/voice_layout.h"

#include "score/measure_division.h"
#include "score/note.h"
#include "score/track.h"
#include "score/voices.h"

#include <algorithm>

namespace tonvela {

VoicePlan::VoicePlan(const Track& track, const MeasureDivision& measures)
{
    m_active = measures.hasSecondVoice() && measures.noteCount() == track.count;
    if (!m_active)
        return;
    const int n = track.count;
    m_offset = voiceOffsets(track, measures);
    m_voice.resize(static_cast<std::size_t>(n));
    m_measure.resize(static_cast<std::size_t>(n));
    m_twoVoices.assign(static_cast<std::size_t>(measures.measureCount() + 2), 0);
    for (int i = 0; i < n; ++i) {
        const uint8_t v = tonvela::voiceOf(track, i);
        const int m = measures.measureOf(i);
        m_voice[static_cast<std::size_t>(i)] = v;
        m_measure[static_cast<std::size_t>(i)] = m;
        if (v == kVoice2 && m >= 0 && m < static_cast<int>(m_twoVoices.size()))
            m_twoVoices[static_cast<std::size_t>(m)] = 1;
    }
}

uint8_t VoicePlan::voiceOf(int i) const
{
    return m_active && i >= 0 && i < static_cast<int>(m_voice.size()) ? m_voice[static_cast<std::size_t>(i)]
                                                                      : kVoice1;
}

Ticks VoicePlan::offsetOf(int i) const
{
    return m_active && i >= 0 && i < static_cast<int>(m_offset.size()) ? m_offset[static_cast<std::size_t>(i)]
                                                                       : 0;
}

bool VoicePlan::twoVoices(int measure) const
{
    return m_active && measure >= 0 && measure < static_cast<int>(m_twoVoices.size()) &&
           m_twoVoices[static_cast<std::size_t>(measure)] != 0;
}

int VoicePlan::forcedStemDown(int i) const
{
    if (!m_active || i < 0 || i >= static_cast<int>(m_measure.size()) ||
        !twoVoices(m_measure[static_cast<std::size_t>(i)]))
        return -1;
    return voiceOf(i) == kVoice2 ? 1 : 0;
}

int VoicePlan::restShift(int i) const
{
    const int down = forcedStemDown(i);
    if (down < 0)
        return 0;
    return down == 1 ? kStaffSpacing : -kStaffSpacing;
}

void alignVoiceColumns(const Track& track, const VoicePlan& plan, std::vector<NoteLayout>& notes, int from,
                       int laid)
{
    if (!plan.active())
        return;
    laid = std::min(laid, static_cast<int>(notes.size()));
    // The columns of the measure in progress: (offset, x) of each start time met so far.
    std::vector<std::pair<Ticks, int>> columns;
    int measure = -1;
    int row = -1;
    for (int i = std::max(from, 0); i < laid; ++i) {
        NoteLayout& p = notes[static_cast<std::size_t>(i)];
        if (track.rootOf(i, laid) != -1 || p.rowIndex < 0 || !isDurationType(track.noteAt(i).type))
            continue;
        if (p.measureIndex != measure || p.rowIndex != row) {
            columns.clear();
            measure = p.measureIndex;
            row = p.rowIndex;
        }
        const Ticks at = plan.offsetOf(i);
        const auto it =
            std::find_if(columns.begin(), columns.end(), [&](const auto& c) { return c.first == at; });
        if (it != columns.end() && plan.twoVoices(measure + 1))
            p.x = it->second;
        else
            columns.emplace_back(at, p.x);
    }
}

} // namespace tonvela
