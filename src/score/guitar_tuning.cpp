#include "score/guitar_tuning.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace tonvela {

int GuitarTuning::openKey(int stringIndex) const
{
    const int s = std::clamp(stringIndex, 0, kGuitarStrings - 1);
    return strings[static_cast<std::size_t>(s)] + std::clamp(capo, 0, kMaxCapoFret);
}

bool GuitarTuning::isStandard() const
{
    return *this == GuitarTuning{};
}

std::optional<int> namedTuningIndex(const std::array<int, kGuitarStrings>& strings)
{
    for (std::size_t i = 0; i < std::size(kNamedTunings); ++i)
        if (kNamedTunings[i].strings == strings)
            return static_cast<int>(i);
    return std::nullopt;
}

namespace {

// Splits at blanks and commas.
std::vector<std::string_view> tokens(std::string_view text)
{
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != ',' && text[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(text.substr(start, i - start));
        if (out.size() > kGuitarStrings)
            break; // more than a guitar has: no tuning, whatever follows
    }
    return out;
}

constexpr const char* kSharpNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

} // namespace

std::string tuningKeysText(const GuitarTuning& tuning)
{
    std::string text;
    for (int s = kGuitarStrings - 1; s >= 0; --s) {
        if (!text.empty())
            text += ',';
        text += std::to_string(tuning.strings[static_cast<std::size_t>(s)]);
    }
    return text;
}

std::optional<std::array<int, kGuitarStrings>> parseTuningKeys(std::string_view text)
{
    const std::vector<std::string_view> parts = tokens(text);
    if (parts.size() != kGuitarStrings)
        return std::nullopt;
    std::array<int, kGuitarStrings> strings{};
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const std::string_view p = parts[k];
        if (p.size() > 3 || !std::all_of(p.begin(), p.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        int key = 0;
        for (const char c : p)
            key = key * 10 + (c - '0');
        if (key > 127)
            return std::nullopt;
        strings[kGuitarStrings - 1 - k] = key; // the file lists the lowest string first
    }
    return strings;
}

std::string tuningNamesText(const std::array<int, kGuitarStrings>& strings)
{
    std::string text;
    for (int s = kGuitarStrings - 1; s >= 0; --s) {
        const int key = strings[static_cast<std::size_t>(s)];
        if (!text.empty())
            text += ' ';
        text += kSharpNames[key % 12];
        text += std::to_string(key / 12 - 1);
    }
    return text;
}

std::optional<std::array<int, kGuitarStrings>> parseTuningNames(std::string_view text)
{
    static constexpr int kLetterClass[7] = {9, 11, 0, 2, 4, 5, 7}; // A..G
    const std::vector<std::string_view> parts = tokens(text);
    if (parts.size() != kGuitarStrings)
        return std::nullopt;
    std::array<int, kGuitarStrings> strings{};
    for (std::size_t k = 0; k < parts.size(); ++k) {
        std::string_view p = parts[k];
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));
        if (letter < 'A' || letter > 'G')
            return std::nullopt;
        int pitchClass = kLetterClass[letter - 'A'];
        p.remove_prefix(1);
        if (!p.empty() && (p[0] == '#' || p[0] == 'b')) {
            pitchClass += p[0] == '#' ? 1 : -1;
            p.remove_prefix(1);
        }
        if (p.size() != 1 || p[0] < '0' || p[0] > '8')
            return std::nullopt;
        const int key = (p[0] - '0' + 1) * 12 + pitchClass;
        if (key < 0 || key > 127)
            return std::nullopt;
        strings[kGuitarStrings - 1 - k] = key;
    }
    return strings;
}

} // namespace tonvela
