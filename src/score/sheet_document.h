#pragma once

#include "score/page_setup.h"
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

// What changed in a sheet, as its observers are told.
enum class SheetChange {
    Notes,         // notes of `track` (-1: of any track) from measure `fromMeasure` on
    TrackCount,    // tracks were added or removed
    TrackSettings, // settings of `track` (-1: of any track): staff kind, key, tempo, instrument
    TimeSignature, // the sheet's time signature, and with it every track's
    Caption,       // the caption, the path or the modified mark: the window text
    Load,          // the whole sheet was read from a file or an import
    Selection,     // the selected track
};

struct SheetChangeEvent {
    SheetChange kind = SheetChange::Notes;
    int track = -1;
    int fromMeasure = 1;
};

// Something that shows or keeps a sheet and follows its changes: the window that lays it out
// and draws it, the panels, the autosave. Told on the user-interface thread, at once, with
// whatever lock the changing code holds.
class SheetObserver {
  public:
    virtual ~SheetObserver() = default;
    virtual void sheetChanged(const SheetChangeEvent& change) = 0;
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
// It knows nothing of the windows that show it: it tells its observers what changed, and code
// that changes notes or settings directly (the editor, chord entry, the loaders) tells them
// through announce.
//
// Thread rules: owned by the user-interface thread. It takes no lock itself: whatever changes
// a sheet other threads may read (the painter, playback) holds the sheet lock around the whole
// change, one level up (SheetEditor::edit, the loaders), so those threads never see a
// half-built sheet.
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
    // The pickup that opens the piece, in score ticks (0 for none); every track keeps a copy.
    int64_t pickup = 0;
    // The repeated passages of the whole system (repeat_range.h), sorted and apart; every track
    // keeps a copy. Changed through setRepeatRanges.
    std::vector<RepeatRange> repeatRanges;
    // Chord symbols show their guitar diagrams above them (View > Chord Diagrams); kept in the
    // file only when on.
    bool chordDiagrams = false;
    SheetTexts texts;
    // How the sheet prints: staff size, paper, orientation, margins.
    PageSetup pageSetup;
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
    // Removes every track and the repeated passages and forgets the undo history (a load starts
    // afresh).
    void removeAllTracks();
    // The position of a track in this sheet, or -1 when the sheet does not hold it.
    int indexOf(const Track& track) const;

    // From a "Time Sig:" list entry; sets the code of every track.
    void setTimeSignature(int panelEntry);
    // The same from a code (files and MIDI import).
    void setTimeSignatureCode(int code);
    // Sets the pickup of the sheet and every track: a length shorter than a measure, else none.
    void setPickup(int64_t ticks);
    // Sets the repeated passages of the sheet and every track, normalized (repeat_range.h).
    void setRepeatRanges(const std::vector<RepeatRange>& ranges);

    // Changes a track's staff kind from a "Track Type:" list entry (score/track_type.h). Does
    // not mark the sheet modified.
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
    // Tells the observers that the caption, the path or the mark changed (after they were
    // changed directly).
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

    // Observers are told of every change until they are removed; an observer removes itself
    // before it goes.
    void addObserver(SheetObserver* observer);
    void removeObserver(SheetObserver* observer);
    // Tells every observer of a change.
    void announce(const SheetChangeEvent& change);
    // Notes of `track` (-1: of any track) changed from measure `fromMeasure` on.
    void notesChanged(int track = -1, int fromMeasure = 1)
    {
        announce({SheetChange::Notes, track, fromMeasure});
    }

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
    std::vector<SheetObserver*> m_observers;
};

} // namespace tonvela
