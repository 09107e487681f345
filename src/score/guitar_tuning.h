#pragma once

// The tuning of a tablature track: the six open strings and a capo. Every fret the sheet shows
// or writes is counted from the capo on the track's strings, so the fret numbers, the exports
// and the scale window's fretboard follow the tuning the player has.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tonvela {

inline constexpr int kGuitarStrings = 6;
inline constexpr int kMaxCapoFret = 12;

struct GuitarTuning {
    // The keys the open strings sound, highest string first (as the tablature draws them).
    std::array<int, kGuitarStrings> strings = {64, 59, 55, 50, 45, 40};
    int capo = 0; // 0 = no capo, else the fret it clamps (1..kMaxCapoFret)

    // The key the string sounds with the capo on and nothing fretted.
    int openKey(int stringIndex) const;
    // Standard tuning without a capo: what a file need not mention.
    bool isStandard() const;
    friend bool operator==(const GuitarTuning&, const GuitarTuning&) = default;
};

// The tunings the sheet panel names, standard first. Lowest string last, like `strings`.
struct NamedTuning {
    const char* name;
    std::array<int, kGuitarStrings> strings;
};
inline constexpr NamedTuning kNamedTunings[] = {
    {"Standard", {64, 59, 55, 50, 45, 40}}, {"Drop D", {64, 59, 55, 50, 45, 38}},
    {"DADGAD", {62, 57, 55, 50, 45, 38}},   {"Open G", {62, 59, 55, 50, 43, 38}},
    {"Open D", {62, 57, 54, 50, 45, 38}},
};
// The row of kNamedTunings whose strings these are; none for a typed tuning.
std::optional<int> namedTuningIndex(const std::array<int, kGuitarStrings>& strings);

// The strings as the sheet file keeps them: keys lowest string first, "40,45,50,55,59,64".
std::string tuningKeysText(const GuitarTuning& tuning);
// Reads that text: exactly six keys from 0 to 127, else none (the track stays in standard).
std::optional<std::array<int, kGuitarStrings>> parseTuningKeys(std::string_view text);

// The strings as a guitarist types and reads them, lowest first with octaves: "D2 A2 D3 G3 B3 E4".
std::string tuningNamesText(const std::array<int, kGuitarStrings>& strings);
// Reads a typed tuning: six pitch names lowest first (a letter, an optional # or b, an octave
// from 0 to 8; middle C is C4), separated by blanks or commas. None when it is not six such names.
std::optional<std::array<int, kGuitarStrings>> parseTuningNames(std::string_view text);

} // namespace tonvela
