#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tonvela {

class Track;

// The kinds of staff a track is written on, numbered as the "Track Type:" list counts them
// (its five entries, then the fifth staff kind, which the list does not offer). This is the
// only numbering of staff kinds: files store a kind as the `drawmode` and `percussive` of its
// row below.
enum class StaffKind : uint8_t { GClef, FClef, Percussion, Tablature, G2Clef, FifthKind };
inline constexpr int kStaffKindCount = 6;

// The sign drawn at the start of every row of a staff; the editor has a glyph for each.
// A tablature shows the letters T, A, B instead.
enum class ClefSign : uint8_t { G, F, Percussion, Tablature };

// What a staff's notes sound from: the stored key (moved by the kind's sounding offset), or
// the natural that the note's staff position reads on the clef, whatever key is stored.
enum class PitchSource : uint8_t { StoredKey, Position };

// The part of a MIDI file the import writes on this kind of staff.
enum class MidiImportUse : uint8_t { None, Drums, LowPart, OtherPart };

// A clef as MusicXML writes it: <sign>, <line> (0: not written) and <clef-octave-change>
// (0: not written).
struct MusicXmlClef {
    std::string_view sign;
    int line = 0;
    int octaveChange = 0;
};

// Everything the program knows about one kind of staff. Staff positions are diatonic steps,
// 0 = middle C on the G clef, larger values lower; the top staff line is step -3.
struct StaffKindInfo {
    StaffKind kind;

    // Stored in the track's <config>.
    uint8_t drawmode;
    bool percussive;

    // The "Track Type:" entry (empty: the list has none) and the name the CLI's `info` gives.
    std::string_view listText;
    std::string_view name;

    // The staff as drawn. `octaveMark`: the small 8 under the clef, for a staff written an
    // octave above its sound. `ledgerLines`: notes beyond the staff get ledger lines and the
    // pointer shows guide lines (a drum staff keeps its notes on the staff).
    ClefSign clef;
    bool octaveMark;
    int lines;
    bool ledgerLines;
    // The staff steps where the key signature's sharps (F C G D A E B) and flats (B E A D G C F)
    // stand, in the order they are drawn. A flat is placed by the step one below the line it
    // flattens, the step the key test reports it at.
    std::array<int8_t, 7> sharpPlaces;
    std::array<int8_t, 7> flatPlaces;

    // Pitch. Staff position p reads the natural that G clef position p + readingShift shows.
    // `octaveBase` is the stored key that begins octave 2 of the octave numbers notes show
    // (key 60 on the G clef). A staff of stored keys sounds each key moved by
    // `soundingOffset` semitones; on a staff sounding by position the offset is what its files
    // store the keys above or below their sound (the reader's test for black keys uses it).
    int readingShift;
    int octaveBase;
    PitchSource pitchSource;
    int soundingOffset;

    // The open strings of a tablature, highest first, as MIDI keys (standard tuning); empty
    // for a staff of notes. The strings are the tablature's lines.
    std::span<const int> openStrings;

    // Exchange with other programs: the LilyPond clef (written after \clef; a drum staff
    // writes none), the MusicXML clef, and the part the MIDI import writes on this staff.
    std::string_view lilypondClef;
    MusicXmlClef musicXml;
    MidiImportUse midiImport;

    constexpr bool isTablature() const { return clef == ClefSign::Tablature; }
};

// The six strings of a guitar in standard tuning, highest first.
inline constexpr int kStandardTuning[6] = {64, 59, 55, 50, 45, 40};

namespace detail {
inline constexpr std::array<int8_t, 7> kTrebleSharps = {-3, 0, -4, -1, 2, -2, 1};
inline constexpr std::array<int8_t, 7> kTrebleFlats = {2, -1, 3, 0, 4, 1, 5};
// The bass clef shows every letter one line (two steps) lower than the G clef.
inline constexpr std::array<int8_t, 7> kBassSharps = {-1, 2, -2, 1, 4, 0, 3};
inline constexpr std::array<int8_t, 7> kBassFlats = {4, 1, 5, 2, 6, 3, 7};
} // namespace detail

