#include "score/sheet_document.h"

#include "score/duration.h"
#include "score/track_type.h"

#include <algorithm>

namespace tonvela {

SheetDocument::SheetDocument()
{
    setTrackCount(2);
}

SheetDocument::~SheetDocument() = default;

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
    m_shownTrackCount = n;
    while (trackCount() > n) {
        m_outside.push_back(std::move(m_tracks.back()));
        m_tracks.pop_back();
    }
    dropForgottenTracks();
    while (trackCount() < n)
        addTrack();
    selectTrack(0);
    announce({SheetChange::TrackCount});
}

Track& SheetDocument::addTrack()
{
    auto track = std::make_unique<Track>();
    track->channel = trackCount();
    track->timeSig = timesig;
    track->pickupTicks = pickup;
    track->repeatRanges = repeatRanges;
    // A new track plays at the sheet's tempo, which the tracks share (the first one's).
    if (!m_tracks.empty())
        track->tempo = m_tracks.front()->tempo;
    // Its ring steps with the others from here on; undo before this moment leaves it alone.
    track->joinUndoHistory(m_history.head(), m_history.tail(), m_history.current());
    m_tracks.push_back(std::move(track));
    return *m_tracks.back();
}

void SheetDocument::removeAllTracks()
{
    while (!m_tracks.empty())
        m_tracks.pop_back();
    m_outside.clear();
    m_history.clear();
    repeatRanges.clear();
}

void SheetDocument::setTimeSignature(int panelEntry)
{
    setTimeSignatureCode(timeSignatureOfPanelEntry(panelEntry));
}

void SheetDocument::setTimeSignatureCode(int code)
{
    timesig = code;
    // A pickup as long as the new measure or longer is no pickup.
    pickup = validPickup(pickup, code);
    for (auto& t : m_tracks) {
        t->timeSig = code;
        t->pickupTicks = pickup;
    }
    announce({SheetChange::TimeSignature});
}

void SheetDocument::setPickup(int64_t ticks)
{
    pickup = validPickup(ticks, timesig);
    for (auto& t : m_tracks)
        t->pickupTicks = pickup;
    announce({SheetChange::TimeSignature});
}

void SheetDocument::setRepeatRanges(const std::vector<RepeatRange>& ranges)
{
    repeatRanges = normalizedRepeatRanges(ranges);
    for (auto& t : m_tracks)
        t->repeatRanges = repeatRanges;
}

void SheetDocument::setTrackType(int trackIndex, int entry)
{
    Track* t = trackAt(trackIndex);
    if (t && tonvela::setTrackType(*t, entry))
        announce({SheetChange::TrackSettings, trackIndex});
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
    m_stateId = ++m_lastStateId;
    refreshWindowText();
}

void SheetDocument::markUnmodified()
{
    modified = 0;
    m_savedStateId = m_stateId;
    refreshWindowText();
}

void SheetDocument::setPathAndCaption(const std::string& newCaption, const std::string& newPath)
{
    caption = newCaption;
    path = newPath;
    markUnmodified();
}

std::string SheetDocument::windowText() const
{
    return modified ? caption + "*" : caption;
}

void SheetDocument::refreshWindowText()
{
    announce({SheetChange::Caption});
}

SheetState SheetDocument::presentState() const
{
    SheetState state;
    state.id = m_stateId;
    state.timesig = timesig;
    state.pickup = pickup;
    state.repeatRanges = repeatRanges;
    for (const auto& t : m_tracks)
        state.tracks.push_back(t.get());
    return state;
}

template <class F> void SheetDocument::forEveryTrack(F&& f)
{
    for (auto& t : m_tracks)
        f(*t);
    for (auto& t : m_outside)
        f(*t);
}

void SheetDocument::dropForgottenTracks()
{
    std::erase_if(m_outside, [this](const std::unique_ptr<Track>& t) { return !m_history.holds(t.get()); });
}

