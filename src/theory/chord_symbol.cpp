#include "theory/chord_symbol.h"

#include "theory/chord_formula.h"

#include <cctype>
#include <utility>

namespace tonvela {
namespace {

// The canonical suffix of each quality, by row of the chord formula table.
constexpr std::array<std::string_view, kChordQualityCount> kSuffixes{
    "",   "6",   "6/9", "maj7", "maj9", "7",    "7#9", "7#5",  "7sus4", "9",    "9sus4", "11",
    "13", "aug", "m",   "m6",   "m7",   "m7b5", "dim", "dim7", "sus4",  "sus2", "add9",
};

// Other ways of writing a quality. A lower-case "m" and an upper-case "M" mean different
// chords, so short spellings match exactly; only longer words also match in any case.
struct Alias {
    std::string_view text;
    int quality;
};
constexpr Alias kAliases[] = {
    {"maj", 0},
    {"M", 0},
    {"major", 0},
    {"maj6", 1},
    {"M6", 1},
    {"add6", 1},
    {"69", 2},
    {"6add9", 2},
    {"maj6add9", 2},
    {"6(add9)", 2},
    {"M7", 3},
    {"ma7", 3},
    {"Maj7", 3},
    {"\xce\x94", 3},
    {"\xce\x94"
     "7",
     3},
    {"j7", 3},
    {"M9", 4},
    {"ma9", 4},
    {"\xce\x94"
     "9",
     4},
    {"dom7", 5},
    {"dom", 5},
    {"7b10", 6},
    {"dom7b10", 6},
    {"7(#9)", 6},
    {"7+9", 6},
    {"7+5", 7},
    {"aug7", 7},
    {"+7", 7},
    {"7aug5", 7},
    {"dom7aug5", 7},
    {"7(#5)", 7},
    {"7+", 7},
    {"7sus", 8},
    {"dom7sus4", 8},
    {"dom9", 9},
    {"9sus", 10},
    {"dom9sus4", 10},
    {"dom11", 11},
    {"dom13", 12},
    {"+", 13},
    {"#5", 13},
    {"(#5)", 13},
    {"min", 14},
    {"mi", 14},
    {"-", 14},
    {"minor", 14},
    {"min6", 15},
    {"mi6", 15},
    {"-6", 15},
    {"minor6", 15},
    {"min7", 16},
    {"mi7", 16},
    {"-7", 16},
    {"minor7", 16},
    {"min7b5", 17},
    {"mi7b5", 17},
    {"-7b5", 17},
    {"m7(b5)", 17},
    {"minor7flat5", 17},
    {"\xc3\xb8", 17},
    {"\xc3\xb8"
     "7",
     17},
    {"\xc2\xb0", 18},
    {"o", 18},
    {"\xc2\xb0"
     "7",
     19},
    {"o7", 19},
    {"sus", 20},
    {"(add9)", 22},
    {"add2", 22},
};

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int qualityOfSuffix(std::string_view s)
{
    for (int q = 0; q < kChordQualityCount; ++q)
        if (kSuffixes[static_cast<std::size_t>(q)] == s)
            return q;
    for (const Alias& a : kAliases)
        if (a.text == s)
            return a.quality;
    if (s.size() >= 3) {
        for (int q = 0; q < kChordQualityCount; ++q)
            if (equalIgnoringCase(kSuffixes[static_cast<std::size_t>(q)], s))
                return q;
        for (const Alias& a : kAliases)
            if (a.text.size() >= 3 && equalIgnoringCase(a.text, s))
                return a.quality;
    }
    return -1;
}

// A pitch name at the start of `s`: a letter and at most one sharp or flat ('#', 'b' or the
// music signs). The characters it took, or 0.
std::size_t readPitch(std::string_view s, SpelledPitch& out)
{
    if (s.empty())
        return 0;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    if (letter < 'A' || letter > 'G')
        return 0;
    out.step = letter;
    out.alter = 0;
    std::string_view rest = s.substr(1);
    if (!rest.empty() && rest[0] == '#') {
        out.alter = 1;
        return 2;
    }
    if (!rest.empty() && rest[0] == 'b') {
        out.alter = -1;
        return 2;
    }
    if (rest.starts_with("\xe2\x99\xaf")) { // sharp sign
        out.alter = 1;
        return 4;
    }
    if (rest.starts_with("\xe2\x99\xad")) { // flat sign
        out.alter = -1;
        return 4;
    }
    return 1;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

} // namespace

int SpelledPitch::pitchClass() const
{
    static constexpr int kNatural[7] = {9, 11, 0, 2, 4, 5, 7}; // A..G
    const int base = (step >= 'A' && step <= 'G') ? kNatural[step - 'A'] : 0;
    return ((base + alter) % 12 + 12) % 12;
}

std::string SpelledPitch::text() const
{
    std::string out(1, step);
    if (alter > 0)
        out += '#';
    else if (alter < 0)
        out += 'b';
    return out;
}

std::string_view chordSymbolSuffix(int quality)
{
    if (quality < 0 || quality >= kChordQualityCount)
        return {};
    return kSuffixes[static_cast<std::size_t>(quality)];
}

std::string chordSymbolText(const ChordSymbol& symbol)
{
    std::string out = symbol.root.text();
    out += chordSymbolSuffix(symbol.quality);
    if (symbol.bass) {
        out += '/';
        out += symbol.bass->text();
    }
    return out;
}

std::optional<ChordSymbol> parseChordSymbol(std::string_view text)
{
    text = trimmed(text);
    ChordSymbol symbol;
    const std::size_t used = readPitch(text, symbol.root);
    if (used == 0)
        return std::nullopt;
    std::string_view rest = text.substr(used);
    // A bass is a pitch name after the last slash; "6/9" keeps its slash.
    const std::size_t slash = rest.rfind('/');
    if (slash != std::string_view::npos) {
        SpelledPitch bass;
        const std::string_view after = rest.substr(slash + 1);
        if (readPitch(after, bass) == after.size() && !after.empty()) {
            symbol.bass = bass;
            rest = rest.substr(0, slash);
        }
    }
    symbol.quality = qualityOfSuffix(rest);
    if (symbol.quality < 0)
        return std::nullopt;
    return symbol;
}

SpelledPitch spelledRootOfButton(int rootIndex)
{
    static constexpr std::array<SpelledPitch, kChordRootCount> kRoots{{
        {'A', 0},
        {'B', -1},
        {'B', 0},
        {'C', 0},
        {'D', -1},
        {'D', 0},
        {'E', -1},
        {'E', 0},
        {'F', 0},
        {'F', 1},
        {'G', 0},
        {'A', -1},
    }};
    if (rootIndex < 0 || rootIndex >= kChordRootCount)
        return {};
    return kRoots[static_cast<std::size_t>(rootIndex)];
}

std::vector<int> chordSymbolSemitones(int quality)
{
    if (quality < 0 || quality >= kChordQualityCount)
        return {};
    // Semitones of each degree of the major scale; 10, 11 and 13 an octave above 3, 4 and 6.
    auto semitonesOf = [](char c) {
        switch (c) {
        case '1':
            return 0;
        case '2':
            return 2;
        case '3':
            return 4;
        case '4':
            return 5;
        case '5':
            return 7;
        case '6':
            return 9;
        case '7':
            return 11;
        case '8':
            return 12;
        case '9':
            return 14;
        case 'T':
            return 16;
        case 'E':
            return 17;
        case 'H':
            return 21;
        default:
            return -1;
        }
    };
    std::vector<int> tones;
    int shift = 0;
    for (const char* c = chordFormulaTable()[static_cast<std::size_t>(quality)].formula; *c; ++c) {
        if (*c == 'b' || *c == 's') {
            shift = *c == 'b' ? -1 : 1;
            continue;
        }
        const int s = semitonesOf(*c);
        if (s >= 0)
            tones.push_back(s + shift);
        shift = 0;
    }
    return tones;
}

} // namespace tonvela