// The table, in StaffKind order.
inline constexpr std::array<StaffKindInfo, kStaffKindCount> kStaffKinds = {{
    // The G clef staff is written an octave above its sound, as guitar music is.
    {.kind = StaffKind::GClef,
     .drawmode = 0,
     .percussive = false,
     .listText = "G Clef",
     .name = "G clef",
     .clef = ClefSign::G,
     .octaveMark = true,
     .lines = 5,
     .ledgerLines = true,
     .sharpPlaces = detail::kTrebleSharps,
     .flatPlaces = detail::kTrebleFlats,
     .readingShift = 0,
     .octaveBase = 60,
     .pitchSource = PitchSource::StoredKey,
     .soundingOffset = 0,
     .openStrings = {},
     .lilypondClef = "\"treble_8\"",
     .musicXml = {"G", 2, -1},
     .midiImport = MidiImportUse::OtherPart},
    // The bass clef. Its notes sound the natural their position reads, so files whose stored
    // keys kept an older offset still sound what they show.
    {.kind = StaffKind::FClef,
     .drawmode = 2,
     .percussive = false,
     .listText = "F Clef",
     .name = "F clef",
     .clef = ClefSign::F,
     .octaveMark = false,
     .lines = 5,
     .ledgerLines = true,
     .sharpPlaces = detail::kBassSharps,
     .flatPlaces = detail::kBassFlats,
     .readingShift = 5,
     .octaveBase = 69,
     .pitchSource = PitchSource::Position,
     .soundingOffset = -9,
     .openStrings = {},
     .lilypondClef = "bass",
     .musicXml = {"F", 4, 0},
     .midiImport = MidiImportUse::LowPart},
    // Drums: every note sounds its drum key. Stored as a G clef track marked percussive.
    {.kind = StaffKind::Percussion,
     .drawmode = 0,
     .percussive = true,
     .listText = "Percussion",
     .name = "percussion",
     .clef = ClefSign::Percussion,
     .octaveMark = false,
     .lines = 5,
     .ledgerLines = false,
     .sharpPlaces = detail::kTrebleSharps,
     .flatPlaces = detail::kTrebleFlats,
     .readingShift = 0,
     .octaveBase = 60,
     .pitchSource = PitchSource::StoredKey,
     .soundingOffset = 0,
     .openStrings = {},
     .lilypondClef = "percussion",
     .musicXml = {"percussion", 0, 0},
     .midiImport = MidiImportUse::Drums},
    // The guitar's frets on its strings; it reads and sounds as the G clef staff, on which a
    // note no string reaches is engraved.
    {.kind = StaffKind::Tablature,
     .drawmode = 1,
     .percussive = false,
     .listText = "Tablature",
     .name = "tablature",
     .clef = ClefSign::Tablature,
     .octaveMark = false,
     .lines = 6,
     .ledgerLines = false,
     .sharpPlaces = detail::kTrebleSharps,
     .flatPlaces = detail::kTrebleFlats,
     .readingShift = 0,
     .octaveBase = 60,
     .pitchSource = PitchSource::StoredKey,
     .soundingOffset = 0,
     .openStrings = kStandardTuning,
     .lilypondClef = "\"treble_8\"",
     .musicXml = {"TAB", 5, 0},
     .midiImport = MidiImportUse::None},
    // The treble clef, sounding as written.
    {.kind = StaffKind::G2Clef,
     .drawmode = 3,
     .percussive = false,
     .listText = "G(2) Clef",
     .name = "G(2) clef",
     .clef = ClefSign::G,
     .octaveMark = false,
     .lines = 5,
     .ledgerLines = true,
     .sharpPlaces = detail::kTrebleSharps,
     .flatPlaces = detail::kTrebleFlats,
     .readingShift = -7,
     .octaveBase = 48,
     .pitchSource = PitchSource::StoredKey,
     .soundingOffset = 12,
     .openStrings = {},
     .lilypondClef = "treble",
     .musicXml = {"G", 2, 0},
     .midiImport = MidiImportUse::None},
    // Kept from files; the list does not offer it. Drawn, played and exported as the G clef.
    {.kind = StaffKind::FifthKind,
     .drawmode = 4,
     .percussive = false,
     .listText = {},
     .name = "fifth staff kind",
     .clef = ClefSign::G,
     .octaveMark = true,
     .lines = 5,
     .ledgerLines = true,
     .sharpPlaces = detail::kTrebleSharps,
     .flatPlaces = detail::kTrebleFlats,
     .readingShift = 0,
     .octaveBase = 60,
     .pitchSource = PitchSource::StoredKey,
     .soundingOffset = 0,
     .openStrings = {},
     .lilypondClef = "\"treble_8\"",
     .musicXml = {"G", 2, -1},
     .midiImport = MidiImportUse::None},
}};

namespace detail {
// Each row sits at its kind's number, and no two staves of notes store the same drawmode, so
// every stored pair of values reads back as one kind.
constexpr bool wellFormed()
{
    for (std::size_t i = 0; i < kStaffKinds.size(); ++i) {
        if (static_cast<std::size_t>(kStaffKinds[i].kind) != i)
            return false;
        for (std::size_t j = 0; j < i; ++j)
            if (!kStaffKinds[i].percussive && !kStaffKinds[j].percussive &&
                kStaffKinds[i].drawmode == kStaffKinds[j].drawmode)
                return false;
        if (kStaffKinds[i].isTablature() != !kStaffKinds[i].openStrings.empty())
            return false;
    }
    return true;
}
static_assert(wellFormed(), "the staff-kind table is out of order");
} // namespace detail

constexpr const StaffKindInfo& staffKindInfo(StaffKind kind)
{
    return kStaffKinds[static_cast<std::size_t>(kind)];
}

// The kind of the stored `drawmode` and `percussive` values: a percussive track is a drum
// staff; a `drawmode` no row stores reads as the G clef.
StaffKind staffKindOf(int drawmode, bool percussive);
StaffKind staffKindOf(const Track& track);
// The row of a track's kind.
const StaffKindInfo& staffOf(const Track& track);
// Writes a kind into a track's stored values; the notes stay where they are (setTrackType
// moves them with the clef).
void setStaffKind(Track& track, StaffKind kind);
// Whether files may store this `drawmode` (a row stores it).
bool isStoredDrawmode(int drawmode);

// The "Track Type:" list: its entries in order, the kind an entry shows, the entry that shows a
// kind (-1 when the list has none for it).
int trackTypeListSize();
std::optional<StaffKind> staffKindOfListEntry(int entry);
int listEntryOfStaffKind(StaffKind kind);

// The staff the MIDI import writes a part on: a drum part, a part whose notes lie mostly below
// middle C, any other part.
StaffKind staffKindForMidiImport(bool drums, bool mostlyLow);

// The staff of notes that a MusicXML clef of this sign, line and octave change is (drum clefs
// are left to the caller): the kind that writes that clef, else one that writes the sign and
// octave change on another line; none when no kind writes the sign with that octave change.
std::optional<StaffKind> staffKindOfMusicXmlClef(std::string_view sign, int line, int octaveChange);

} // namespace tonvela