void SheetDocument::snapshot(SnapshotKind /*kind*/, int /*trackIndex*/)
{
    m_history.record(presentState());
    markModified();
    // Tracks out of the sheet step too, so that every ring stays in line with the history.
    forEveryTrack([](Track& t) { t.snapshot(); });
    for (auto& t : m_tracks)
        for (int i = 0; i < t->count; ++i)
            t->noteAt(i).fresh = 0;
    dropForgottenTracks();
}

void SheetDocument::enterState(const SheetState& state)
{
    if (state.tracks.empty()) {
        // No sheet is left without tracks by its history; such a slot keeps the tracks.
        m_stateId = state.id;
        modified = m_stateId == m_savedStateId ? 0 : 1;
        refreshWindowText();
        return;
    }
    std::vector<std::unique_ptr<Track>> all;
    for (auto& t : m_tracks)
        all.push_back(std::move(t));
    for (auto& t : m_outside)
        all.push_back(std::move(t));
    m_tracks.clear();
    m_outside.clear();
    for (const Track* wanted : state.tracks) {
        const auto it = std::find_if(all.begin(), all.end(),
                                     [wanted](const std::unique_ptr<Track>& t) { return t.get() == wanted; });
        if (it != all.end() && *it)
            m_tracks.push_back(std::move(*it));
    }
    for (auto& t : all)
        if (t)
            m_outside.push_back(std::move(t));
    dropForgottenTracks();
    if (m_shownTrackCount != trackCount()) {
        m_shownTrackCount = trackCount();
        announce({SheetChange::TrackCount});
    }
    if (selectedTrack >= trackCount())
        selectTrack(0);
    timesig = state.timesig;
    pickup = state.pickup;
    repeatRanges = state.repeatRanges;
    for (auto& t : m_tracks) {
        t->pickupTicks = pickup;
        t->repeatRanges = repeatRanges;
    }
    m_stateId = state.id;
    modified = m_stateId == m_savedStateId ? 0 : 1;
    refreshWindowText();
}

void SheetDocument::undo()
{
    auto target = m_history.undo(presentState());
    if (!target)
        return;
    forEveryTrack([](Track& t) { t.undo(); });
    enterState(*target);
    notesChanged();
}

void SheetDocument::redo()
{
    auto target = m_history.redo();
    if (!target)
        return;
    forEveryTrack([](Track& t) { t.redo(); });
    enterState(*target);
    notesChanged();
}

bool SheetDocument::canUndo() const
{
    return m_history.canUndo();
}

bool SheetDocument::canRedo() const
{
    return m_history.canRedo();
}

void SheetDocument::applyToSelected(int volume, int pan, int loopTo, int loopCount, int velocity,
                                    double legatoBeats)
{
    for (auto& t : m_tracks)
        t->applyToSelected(volume, pan, loopTo, loopCount, velocity, legatoBeats);
}

double SheetDocument::selectedBeats() const
{
    Ticks ticks = 0;
    for (const auto& t : m_tracks)
        for (int i = 0; i < t->count; ++i) {
            const Note& n = t->noteAt(i);
            if (n.selected && n.chordparent == -1)
                ticks += lengthTicks(n);
        }
    return beatsOf(ticks);
}

void SheetDocument::selectTrack(int index)
{
    selectedTrack = index;
    announce({SheetChange::Selection, index});
}

void SheetDocument::addObserver(SheetObserver* observer)
{
    if (observer && std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void SheetDocument::removeObserver(SheetObserver* observer)
{
    std::erase(m_observers, observer);
}

void SheetDocument::announce(const SheetChangeEvent& change)
{
    // An observer may remove itself or another while it is told: each is told only while it
    // is still registered.
    const std::vector<SheetObserver*> observers = m_observers;
    for (SheetObserver* observer : observers)
        if (std::find(m_observers.begin(), m_observers.end(), observer) != m_observers.end())
            observer->sheetChanged(change);
}

} // namespace tonvela
