#pragma once

#include <vector>

namespace tonvela {

// What the editor tracks per track of its sheet between pointer events. Indices name notes
// of the track's array; -1 is none.
struct TrackEditState {
    int currentNote = -1;    // the note clicked last: the anchor of chord building and the lyric box
    int hoverNote = -1;      // the note under the pointer
    int insertionPoint = -1; // a click inserts before this note (the note count: at the end)
};

// The per-track editing state of one sheet window. Tracks come and go with undo, redo and
// "Number Tracks:", so it grows on demand and every index must be checked against the track's
// note count before use.
class EditState {
  public:
    TrackEditState& track(int t)
    {
        if (t >= static_cast<int>(m_tracks.size()))
            m_tracks.resize(static_cast<std::size_t>(t) + 1);
        return m_tracks[static_cast<std::size_t>(t)];
    }
    // Every track's current note, hover note and insertion point become -1.
    void clear() { m_tracks.assign(m_tracks.size(), TrackEditState{}); }
    // Every track's current note becomes -1, then track t's becomes `note`.
    void setCurrentNote(int t, int note)
    {
        for (TrackEditState& s : m_tracks)
            s.currentNote = -1;
        track(t).currentNote = note;
    }
    // Indices that name no note of a track with `count` notes become -1.
    void dropIndicesBeyond(int t, int count)
    {
        if (t < 0 || t >= static_cast<int>(m_tracks.size()))
            return;
        TrackEditState& s = m_tracks[static_cast<std::size_t>(t)];
        if (s.currentNote >= count)
            s.currentNote = -1;
        if (s.hoverNote >= count)
            s.hoverNote = -1;
        if (s.insertionPoint > count)
            s.insertionPoint = -1;
    }

    // The "Track Type:" entry track t had before tablature was switched on (G clef, entry 0,
    // when none is known). Kept apart from the pointer state, which clear() drops.
    int typeBeforeTablature(int t) const
    {
        return t >= 0 && t < static_cast<int>(m_beforeTablature.size())
                   ? m_beforeTablature[static_cast<std::size_t>(t)]
                   : 0;
    }
    void rememberTypeBeforeTablature(int t, int entry)
    {
        if (t < 0)
            return;
        if (t >= static_cast<int>(m_beforeTablature.size()))
            m_beforeTablature.resize(static_cast<std::size_t>(t) + 1, 0);
        m_beforeTablature[static_cast<std::size_t>(t)] = entry;
    }

  private:
    std::vector<TrackEditState> m_tracks;
    std::vector<int> m_beforeTablature;
};

} // namespace tonvela
