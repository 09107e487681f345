#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tonvela {

class Track;
class MarkupElement;
struct StaffRow;

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
inline constexpr int kFlagBeamed = 0x40; // computed by layout, cleared by every relayout
inline constexpr int kFlagTriplet = 0x100;
inline constexpr int kFlagMark200 = 0x200; // toggled by tool command 1133; no other meaning
inline constexpr int kFlagNatural = 0x400;

inline constexpr int kMaxChordMembers = 32;
inline constexpr int kNotScheduled = 5959595;
inline constexpr std::size_t kLabelCapacity = 16; // 15 characters and the terminator
inline constexpr std::size_t kMaxLyricLength = 127;
// The value a panel passes for "leave this property as it is".
inline constexpr int kKeepValue = -333;

bool isDurationType(int type);

// One item on a staff: a sounding note, a rest, a bar line, a space, a staff break or an
// audio-clip mark. A track holds its notes in one array in staff order; a chord is a root
// followed by members that point at it through `chordparent`.
//
// Plain data. Fields marked "layout" are caches written by the layout pass and playback and
// are never saved. The note owns its texts.
struct Note {
    uint8_t fresh = 1;
    int32_t volume = 127;
    int32_t pan = 64;
    char letter = 0; // pitch character: 'A'..'G' or a sharp digit '1'..'5'
    int32_t octave = 0;
    int8_t midi = 0; // key of the natural at the staff position, before accidentals and clef
    int32_t type = 0;
    uint8_t stemDown = 0; // layout
    uint8_t selected = 0;
    uint8_t hovered = 0;
    uint8_t sounding = 0;
    int32_t iid = 0; // General MIDI program
    int32_t banknum = 0;
    uint32_t timeSig = 0;
    char key = '0';
    uint32_t keyType = 0;
    StaffRow* row = nullptr;  // layout
    Track* track = nullptr;   // owner, set whenever the track walks its notes
    int32_t measureIndex = 0; // layout
    int32_t rowIndex = -1;    // layout
    int16_t x = 0;            // layout: glyph box top-left, sheet units
    int16_t y = 0;
    int16_t line = 0; // staff position in diatonic steps: 0 = middle C, positive = lower
    int16_t accidentalX = 0, accidentalY = 0;    // layout
    int16_t dotX = 0, dotY = 0;                  // layout
    int32_t headOrdinal = 0;                     // layout: chord roots before this note
    int32_t zoomX = 0, zoomY = 0, zoomWidth = 0; // layout: x, y, width times the zoom
    int16_t width = 0;
    int32_t beamCount = 0; // layout
    int32_t dwFlag = 0;
    uint32_t bendTime = 0;
    uint32_t dwBendAmount = 127;
    int32_t velocity = 127;
    int32_t endMs = kNotScheduled;
    int32_t startMs = kNotScheduled;
    int32_t dwStopOffset = 0; // signed ms added to the sounding length, not scaled by tempo
    uint32_t dwChorus = 0;
    uint32_t dwReverb = 0;
    char label[kLabelCapacity] = {};
    int16_t children[kMaxChordMembers] = {};
    int16_t childCount = 0;
    int16_t chordparent = -1;
    int32_t loopTo = 0;
    int32_t loopCount = 0;

    // Layout caches of the drawing pass.
    uint8_t tieValid = 0;
    int32_t prevX = 0;
    int32_t prevRootX = 0;
    int32_t beamLine[4] = {};      // x1, y1, x2, y2 in sheet units
    int32_t stemExtension[4] = {}; // x1, y1, x2, y2 in device units

    std::optional<std::string> filename;    // full path of a clip note's audio file
    std::optional<std::string> displayName; // file-name part, present whenever filename is
    std::optional<std::string> lyrictext;   // at most kMaxLyricLength characters

    // Copies a note as the editor's copy does: every field but timeSig, velocity, headOrdinal,
    // beamCount and hovered (the target keeps its own), children entries up to childCount;
    // fresh becomes 1 and banknum 0 (a copy does not carry the bank number).
    void copyFrom(const Note& other);

    // Moves a note to another slot of a track's array: everything is carried, fresh becomes 1.
    void moveFrom(const Note& other);

    bool isRest() const { return (dwFlag & kFlagRest) != 0; }
    bool isDotted() const { return (dwFlag & kFlagDot) != 0; }
    bool isChordMember() const { return chordparent != -1; }

    int effectiveKey() const;
    void setStaffPosition(int staffPosition);
    void setNameFromKey(int k);
    int octaveNumber() const;
    // Returns the winning length in beats.
    double quantizeBeats(double beats);

    double lengthBeats() const;
    double lengthWhole() const;
    int lengthMs120() const;
    int lengthTicks() const;
    int kindWidth() const;
    std::string legatoText() const;
    void layoutMarks();

    std::string labelText() const { return std::string(label); }
    // Stores at most 15 characters.
    void setLabel(const std::string& text);
    // Sets filename and its file-name part; an empty optional clears both.
    void setFilename(const std::optional<std::string>& path);
    // Stores at most kMaxLyricLength characters.
    void setLyric(const std::string& text);

    struct Rect {
        int left, top, right, bottom;
    };
    bool hitHead(const Rect& r) const;
    bool hitBody(const Rect& r) const;
    Rect invalidRect() const;

    // The <note> element, CR LF line ends.
    void writeElement(std::string& out) const;
    void readElement(const MarkupElement& element);
};

int kindWidthOf(int type);
int lengthMs120Of(int type, int dwFlag);
int lengthTicksOf(int type, int dwFlag);

// True for the keys of C#, D#, F#, G# and A# in every octave.
bool isBlackKey(int key);

// The natural letter of a key as a track uses it when it changes clef.
char naturalLetterOfKey(int key, bool fClef);

} // namespace tonvela
