#pragma once

// Chord symbols as lead sheets write them: a root, one of the 23 chord qualities of the chord
// formula table and an optional bass ("C", "Cm7b5", "F#7#9", "C/E"). One symbol has one
// canonical text, which files store and every view shows; reading also takes the other
// spellings musicians type ("Cmin7", "C-7", "CM7", "Cø", "C°7", "C+", "C7+5").

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

// A written pitch name: its letter and how far it is raised (1, sharp) or lowered (-1, flat).
struct SpelledPitch {
    char step = 'C'; // 'A'..'G'
    int8_t alter = 0;
    bool operator==(const SpelledPitch&) const = default;
    // Semitones above C, 0..11.
    int pitchClass() const;
    // "C", "F#", "Bb".
    std::string text() const;
};

struct ChordSymbol {
    SpelledPitch root;
    int quality = 0; // row of chordFormulaTable()
    std::optional<SpelledPitch> bass;
    bool operator==(const ChordSymbol&) const = default;
};

// What lead sheets write after the root for each quality ("" for major, "m7b5", "6/9", ...),
// by row of the chord formula table; an empty text for a row outside it.
std::string_view chordSymbolSuffix(int quality);

// The canonical text: root, suffix, and "/bass" when there is one.
std::string chordSymbolText(const ChordSymbol& symbol);

// Reads a typed or stored symbol; blanks around it are ignored. Nothing for a text that names
// no chord (an unknown quality, a root that is no letter A to G, anything left over).
std::optional<ChordSymbol> parseChordSymbol(std::string_view text);

// The root as the chord panel names it (index 0..11 from A, as chordRootButtonTexts) spelled
// the way lead sheets usually write it: Bb, Db, Eb, F#, Ab.
SpelledPitch spelledRootOfButton(int rootIndex);

// The chord's tones as semitones above its root, in formula order (the 9th as 14, the 13th
// as 21); empty for a quality outside the table.
std::vector<int> chordSymbolSemitones(int quality);

} // namespace tonvela
