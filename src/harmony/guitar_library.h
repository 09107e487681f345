#pragma once

#include "theory/chord_symbol.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

// One guitar chord shape in standard tuning.
//
// The fingering is six triples, one per string: string number '1' (highest E) .. '6' (lowest
// E); row '1' (the nut: open or muted) .. '6'; finger '1'..'4', '0' or '_' (no finger number)
// or 'X' (muted, no note). The fret played is startFret + row - 2.
struct GuitarChordEntry {
    std::string root;          // "Ab", "F#", ... as the "Root Note:" list shows it
    int qualityCode = 0;       // 0..21
    std::string qualityName;   // "Minor" (the "Quality:" list)
    std::string qualitySymbol; // "m" (used in diagram labels)
    std::string fingering;
    int startFret = 1; // 1 = the diagram starts at the nut
};

inline constexpr int kMaxLibraryEntries = 128;
inline constexpr int kMaxLibraryRoots = 32;
inline constexpr std::size_t kMaxRootLength = 3;
inline constexpr std::size_t kMaxQualityTextLength = 11;
inline constexpr std::size_t kMaxFingeringLength = 23;

// Long name and short symbol of a quality code; codes without a name give an empty text.
std::string guitarQualityName(int code);
std::string guitarQualitySymbol(int code);

// A table of chord shapes with the list of its roots in order of first appearance.
//
// Plain data; the built-in library is built once and read from the user-interface thread.
class GuitarChordLibrary {
  public:
    // Appends a shape. Refused (false) when the library already holds kMaxLibraryEntries
    // shapes, or the shape would bring a 33rd root. Over-long texts are cut to their fields.
    bool addShape(std::string_view root, int qualityCode, std::string_view fingering, int startFret);

    const std::vector<GuitarChordEntry>& entries() const { return m_entries; }
    const std::vector<std::string>& roots() const { return m_roots; }

    // Quality names of the entries with this root, in library order (duplicates kept, as the
    // "Quality:" list shows them).
    std::vector<std::string> qualitiesForRoot(std::string_view root) const;
    // Start frets of the entries with this root and quality name, in library order.
    std::vector<int> startFretsFor(std::string_view root, std::string_view qualityName) const;
    // The first entry that matches all three, or null.
    const GuitarChordEntry* find(std::string_view root, std::string_view qualityName, int startFret) const;
    std::optional<std::string> findFingering(std::string_view root, std::string_view qualityName,
                                             int startFret) const;

  private:
    std::vector<GuitarChordEntry> m_entries;
    std::vector<std::string> m_roots;
};

// The shape of the built-in library a chord symbol is played with: the first entry with the
// symbol's root (by pitch, so G# finds "Ab") and its quality; null when the library has none
// (it holds major, minor, sus4, diminished, augmented, 7, m7 and 6 chords on some roots).
// The bass of a slash chord is not fingered: "C/E" shows the shape of C.
const GuitarChordEntry* guitarShapeForChordSymbol(const ChordSymbol& symbol);

// The built-in library of 54 shapes, built on first use.
const GuitarChordLibrary& guitarLibrary();
// Adds the 54 built-in shapes to a library, in their fixed order.
void buildLibrary(GuitarChordLibrary& library);

// The three lists of the chord panel's guitar chord group and what is chosen in them. Every
// refill chooses the first entry, as the panel's lists do.
//
// Plain data owned by the panel (user-interface thread).
class GuitarChordPicker {
  public:
    explicit GuitarChordPicker(const GuitarChordLibrary& library = guitarLibrary());

    // "Root Note:" changed: refills "Quality:" and "Start Fret:".
    void chooseRoot(int index);
    // "Quality:" changed: refills "Start Fret:".
    void chooseQuality(int index);
    void chooseStartFret(int index);

    const std::vector<std::string>& rootList() const { return m_library.roots(); }
    const std::vector<std::string>& qualityList() const { return m_qualities; }
    // Decimal texts, as the list shows them.
    const std::vector<std::string>& startFretList() const { return m_startFrets; }

    std::string root() const;
    std::string qualityName() const;
    int startFret() const;
    // The chosen shape, or null when the lists hold nothing chosen.
    const GuitarChordEntry* chosen() const;

  private:
    void fillStartFrets();

    const GuitarChordLibrary& m_library;
    int m_root = -1;
    int m_quality = -1;
    int m_startFret = -1;
    std::vector<std::string> m_qualities;
    std::vector<std::string> m_startFrets;
};

} // namespace tonvela
