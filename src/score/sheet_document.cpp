#include "score/sheet_document.h"

#include "platform/sheet_lock.h"
#include "score/track_type.h"

namespace tonvela {

SheetDocument::SheetDocument()
{
    setTrackCount(2);
}

SheetDocument::~SheetDocument()
{
    SheetLockGuard lock(sheetLock());
    m_tracks.clear();
}

Track* SheetDocument::trackAt(int i)
{
    if (i < 0 || i >= trackCount())
        return nullptr;
    return m_tracks[static_cast<std::size_t>(i)].get();
}

const Track* SheetDocument::trackAt(int i) const
{
    if (i < 0 || i >= trackCount())
        return nullptr;
    return m_tracks[static_cast<std::size_t>(i)].get();
}

void SheetDocument::setTrackCount(int n)
{
    if (n < 1 || n > kMaxTracks)
        return;
    SheetLockGuard lock(sheetLock());
    m_shownTrackCount = n;
    if (m_view)
        m_view->trackCountShown(n);
    while (trackCount() > n)
        m_tracks.pop_back();
    while (trackCount() < n)
        addTrack();
    selectTrack(0);
}

Track& SheetDocument::addTrack()
{
    SheetLockGuard lock(sheetLock());
    auto track = std::make_unique<Track>();
    track->channel = trackCount();
    track->timeSig = timesig;
    m_tracks.push_back(std::move(track));
    return *m_tracks.back();
}

void SheetDocument::removeAllTracks()
{
    SheetLockGuard lock(sheetLock());
    while (!m_tracks.empty())
        m_tracks.pop_back();
}

void SheetDocument::setTimeSignature(int panelEntry)
{
    setTimeSignatureCode(timeSignatureOfPanelEntry(panelEntry));
}

void SheetDocument::setTimeSignatureCode(int code)
{
    {
        // Playback reads the tracks' time signatures to divide them into measures.
        SheetLockGuard lock(sheetLock());
        timesig = code;
        for (auto& t : m_tracks)
            t->timeSig = code;
    }
    requestRelayout();
}

void SheetDocument::setTrackType(int trackIndex, int entry)
{
    Track* t = trackAt(trackIndex);
    if (t && tonvela::setTrackType(*t, entry))
        requestRelayout();
}

int SheetDocument::indexOf(const Track& track) const
{
    for (int i = 0; i < trackCount(); ++i)
        if (m_tracks[static_cast<std::size_t>(i)].get() == &track)
            return i;
    return -1;
}

void SheetDocument::markModified()
{
    modified = 1;
    refreshWindowText();
}

void SheetDocument::setPathAndCaption(const std::string& newCaption, const std::string& newPath)
{
    caption = newCaption;
    path = newPath;
    modified = 0;
    refreshWindowText();
}

std::string SheetDocument::windowText() const
{
    return modified ? caption + "*" : caption;
}

void SheetDocument::refreshWindowText()
{
    if (m_view)
        m_view->windowTextChanged(windowText());
}

void SheetDocument::snapshot(SnapshotKind /*kind*/, int /*trackIndex*/)
{
    SheetLockGuard lock(sheetLock());
    markModified();
    for (auto& t : m_tracks) {
        t->snapshot();
        for (int i = 0; i < t->count; ++i)
            t->noteAt(i).fresh = 0;
    }
}

void SheetDocument::undo()
{
    {
        SheetLockGuard lock(sheetLock());
        for (auto& t : m_tracks)
            t->undo();
    }
    requestRelayout();
}

void SheetDocument::redo()
{
    {
        SheetLockGuard lock(sheetLock());
        for (auto& t : m_tracks)
            t->redo();
    }
    requestRelayout();
}

bool SheetDocument::canUndo() const
{
    for (const auto& t : m_tracks)
        if (t->canUndo())
            return true;
    return false;
}

bool SheetDocument::canRedo() const
{
    for (const auto& t : m_tracks)
        if (t->canRedo())
            return true;
    return false;
}

void SheetDocument::applyToSelected(int volume, int pan, int loopTo, int loopCount, int velocity,
                                    double legatoBeats)
{
    SheetLockGuard lock(sheetLock()); // one change of every track, not one per track
    for (auto& t : m_tracks)
        t->applyToSelected(volume, pan, loopTo, loopCount, velocity, legatoBeats);
}

double SheetDocument::selectedBeats() const
{
    long long ms = 0;
    for (const auto& t : m_tracks)
        for (int i = 0; i < t->count; ++i) {
            const Note& n = t->noteAt(i);
            if (n.selected && n.chordparent == -1)
                ms += n.lengthMs120();
        }
    return static_cast<double>(ms) * 0.002;
}

void SheetDocument::selectTrack(int index)
{
    selectedTrack = index;
    if (m_view)
        m_view->trackSelected(index);
}

void SheetDocument::requestRelayout()
{
    if (m_view)
        m_view->relayout();
}

void SheetDocument::showTimeSignature()
{
    if (m_view)
        m_view->timeSignatureShown(timesig);
}

} // namespace tonvela
