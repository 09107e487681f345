#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

// A row of the scale table: the "Scale:" list name and its step pattern over 'H' (one
// semitone), 'W' (two) and '3' (three); every pattern spans twelve semitones.
struct ScaleKind {
    const char* name;
    const char* pattern;
};
inline constexpr int kScaleKindCount = 5;
const std::array<ScaleKind, kScaleKindCount>& scaleTable();

struct BuiltScale {
    std::string pitches;      // degree 1 up to the octave (pattern length + 1 characters)
    std::vector<int> octaves; // octave counter of each character
};

// Walks the pattern from the root: one entry per step, then the root an octave higher.
BuiltScale buildScaleFromPattern(char root, std::string_view pattern, int startOctave);
// The major (minor == false) or natural minor scale of a root, octave counter starting at 3.
BuiltScale buildMajorMinorScale(char root, bool minor);

// Rewrites repeated letters of a built scale as flat digits, so F major reads F G A Bb C D E F.
// The first and the last character are left alone.
void spellScale(std::string& pitches);

// The process-wide scale selection of the scale panel, read by the scale diagram and the
// scale commands. `pattern` is null until a scale has been chosen.
struct ScaleSelection {
    char root = 'A';
    const char* pattern = nullptr;
};
const ScaleSelection& scaleSelection();
// Stores character rootIndex of kChromaticFromA and the pattern of row scaleIndex; an index
// outside its list leaves that half unchanged. Calls the repaint hook when one is set.
void setScaleSelection(int rootIndex, int scaleIndex);
void setScaleSelectionRepaintHook(void (*hook)());

} // namespace tonvela
