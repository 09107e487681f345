#include "theory/scale.h"

#include "theory/pitch.h"

#include <set>

namespace tonvela {

const std::array<ScaleKind, kScaleKindCount>& scaleTable()
{
    static const std::array<ScaleKind, kScaleKindCount> table{{
        {"Major", "WWHWWWH"},
        {"Minor", "WHWWHWW"},
        {"Major Pentatonic", "WW3W3"},
        {"Minor Pentatonic", "3WW3W"},
        {"Blues", "3WHH3W"},
    }};
    return table;
}

BuiltScale buildScaleFromPattern(char root, std::string_view pattern, int startOctave)
{
    BuiltScale scale;
    char pitch = root;
    int octave = startOctave;
    for (char step : pattern) {
        scale.pitches.push_back(pitch);
        scale.octaves.push_back(octave);
        const int semitones = step == 'H' ? 1 : step == 'W' ? 2 : 3;
        for (int i = 0; i < semitones; ++i)
            semitoneUp(pitch, octave);
    }
    scale.pitches.push_back(pitch);
    scale.octaves.push_back(octave);
    return scale;
}

BuiltScale buildMajorMinorScale(char root, bool minor)
{
    return buildScaleFromPattern(root, scaleTable()[minor ? 1 : 0].pattern, 3);
}

namespace {

char enharmonicPartner(char digit)
{
    if (digit >= '0' && digit <= '4')
        return static_cast<char>(digit + 5);
    if (digit >= '5' && digit <= '9')
        return static_cast<char>(digit - 5);
    return digit;
}

// The characters a spelled scale degree keeps other degrees from using.
std::string_view blockedBy(char c)
{
    switch (c) {
    case '0':
        return "A1";
    case '1':
        return "A0";
    case '2':
        return "C";
    case '3':
        return "D";
    case '4':
        return "F";
    case '5':
        return "G9";
    case '6':
        return "B";
    case '7':
        return "D3";
    case '8':
        return "E";
    case '9':
        return "G5";
    case 'A':
        return "01";
    case 'B':
        return "6";
    case 'C':
        return "2";
    case 'D':
        return "37";
    case 'E':
        return "8";
    case 'F':
        return "4";
    case 'G':
        return "59";
    default:
        return "";
    }
}

ScaleSelection g_scaleSelection;
void (*g_scaleRepaintHook)() = nullptr;

} // namespace

void spellScale(std::string& pitches)
{
    if (pitches.size() < 3)
        return;
    std::set<char> used;
    for (std::size_t i = 1; i + 1 < pitches.size(); ++i) {
        char c = pitches[i];
        if (used.count(c))
            c = enharmonicPartner(c);
        pitches[i] = c;
        used.insert(c);
        for (char b : blockedBy(c))
            used.insert(b);
    }
}

const ScaleSelection& scaleSelection()
{
    return g_scaleSelection;
}

void setScaleSelection(int rootIndex, int scaleIndex)
{
    if (rootIndex >= 0 && rootIndex < 12)
        g_scaleSelection.root = kChromaticFromA[static_cast<std::size_t>(rootIndex)];
    if (scaleIndex >= 0 && scaleIndex < kScaleKindCount)
        g_scaleSelection.pattern = scaleTable()[static_cast<std::size_t>(scaleIndex)].pattern;
    if (g_scaleRepaintHook)
        g_scaleRepaintHook();
}

void setScaleSelectionRepaintHook(void (*hook)())
{
    g_scaleRepaintHook = hook;
}

} // namespace tonvela
