#include "theory/chord_formula.h"

#include "theory/pitch.h"
#include "theory/scale.h"

#include <cctype>

namespace tonvela {

const std::array<ChordFormula, kChordQualityCount>& chordFormulaTable()
{
    static const std::array<ChordFormula, kChordQualityCount> table{{
        {"maj", "135"},         {"maj6", "1356"},       {"maj6add9", "13569"},
        {"maj7", "1357"},       {"maj9", "13579"},      {"dom7", "135b7"},
        {"dom7b10", "135b7bT"}, {"dom7aug5", "13s5b7"}, {"dom7sus4", "145b7"},
        {"dom9", "135b79"},     {"dom9sus4", "145b79"}, {"dom11", "135b79E"},
        {"dom13", "135b79EH"},  {"aug", "13s5"},        {"minor", "1b35"},
        {"minor6", "1b356"},    {"minor7", "1b35b7"},   {"minor7flat5", "1b3b5b7"},
        {"dim", "1b3b5"},       {"dim7", "1b3b56"},     {"sus4", "145"},
        {"sus2", "125"},        {"add9", "1359"},
    }};
    return table;
}

const std::array<const char*, kChordRootCount>& chordRootButtonTexts()
{
    static const std::array<const char*, kChordRootCount> texts{
        "A", "A#/Bb", "B", "C", "C#/Db", "D", "D#/Eb", "E", "F", "F#/Gb", "G", "G#"};
    return texts;
}

namespace {

// Degree number of a token character, or 0 when it is none.
int degreeOf(char c)
{
    if (c >= '1' && c <= '9')
        return c - '0';
    if (c == 'T')
        return 10;
    if (c == 'E')
        return 11;
    if (c == 'H')
        return 13;
    return 0;
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::string evaluateChordFormula(char root, std::string_view formula)
{
    if (pitchClassIndex(root) < 0)
        return {};
    const BuiltScale scale = buildMajorMinorScale(root, false);
    std::string out;
    int shift = 0;
    for (char c : formula) {
        if (c == 'b') {
            shift = -1;
            continue;
        }
        if (c == 's') {
            shift = 1;
            continue;
        }
        const int degree = degreeOf(c);
        if (degree == 0) {
            shift = 0;
            continue;
        }
        char pitch = scale.pitches[static_cast<std::size_t>((degree - 1) % 7)];
        if (shift < 0)
            pitch = semitoneDown(pitch);
        else if (shift > 0)
            pitch = semitoneUp(pitch);
        out += pitch;
        shift = 0;
    }
    return out;
}

std::string chordPitches(int rootIndex, int qualityIndex)
{
    if (rootIndex < 0 || rootIndex >= kChordRootCount || qualityIndex < 0 ||
        qualityIndex >= kChordQualityCount)
        return {};
    return evaluateChordFormula(kChromaticFromA[static_cast<std::size_t>(rootIndex)],
                                chordFormulaTable()[static_cast<std::size_t>(qualityIndex)].formula);
}

int chordQualityIndex(std::string_view name)
{
    const auto& table = chordFormulaTable();
    for (int i = 0; i < kChordQualityCount; ++i)
        if (sameIgnoringCase(name, table[static_cast<std::size_t>(i)].name))
            return i;
    return -1;
}

int chordRootIndex(std::string_view name)
{
    const auto& buttons = chordRootButtonTexts();
    for (int i = 0; i < kChordRootCount; ++i)
        if (sameIgnoringCase(name, buttons[static_cast<std::size_t>(i)]))
            return i;
    if (name.empty() || name.size() > 2)
        return -1;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    char pitch = letter;
    if (!isNaturalPitch(pitch))
        return -1;
    if (name.size() == 2) {
        if (name[1] == '#')
            pitch = semitoneUp(pitch);
        else if (name[1] == 'b')
            pitch = semitoneDown(pitch);
        else
            return -1;
    }
    return pitchClassIndex(pitch);
}

void ChordSelection::chooseRoot(int rootIndex, int buttonId)
{
    if (rootIndex < 0 || rootIndex >= kChordRootCount)
        return;
    m_root = rootIndex;
    m_rootButton = buttonId;
    update();
}

void ChordSelection::chooseQuality(int qualityIndex, int buttonId)
{
    if (qualityIndex < 0 || qualityIndex >= kChordQualityCount)
        return;
    m_quality = qualityIndex;
    m_qualityButton = buttonId;
    update();
}

std::string ChordSelection::lyricText() const
{
    if (!complete())
        return {};
    return std::string(chordRootButtonTexts()[static_cast<std::size_t>(m_root)]) + " " +
           chordFormulaTable()[static_cast<std::size_t>(m_quality)].name;
}

void ChordSelection::update()
{
    if (complete())
        m_display = pitchDisplayText(chordPitches(m_root, m_quality));
}

} // namespace tonvela
