#pragma once

#include "score/staff_kind.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tonvela {

// Type codes: kind and duration of a staff item. The duration codes are also the command
// identifiers of the note tools, so the values are fixed.
inline constexpr int kTypeWhole = 1026;
inline constexpr int kTypeHalf = 1027;
inline constexpr int kTypeQuarter = 1028;
inline constexpr int kTypeEighth = 1029;
inline constexpr int kTypeSixteenth = 1030;
inline constexpr int kTypeThirtySecond = 1031;
inline constexpr int kTypeSharpMark = 1126;
inline constexpr int kTypeFlatMark = 1127;
inline constexpr int kTypeBar = 1129;
inline constexpr int kTypeMark1737 = 1737;
inline constexpr int kTypeStaffBreak = 1738;
inline constexpr int kTypeSpace = 1739;
inline constexpr int kTypeMark1740 = 1740;
inline constexpr int kTypeAudioClip = 1741;
inline constexpr int kTypeMark1742 = 1742;
inline constexpr int kTypeMark1743 = 1743;

// dwFlag bits.
inline constexpr int kFlagFlat = 0x1;
inline constexpr int kFlagSharp = 0x2;
inline constexpr int kFlagTie = 0x4;
inline constexpr int kFlagChordEntry = 0x8; // set on notes added by chord and scale entry
inline constexpr int kFlagDot = 0x10;
inline constexpr int kFlagRest = 0x20;
// Files written by older versions may carry this bit; it is kept as read and means nothing:
// layout finds the beams itself and never writes the bit.
inline constexpr int kFlagBeamed = 0x40;
inline constexpr int kFlagTriplet = 0x100;
inline constexpr int kFlagMark200 = 0x200; // toggled by tool command 1133; no other meaning
inline constexpr int kFlagNatural = 0x400;

// The voices a staff holds. Voice 2 notes share the track's array with voice 1 (see
// score/voices.h for where they lie and how their time is counted).
inline constexpr uint8_t kVoice1 = 1;
inline constexpr uint8_t kVoice2 = 2;

inline constexpr int kMaxChordMembers = 32;
inline constexpr std::size_t kLabelCapacity = 16; // 15 characters and the terminator
inline constexpr std::size_t kMaxLyricLength = 127;
// The value a panel passes for "leave this property as it is".
inline constexpr int kKeepValue = -333;

bool isDurationType(int type);

// The texts of a note: a clip note's audio file (full path and the file-name part shown in
// the note panel), the lyric and the chord symbol written above it (its canonical text,
// theory/chord_symbol.h). Copies share one block until one of them changes it, so the
// many copies of a note that the undo ring keeps cost a pointer each.
class NoteTexts {
  public:
    const std::optional<std::string>& filename() const { return m_data ? m_data->filename : kNone; }
    const std::optional<std::string>& displayName() const { return m_data ? m_data->displayName : kNone; }
    const std::optional<std::string>& lyric() const { return m_data ? m_data->lyric : kNone; }
    const std::optional<std::string>& chordSymbol() const { return m_data ? m_data->chordSymbol : kNone; }
    // Sets the path and its file-name part; an empty optional clears both.
    void setFilename(const std::optional<std::string>& path);
    void setLyric(const std::optional<std::string>& text);
    void setChordSymbol(const std::optional<std::string>& text);
    bool empty() const { return !m_data; }
    // Compares the texts, not where they are kept.
    bool operator==(const NoteTexts& other) const;

  private:
    struct Data {
        std::optional<std::string> filename;
        std::optional<std::string> displayName;
        std::optional<std::string> lyric;
        std::optional<std::string> chordSymbol;
    };
    Data& own();
    void dropIfEmpty();

    static inline const std::optional<std::string> kNone{};

    std::shared_ptr<const Data> m_data;
};

