#include "theory/key_signature.h"

namespace tonvela {

const std::array<KeySignature, kKeySignatureCount>& keySignatureTable()
{
    static const std::array<KeySignature, kKeySignatureCount> table{{
        {"C# major/ A# minor", '2', false},
        {"F# major/ D# minor", '4', false},
        {"B major, G# minor", 'B', false},
        {"E major, C# minor", 'E', false},
        {"A major, F# minor", 'A', false},
        {"D major, B minor", 'D', false},
        {"G major, E minor", 'G', false},
        {"C major, A minor", 'C', false},
        {"F major, D minor", 'F', true},
        {"Bb major, G minor", '1', true},
        {"Eb major, C minor", '3', true},
        {"Ab major, F minor", '5', true},
        {"Db major, Bb minor", '2', true},
        {"Gb major, Eb minor", '4', true},
        {"Cb major, Ab minor", 'B', true},
    }};
    return table;
}

const KeySignature& keySignature(int index)
{
    const auto& table = keySignatureTable();
    if (index < 0 || index >= kKeySignatureCount)
        index = kDefaultKeyIndex;
    return table[static_cast<std::size_t>(index)];
}

} // namespace tonvela
