#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tonvela {

// A row of the chord formula table: the quality button text and its formula. A formula is a
// string of degree tokens of the root's major scale: '1'..'9', 'T' (10), 'E' (11), 'H' (13),
// each optionally preceded by 'b' (a semitone lower) or 's' (a semitone higher).
struct ChordFormula {
    const char* name;
    const char* formula;
};

inline constexpr int kChordQualityCount = 23;
inline constexpr int kChordRootCount = 12;

// The 23 qualities in the order of the chord panel's quality buttons.
const std::array<ChordFormula, kChordQualityCount>& chordFormulaTable();
// The texts of the twelve root buttons ("A", "A#/Bb", ..., "G#"); index i is pitch character
// i of kChromaticFromA.
const std::array<const char*, kChordRootCount>& chordRootButtonTexts();

// Evaluates a formula on a root: one pitch character per token, in formula order. Indices
// outside the tables give an empty string.
std::string chordPitches(int rootIndex, int qualityIndex);
// The same for any formula text; characters that are not tokens are skipped.
std::string evaluateChordFormula(char root, std::string_view formula);

// Index of a quality by its button text (case-insensitive), or -1.
int chordQualityIndex(std::string_view name);
// Index (0..11, from A) of a root written as a button text or a note name: "A", "a#", "Bb",
// "A#/Bb", "Gb". -1 when it names no pitch.
int chordRootIndex(std::string_view name);

// What the chord panel has chosen: the root and quality indices and the buttons clicked last.
// The display text is computed once both indices are set.
//
// Plain data owned by the panel (user-interface thread).
class ChordSelection {
  public:
    void chooseRoot(int rootIndex, int buttonId = -1);
    void chooseQuality(int qualityIndex, int buttonId = -1);

    bool complete() const { return m_root >= 0 && m_quality >= 0; }
    int rootIndex() const { return m_root; }
    int qualityIndex() const { return m_quality; }
    int rootButton() const { return m_rootButton; }
    int qualityButton() const { return m_qualityButton; }
    // The chord's pitches as the panel shows them ("C E G A# "); empty until complete.
    const std::string& displayText() const { return m_display; }
    // The root button text, a blank and the quality button text ("A#/Bb maj7").
    std::string lyricText() const;

  private:
    void update();

    int m_root = -1;
    int m_quality = -1;
    int m_rootButton = -1;
    int m_qualityButton = -1;
    std::string m_display;
};

} // namespace tonvela
