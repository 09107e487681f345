#include "editor/voice_layout.h"

#include "score/measure_division.h"
#include "score/note.h"
#include "score/track.h"
#include "score/voices.h"

#include <algorithm>
#include <cmath>

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

namespace {

// The room after a column that lasts `ticks` until the next one, relative to a quarter: about 1.4
// times as much for each doubling of the time, as engravers space.
double roomFor(Ticks ticks)
{
    return std::pow(static_cast<double>(std::max<Ticks>(ticks, 1)) / static_cast<double>(kQuarterTicks),
                    0.485);
}

// The columns of one measure on one row: each start time with the roots that start then.
struct Column {
    Ticks at = 0;
    int x = 0;
    std::vector<int> roots;
};

// Spaces the columns of a measure of two voices by time. Layout gave every root a slot of its
// own one after the other, so a long note of one voice that joins a column of the other left
// its slot empty after that column (four quarters over a whole note stood with a gap after the
// first). The first and last columns stay where they are; those between follow the time from
// one column to the next.
void spaceByTime(std::vector<Column>& columns, std::vector<NoteLayout>& notes)
{
    if (columns.size() < 3)
        return;
    const int left = columns.front().x;
    const int right = columns.back().x;
    if (right <= left)
        return;
    std::vector<double> room(columns.size(), 0.0);
    double total = 0;
    for (std::size_t c = 0; c + 1 < columns.size(); ++c) {
        total += roomFor(columns[c + 1].at - columns[c].at);
        room[c + 1] = total;
    }
    for (std::size_t c = 1; c + 1 < columns.size(); ++c) {
        const int x = left + static_cast<int>(std::lround(room[c] / total * (right - left)));
        for (const int i : columns[c].roots)
            notes[static_cast<std::size_t>(i)].x = x;
    }
}

} // namespace

void alignVoiceColumns(const Track& track, const VoicePlan& plan, std::vector<NoteLayout>& notes, int from,
                       int laid)
{
    if (!plan.active())
        return;
    laid = std::min(laid, static_cast<int>(notes.size()));
    // The columns of the measure in progress, in time order (the measure's roots lie in it).
    std::vector<Column> columns;
    int measure = -1;
    int row = -1;
    const auto finish = [&] {
        if (plan.twoVoices(measure + 1))
            spaceByTime(columns, notes);
        columns.clear();
    };
    for (int i = std::max(from, 0); i < laid; ++i) {
        NoteLayout& p = notes[static_cast<std::size_t>(i)];
        if (track.rootOf(i, laid) != -1 || p.rowIndex < 0 || !isDurationType(track.noteAt(i).type))
            continue;
        if (p.measureIndex != measure || p.rowIndex != row) {
            finish();
            measure = p.measureIndex;
            row = p.rowIndex;
        }
        const Ticks at = plan.offsetOf(i);
        const auto it =
            std::find_if(columns.begin(), columns.end(), [&](const Column& c) { return c.at == at; });
        if (it != columns.end() && plan.twoVoices(measure + 1)) {
            p.x = it->x;
            it->roots.push_back(i);
        } else if (columns.empty() || at > columns.back().at) {
            columns.push_back({at, p.x, {i}});
        } else {
            // Out of time order (a bar line note or staff break inside the measure counts the
            // time again): the columns so far are spaced and a new run starts here.
            finish();
            columns.push_back({at, p.x, {i}});
        }
    }
    finish();
}

} // namespace tonvela
