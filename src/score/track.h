#pragma once

#include "score/note.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tonvela {

class SheetDocument;
class MarkupElement;

// Staff kinds (`drawmode`).
inline constexpr int kDrawGClef = 0;
inline constexpr int kDrawTablature = 1;
inline constexpr int kDrawFClef = 2;
inline constexpr int kDrawG2Clef = 3;
inline constexpr int kDrawFifthKind = 4;

// Time signature codes, as files and the panel's "Time Sig:" list use them.
inline constexpr int kTimeSig24 = 391547;
inline constexpr int kTimeSig34 = 391548;
inline constexpr int kTimeSig44 = 391549;
inline constexpr int kTimeSig54 = 391550;
inline constexpr int kTimeSig68 = 391551;
inline constexpr int kTimeSig64 = 391552;
inline constexpr int kTimeSig74 = 391553;
inline constexpr int kTimeSig84 = 391554;
inline constexpr int kTimeSig94 = 391555;
inline constexpr int kTimeSigSingleGlyph = 391556;
inline constexpr int kTimeSig38 = 391557;
inline constexpr int kTimeSig58 = 391558;
inline constexpr int kTimeSig78 = 391559;
inline constexpr int kTimeSig98 = 391560;

struct TimeSignatureInfo {
    int code;
    const char* text; // "2/4", ..., "single" for the one-glyph signature
    int beatsPerMeasure;
    double measureLength; // in whole notes
    int panelEntry;       // entry of the "Time Sig:" list that shows it (0 when it has none)
};
// The row of a code; codes outside the table behave as 4/4.
const TimeSignatureInfo& timeSignatureInfo(int code);
// The code of a "Time Sig:" list entry; any other entry gives 4/4.
int timeSignatureOfPanelEntry(int entry);
// "3/4", "4/4", ...: the texts of the "Time Sig:" list, in order.
const std::vector<std::string>& timeSignaturePanelTexts();

// Milliseconds or ticks at 120 bpm are divided by this to get them at `tempo`: tempo times 1/120
// taken as a single-precision number, as the timing tables were first computed. Playback, play
// time and the MIDI writer all scale with it, so they agree to the millisecond.
inline double tempoFactor(int tempo)
{
    return static_cast<double>(tempo < 1 ? 1 : tempo) * static_cast<double>(0.008333334f);
}

// "mm:ss" as the time displays show it: "%2d:%2d" with blanks written as 0 (75 s is "01:15");
// negative times show as 00:00.
std::string formatPlayTime(long long ms);

inline constexpr int kMeasureCount = 384;
inline constexpr int kUndoSlots = 64;
inline constexpr int kInitialNoteCapacity = 64;
inline constexpr int kTrackNameCapacity = 64;
// Walks over a track (play time, export, layout) stop after this many steps, so loops with
// absurd counts cannot make them run without bound.
inline constexpr long long kMaxWalkSteps = 4'000'000;

// One measure as the layout pass leaves it (numbered from 1).
struct MeasureRecord {
    int32_t spare = 0;
    uint8_t barHover = 0;
    uint8_t display[5] = {};
    uint8_t startsRow = 0;
    uint8_t lastOnRow = 0;
    uint8_t spareFlag = 1;
    int32_t spareIndex = -1;
    StaffRow* row = nullptr;
    float scaleFactor = 1.0f;
    int32_t rootCount = 0;
    float scaleFactor2 = 1.0f;
    int32_t x = 0;
    int32_t spare2 = 0;
    int32_t firstNote = -1;
    int32_t barTop = 0;
    int32_t barBottom = 0;
    // Measure repeats: a marked measure plays twice on the first pass through the sheet.
    uint8_t repeat = 0;
    int32_t passCount = 0;
};

// A recorded MIDI event of an imported track (or one added by an insert), in ticks of the
// track's division.
struct RecordedEvent {
    uint8_t kind = 0; // 0 note on, 1 note off
    int32_t tick = 0;
    int32_t noteIndex = 0;
    uint8_t pitch = 0;
    uint8_t velocity = 0;
    uint8_t pan = 63;
    uint8_t program = 0;
    uint8_t sounding = 0;
    uint8_t spare = 0;
};

// A tempo of the MIDI file a track was imported from: from `tick` on (in ticks of the track's
// division) a quarter note lasts `usPerQuarter` microseconds.
struct TempoChange {
    int32_t tick = 0;
    int32_t usPerQuarter = 500000;
};

