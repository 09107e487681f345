#pragma once

#include "score/sheet_history.h"
#include "score/track.h"

#include <memory>
#include <string>
#include <vector>

namespace tonvela {

inline constexpr int kMaxTracks = 15;
inline constexpr float kDefaultZoom = 0.9f;
// The zoom range the window allows and a sheet file keeps. Drawing refuses larger factors:
// device coordinates must stay far inside int range.
inline constexpr float kMinZoom = 0.4f;
inline constexpr float kMaxZoom = 10.0f;

// What the sheet tells the window that shows it. The editor window implements it; the core
// and the tests work without one.
class SheetView {
  public:
    virtual ~SheetView() = default;
    // Lay the sheet out again and repaint it.
    virtual void relayout() {}
    // Caption, followed by "*" while modified.
    virtual void windowTextChanged(const std::string& /*text*/) {}
    // The sheet panel's "Number Tracks:" field.
    virtual void trackCountShown(int /*count*/) {}
    // The sheet panel's "Time Sig:" list.
    virtual void timeSignatureShown(int /*code*/) {}
    // The track the sheet panel and the editor now act on.
    virtual void trackSelected(int /*index*/) {}
};

// The texts a score carries on paper. Each is kept in the sheet file only when set, so a sheet
// without them saves as it always did.
struct SheetTexts {
    std::string title;
    std::string subtitle;
    std::string composer;
    std::string lyricist;
    std::string copyright;
    bool operator==(const SheetTexts&) const = default;
};

// Kinds of undo snapshot, as the editing commands pass them.
// TrackCount is the "Number Tracks:" field; like every snapshot it keeps the track count, so
// its undo brings removed tracks back with their notes. TrackType is a change of a track's
// staff kind; every snapshot keeps the staff kind with the notes.
enum class SnapshotKind {
    SelectedChange = 2,
    Delete = 3,
    Insert = 4,
    Lyric = 5,
    Clear = 6,
    TrackCount = 7,
    TrackType = 8
};

// One open score: tracks top to bottom plus sheet-wide settings, the file it belongs to and
// whether it has unsaved changes.
//
// Thread rules: owned by the user-interface thread. Every change of the tracks (setTrackCount,
// addTrack, the time signature, a change of staff kind, applyToSelected, snapshot, undo, redo
// and whole loads) takes the sheet lock, so the painter and playback threads never see a
// half-built sheet. An edit made of several of these holds the lock around all of them.
class SheetDocument {
  public:
    SheetDocument();
    ~SheetDocument();
    SheetDocument(const SheetDocument&) = delete;
    SheetDocument& operator=(const SheetDocument&) = delete;

    // Document fields shared with the chord document. The path is kept whole; a window may
    // shorten the caption for display.
    std::string caption;
    std::string path;
    uint8_t modified = 0;

    float zoomamount = kDefaultZoom;
    int timesig = kTimeSig44;
    SheetTexts texts;
    int measuresPerRow = 3;
    int measureWidth = 200;
    int selectedTrack = 0;

    int trackCount() const { return static_cast<int>(m_tracks.size()); }
    // The number the "Number Tracks:" field shows (not updated by loads of 16 or more tracks).
    int shownTrackCount() const { return m_shownTrackCount; }
    Track* trackAt(int i);
    const Track* trackAt(int i) const;

    // Adds empty tracks or removes tracks at the end. A removed track that the undo history
    // holds is kept out of the sheet, so that undo brings it back with its notes.
    void setTrackCount(int n);
    Track& addTrack();
    // Removes every track and forgets the undo history (a load starts afresh).
    void removeAllTracks();
    // The position of a track in this sheet, or -1 when the sheet does not hold it.
    int indexOf(const Track& track) const;

    // From a "Time Sig:" list entry; sets the code of every track, then relayout.
    void setTimeSignature(int panelEntry);
    // The same from a code (files and MIDI import).
    void setTimeSignatureCode(int code);

    // Changes a track's staff kind from a "Track Type:" list entry (score/track_type.h), then
    // lays the sheet out again. Does not mark the sheet modified.
    void setTrackType(int trackIndex, int entry);

    // Every change marks the sheet modified and makes it a new state.
    void markModified();
    // The present state is the saved one: clears the modified mark. Undo and redo mark the
    // sheet modified again unless they return to exactly this state.
    void markUnmodified();
    // After a save or load: the new caption and path, and the present state is the saved one.
    void setPathAndCaption(const std::string& newCaption, const std::string& newPath);
    // The caption, followed by "*" while modified.
    std::string windowText() const;
    // Tells the window the current window text (after caption or path changed directly).
    void refreshWindowText();

    // Every edit calls this before changing notes: marks the sheet modified and snapshots
    // every track and which tracks the sheet holds, whatever kind and track the caller names.
    void snapshot(SnapshotKind kind = SnapshotKind::Insert, int trackIndex = 0);
    // Both return to the notes and the tracks of that moment; the sheet is modified
    // afterwards unless that moment is the saved state.
    void undo();
    void redo();
    bool canUndo() const;
    bool canRedo() const;

    void applyToSelected(int volume, int pan, int loopTo, int loopCount, int velocity, double legatoBeats);
    double selectedBeats() const;

    void selectTrack(int index);
    void setView(SheetView* view) { m_view = view; }
    SheetView* view() const { return m_view; }
    void requestRelayout();
    void showTimeSignature();

  private:
    SheetState presentState() const;
    // Every track the history can bring back, in the sheet or out of it.
    template <class F> void forEveryTrack(F&& f);
    // Puts exactly the tracks of `state` into the sheet, in its order, and takes its state
    // number (and with it the modified mark).
    void enterState(const SheetState& state);
    // Frees the tracks out of the sheet that no kept state holds any more.
    void dropForgottenTracks();

    std::vector<std::unique_ptr<Track>> m_tracks;
    // Tracks removed from the sheet that the undo history still holds.
    std::vector<std::unique_ptr<Track>> m_outside;
    SheetHistory m_history;
    uint64_t m_stateId = 0;
    uint64_t m_savedStateId = 0;
    uint64_t m_lastStateId = 0;
    int m_shownTrackCount = 2;
    SheetView* m_view = nullptr;
};

} // namespace tonvela