// What a note is, as files save it, copies carry it and undo brings it back: every field here
// and nothing else. A new stored field goes here (and into the <note> attribute table of
// note_element.cpp); the copy, the undo ring and the comparisons follow from the struct.
//
// Two fields are not written to files: `velocity` (set from the note panel) and `selected`.
// The selection is kept with the content because undo and redo bring it back as it was.
// Fields are grouped by size so the undo ring's copies stay small.
struct NoteContent {
    // What every walk reads (position, chord link, kind, flags) shares the first cache line.
    int16_t line = 0; // staff position in diatonic steps: 0 = middle C, positive = lower
    int16_t chordparent = -1;
    int8_t midi = 0; // key of the natural at the staff position, before accidentals and clef
    char letter = 0; // pitch character: 'A'..'G' or a sharp digit '1'..'5'
    char key = '0';  // key character kept on the note
    uint8_t selected = 0;
    uint8_t voice = 1; // 1 or 2: the voice of the staff the note belongs to (kVoice1, kVoice2)
    int32_t type = 0;
    int32_t dwFlag = 0;
    int32_t volume = 127;
    int32_t pan = 64;
    int32_t octave = 0; // display octave number
    int32_t iid = 0;    // General MIDI program
    int32_t banknum = 0;
    int32_t velocity = 127;
    int32_t dwStopOffset = 0; // signed ms added to the sounding length, not scaled by tempo
    int32_t loopTo = 0;
    int32_t loopCount = 0;
    uint32_t timeSig = 0;
    uint32_t keyType = 0;
    uint32_t bendTime = 0;
    uint32_t dwBendAmount = 127;
    uint32_t dwChorus = 0;
    uint32_t dwReverb = 0;
    char label[kLabelCapacity] = {};
    NoteTexts texts;

    bool operator==(const NoteContent& other) const = default;

    bool isRest() const { return (dwFlag & kFlagRest) != 0; }
    bool isDotted() const { return (dwFlag & kFlagDot) != 0; }
    bool isChordMember() const { return chordparent != -1; }
    bool inVoice2() const { return voice == kVoice2; }

    std::string labelText() const { return std::string(label); }
    // Stores at most 15 characters.
    void setLabel(const std::string& text);
    const std::optional<std::string>& filename() const { return texts.filename(); }
    const std::optional<std::string>& displayName() const { return texts.displayName(); }
    const std::optional<std::string>& lyrictext() const { return texts.lyric(); }
    // Sets filename and its file-name part; an empty optional clears both.
    void setFilename(const std::optional<std::string>& path) { texts.setFilename(path); }
    // Stores at most kMaxLyricLength characters.
    void setLyric(const std::string& text);
    void clearLyric() { texts.setLyric(std::nullopt); }
    // The chord symbol's canonical text; nothing when the note carries none.
    const std::optional<std::string>& chordSymbol() const { return texts.chordSymbol(); }
    void setChordSymbol(const std::optional<std::string>& text) { texts.setChordSymbol(text); }
};

// One item on a staff: a sounding note, a rest, a bar line, a space, a staff break or an
// audio-clip mark. A track holds its notes in one array in staff order; a chord is a root
// followed by members that point at it through `chordparent`.
//
// Plain data: the content (the base) and the chord member list. The member list (`children`)
// is derived from the members' `chordparent` and kept up to date by the track. What a
// playback holds on is the playback's own (score/sounding_notes.h), never written into the
// note. A note knows nothing of its track or of any view: where a view draws it is that
// view's layout (editor/sheet_layout.h).
struct Note : NoteContent {
    uint8_t fresh = 1; // 1 after construction and every copy; 0 once an undo snapshot took it
    int16_t childCount = 0;
    int16_t children[kMaxChordMembers] = {};

    // Copies a note as the editor's copy does: its content, except that the target keeps its
    // own timeSig and velocity; children entries up to childCount; fresh becomes 1 and banknum
    // 0 (a copy does not carry the bank number).
    void copyFrom(const Note& other);

    // Moves a note to another slot of a track's array: everything is carried, fresh becomes 1.
    void moveFrom(const Note& other);

    const NoteContent& content() const { return *this; }
    NoteContent& content() { return *this; }

    int effectiveKey() const;
    // Pitch from a staff position; the staff kind of the track the note is on (the G clef for
    // a note on no track) only decides the octave number.
    void setStaffPosition(int staffPosition, StaffKind staff = StaffKind::GClef);
    void setNameFromKey(int k, StaffKind staff = StaffKind::GClef);
    int octaveNumber(StaffKind staff = StaffKind::GClef) const;
    // Gives the note the length (duration.h) nearest to `beats` quarter notes, the shorter of
    // two equally near; returns the winning length in beats.
    double quantizeBeats(double beats);

    int kindWidth() const;
    std::string legatoText() const;
};

int kindWidthOf(int type);

// True for the keys of C#, D#, F#, G# and A# in every octave.
bool isBlackKey(int key);

// The natural letter of a key as a track uses it when it changes clef.
char naturalLetterOfKey(int key, bool fClef);

} // namespace tonvela