// Undo storage of one note: its content, without layout and playback caches (those are
// recomputed by the relayout that follows every undo). Chord member lists are derived and
// rebuilt after a restore.
struct NoteContent;
using NoteChunk = std::vector<NoteContent>;

// A track's notes at one moment. Stored as shared runs of notes, so snapshots of an unchanged
// stretch of a track share the same memory; that keeps a full ring of 64 snapshots of a large
// sheet within a few megabytes.
struct TrackSnapshot {
    std::vector<std::shared_ptr<const NoteChunk>> chunks;
    int count = 0;
};

// One staff of a sheet: configuration, notes in staff order, measure records, recorded
// events and a ring of 64 undo snapshots.
//
// Thread rules: owned by the user-interface thread. insertNote and undo take the sheet lock,
// so the painter thread never sees a half-moved array; other edits run without it.
class Track {
  public:
    Track();
    ~Track();
    Track(const Track&) = delete;
    Track& operator=(const Track&) = delete;

    // Configuration.
    int devid = 0;
    int iid = 0;
    int groupid = 0;
    int drumKey = 0;
    int channel = 0;
    int tempo = 120;
    int keyindex = 7;
    char key = 'C';
    int scaleKind = 0;
    uint8_t flatKey = 0;
    uint8_t percussive = 0;
    uint8_t drawmode = kDrawGClef;
    int bpm = 120;

    SheetDocument* owner = nullptr;
    int count = 0;
    int timeSig = kTimeSig44;
    std::array<MeasureRecord, kMeasureCount + 1> measures{}; // index 0 unused
    int measuresInUse = 0;
    std::string name;
    int division = 96;
    std::vector<RecordedEvent> events;
    // The imported file's tempo changes, by tick: the recorded events play in the file's own
    // time. Empty for a track that was not imported; its events play at `tempo`.
    std::vector<TempoChange> tempoMap;
    uint8_t eventsStale = 0;
    uint8_t freshTrack = 1;
    // Values the MIDI reader keeps from the file.
    int fileChannel = 0;
    int volume = 127;
    int pan = 64;
    int banknum = 0;
    bool bankFlag121 = false;

    // Note i, growing the array first when i >= capacity - 32. A negative index gives note 0.
    Note& noteAt(int i);
    const Note& noteAt(int i) const;
    int capacity() const { return static_cast<int>(m_notes.size()); }
    int highWater() const { return m_highWater; }

    void insertNote(const Note& note, int index);
    void removeNote(int index);
    int nextRoot(int i) const;
    void rebuildChordLists();
    // Makes chord links read from a file safe: a member must point at another note of the
    // track that is a root, and no root keeps more than 32 members; anything else becomes a
    // lone note. Loops that point outside the track or count below zero are turned off.
    void sanitizeLinks();
    void deselectAll();
    void resetLayoutFlags();
    void applyToSelected(int volume, int pan, int loopTo, int loopCount, int velocity, double legatoBeats);

    int keyAccidental(int staffPosition) const;
    double measureLength() const;
    int beatsPerMeasure() const;
    int msAtTempo(int ms120) const;
    long long totalPlayMs() const;
    std::string playTimeText(int index) const;
    // Longest 120-bpm length of a root and its members.
    int chordLengthMs120(int rootIndex) const;

    void snapshot();
    void undo();
    void redo();
    bool canUndo() const;
    bool canRedo() const;
    int undoHead() const { return m_head; }
    int undoTail() const { return m_tail; }
    int undoCurrent() const { return m_current; }

    void setTrackType(int entry);
    bool hoverBarLine(int px, int py);
    void clearBarHover();

    // Sets keyindex, key and the flat-key flag from a row of the key table.
    void setKeyIndex(int index);

    void writeElement(std::string& out) const;
    // Returns how many notes were dropped because the track was full.
    int readElement(const MarkupElement& element);

    // The largest number of notes a track takes from a file.
    static constexpr int kMaxNotes = 32000;

  private:
    void ensureCapacity(int i);
    void restore(const TrackSnapshot& snap);
    void convertNotes(int lineShift, int midiShift);

    std::vector<Note> m_notes;
    int m_highWater = 0;
    std::array<std::optional<TrackSnapshot>, kUndoSlots> m_ring;
    int m_head = 0;
    int m_tail = 0;
    int m_current = -1;
};

} // namespace tonvela
