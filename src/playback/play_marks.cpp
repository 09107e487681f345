#include "playback/play_marks.h"

#include <algorithm>

namespace tonvela {

void PlayMarks::begin(const SheetDocument* sheet)
{
    m_sheet = sheet;
    clear();
}

void PlayMarks::set(int track, int note, bool on)
{
    if (track < 0 || note < 0)
        return;
    const auto t = static_cast<std::size_t>(track);
    const auto n = static_cast<std::size_t>(note);
    if (!on && (t >= m_marks.size() || n >= m_marks[t].size()))
        return;
    if (t >= m_marks.size())
        m_marks.resize(t + 1);
    if (n >= m_marks[t].size())
        m_marks[t].resize(n + 1, 0);
    m_marks[t][n] = on ? 1 : 0;
}

void PlayMarks::clearTrack(int track)
{
    if (track >= 0 && static_cast<std::size_t>(track) < m_marks.size())
        std::fill(m_marks[static_cast<std::size_t>(track)].begin(),
                  m_marks[static_cast<std::size_t>(track)].end(), 0);
}

void PlayMarks::clear()
{
    for (auto& marks : m_marks)
        std::fill(marks.begin(), marks.end(), 0);
}

bool PlayMarks::sounding(int track, int note) const
{
    if (track < 0 || note < 0 || static_cast<std::size_t>(track) >= m_marks.size())
        return false;
    const auto& marks = m_marks[static_cast<std::size_t>(track)];
    return static_cast<std::size_t>(note) < marks.size() && marks[static_cast<std::size_t>(note)] != 0;
}

bool PlayMarks::any() const
{
    return std::any_of(m_marks.begin(), m_marks.end(), [](const std::vector<uint8_t>& marks) {
        return std::find(marks.begin(), marks.end(), 1) != marks.end();
    });
}

} // namespace tonvela
