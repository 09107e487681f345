#pragma once

#include <array>

namespace tonvela {

// A row of the key signature table: the "Key:" list text, the tonic pitch character and
// whether the key is written with flats. A track keeps the row index as `keyindex`.
struct KeySignature {
    const char* text;
    char tonic;
    bool flats;
};
inline constexpr int kKeySignatureCount = 15;
inline constexpr int kDefaultKeyIndex = 7; // C major
const std::array<KeySignature, kKeySignatureCount>& keySignatureTable();
// The row for an index, with out-of-range indices falling back to C major.
const KeySignature& keySignature(int index);

} // namespace tonvela
