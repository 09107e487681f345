#pragma once

#include "score/guitar_tuning.h"
#include "score/measure_division.h"
#include "score/note.h"
#include "score/repeat_range.h"
#include "score/time_signature.h"
#include "score/undo_ring.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tonvela {

inline constexpr int kInitialNoteCapacity = 64;
inline constexpr int kTrackNameCapacity = 64;

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

// One staff of a sheet: its configuration, its notes in staff order with the chord links
// between them, their division into measures and the measures marked to repeat, its recorded
// events and its undo ring.
//
// What else a track has lives beside it: the time signature table (time_signature.h), play
// time (play_time.h), key accidentals and sounding pitches (sounding_pitch.h), the change of
// staff kind (staff_kind.h, track_type.h) and the <track> element (track_element.h).
//
// Thread rules: owned by the user-interface thread. A track takes no lock itself: whatever edits
// the notes of a sheet other threads may read (insert, remove, undo, redo, applyToSelected, a
// growth of the array, a change of staff kind or key) holds the sheet lock around the whole
// edit, so the painter and playback threads never see a half-changed array.
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
    uint8_t drawmode = staffKindInfo(StaffKind::GClef).drawmode; // with `percussive`, the staff kind
    // The track and the next one are the two staves of one piano part: a brace joins them at
    // the left of each system. Saved as the <config> attribute brace=1 only when set.
    uint8_t braceWithNext = 0;
    int bpm = 120;
    // The strings and capo a tablature is played with (guitar_tuning.h). Saved in the <config>
    // element only when it is not standard tuning without a capo; kept for other staff kinds,
    // so a track changed to a clef and back keeps its tuning.
    GuitarTuning tuning;

    int count = 0;
    int timeSig = kTimeSig44;
    // The length of a pickup (anacrusis) that opens the piece, in score ticks: the first measure
    // closes after this much instead of a whole measure. 0 for none; a copy of the sheet's.
    int64_t pickupTicks = 0;
    // The measures that play twice, by measure number (from 1). Saved in the <config> element;
    // the undo ring keeps them with the notes.
    MeasureRepeatMarks measureRepeats;
    // The sheet's repeated passages (repeat_range.h), a copy of the sheet's as the pickup is:
    // each walk of the track unfolds them.
    std::vector<RepeatRange> repeatRanges;
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
    // The root note i belongs to among the first `limit` notes (all notes when limit is -1), or
    // -1 when it is a root itself. A link that points nowhere useful (out of range, at itself,
    // at another member) makes the note a root of its own, so no walk can follow it anywhere
    // unsafe.
    int rootOf(int i, int limit = -1) const;
    void rebuildChordLists();
    // Makes chord links read from a file safe: a member must point at another note of the
    // track that is a root, and no root keeps more than 32 members; anything else becomes a
    // lone note. Loops that point outside the track or count below zero are turned off.
    void sanitizeLinks();
    void deselectAll();
    void applyToSelected(int volume, int pan, int loopTo, int loopCount, int velocity, double legatoBeats);

    // The division of the notes into measures (measure_division.h) as last computed.
    // divideIntoMeasures computes it again from the notes and the time signature; playback does
    // so when it starts, under the sheet lock. Layout keeps a division of its own.
    const MeasureDivision& measureDivision() const { return m_division; }
    void divideIntoMeasures() { m_division.divide(*this); }

    // Sets keyindex, key and the flat-key flag from a row of the key table.
    void setKeyIndex(int index);

    // The undo ring over the notes (undo_ring.h).
    void snapshot();
    void undo();
    void redo();
    bool canUndo() const { return m_undo.canUndo(); }
    bool canRedo() const { return m_undo.canRedo(); }
    const UndoRing& undoRing() const { return m_undo; }
    // Lines the ring up with the rings of a sheet's other tracks (UndoRing::joinAt).
    void joinUndoHistory(int head, int tail, int current) { m_undo.joinAt(head, tail, current); }

    // The largest number of notes a track takes from a file.
    static constexpr int kMaxNotes = 32000;

  private:
    void ensureCapacity(int i);
    // Reads outside the array: note 0 for a negative index, a default note past the capacity.
    const Note& noteOutside(int i) const;
    // noteAt for an index that may grow the array or raise the high-water mark.
    Note& noteAtGrowing(int i);

    std::vector<Note> m_notes;
    int m_highWater = 0;
    UndoRing m_undo;
    MeasureDivision m_division;
};

// Inline: every walk over the notes reads them through these. An index below the high-water
// mark and the growth threshold needs neither growth nor bookkeeping.
inline Note& Track::noteAt(int i)
{
    if (i >= 0 && i < m_highWater && i < capacity() - 32)
        return m_notes[static_cast<std::size_t>(i)];
    return noteAtGrowing(i);
}

inline const Note& Track::noteAt(int i) const
{
    if (i >= 0 && i < capacity())
        return m_notes[static_cast<std::size_t>(i)];
    return noteOutside(i);
}

// Inline: layout and the measure division ask this for every note.
inline int Track::rootOf(int i, int limit) const
{
    const int n = limit < 0 || limit > count ? count : limit;
    if (i < 0 || i >= n)
        return -1;
    const int p = m_notes[static_cast<std::size_t>(i)].chordparent;
    if (p < 0 || p >= n || p == i || m_notes[static_cast<std::size_t>(p)].chordparent != -1)
        return -1;
    return p;
}

} // namespace tonvela
