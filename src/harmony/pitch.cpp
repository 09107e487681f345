#include "harmony/pitch.h"

#include "score/note.h"

#include <set>

namespace tonvela {

int pitchClassIndex(char pitch)
{
    const auto pos = kChromaticFromA.find(pitch);
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

char semitoneUp(char pitch)
{
    const int i = pitchClassIndex(pitch);
    return i < 0 ? 0 : kChromaticFromA[static_cast<std::size_t>((i + 1) % 12)];
}

char semitoneDown(char pitch)
{
    const int i = pitchClassIndex(pitch);
    return i < 0 ? 0 : kChromaticFromA[static_cast<std::size_t>((i + 11) % 12)];
}

void semitoneUp(char& pitch, int& octave)
{
    const char next = semitoneUp(pitch);
    if (next == 0)
        return;
    if (pitch == 'B')
        ++octave;
    pitch = next;
}

void semitoneDown(char& pitch, int& octave)
{
    const char next = semitoneDown(pitch);
    if (next == 0)
        return;
    if (pitch == 'C')
        --octave;
    pitch = next;
}

bool isNaturalPitch(char pitch)
{
    return pitch >= 'A' && pitch <= 'G';
}
bool isSharpDigit(char pitch)
{
    return pitch >= '1' && pitch <= '5';
}

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

std::string pitchDisplayText(std::string_view pitches)
{
    std::string text;
    for (char c : pitches) {
        switch (c) {
        case '1':
            text += "A# ";
            break;
        case '2':
            text += "C# ";
            break;
        case '3':
            text += "D# ";
            break;
        case '4':
            text += "F# ";
            break;
        case '5':
            text += "G# ";
            break;
        case '6':
            text += "Bb ";
            break;
        case '7':
            text += "Db ";
            break;
        case '8':
            text += "Eb ";
            break;
        case '9':
            text += "Gb ";
            break;
        case '0':
            text += "Ab ";
            break;
        default:
            text += c;
            text += "  ";
            break;
        }
    }
    return text;
}

namespace {

char naturalOfSharp(char digit)
{
    switch (digit) {
    case '1':
        return 'A';
    case '2':
        return 'C';
    case '3':
        return 'D';
    case '4':
        return 'F';
    case '5':
        return 'G';
    default:
        return digit;
    }
}

int letterIndexFromC(char letter)
{
    switch (letter) {
    case 'C':
        return 0;
    case 'D':
        return 1;
    case 'E':
        return 2;
    case 'F':
        return 3;
    case 'G':
        return 4;
    case 'A':
        return 5;
    case 'B':
        return 6;
    default:
        return 0;
    }
}

} // namespace

void noteFromPitch(Note& note, char pitch, int octave, int toolbarType)
{
    note.dwFlag &= ~(kFlagFlat | kFlagSharp);
    char target = pitch;
    if (isSharpDigit(pitch)) {
        note.dwFlag |= kFlagSharp;
        target = naturalOfSharp(pitch);
    }
    char c = 'A';
    int oct = 0;
    int key = 33;
    int line = 16;
    while (!(c == target && oct == octave) && oct <= 6) {
        semitoneUp(c, oct);
        ++key;
        if (isNaturalPitch(c))
            --line;
    }
    note.line = static_cast<int16_t>(line);
    note.midi = static_cast<int8_t>(std::min(key, 127));
    note.letter = c;
    note.octave = oct;
    if (note.type == 0)
        note.type = toolbarType;
    if (note.type < kTypeWhole || note.type > kTypeThirtySecond)
        note.type = kTypeQuarter;
    note.width = static_cast<int16_t>(note.kindWidth());
}

void noteFromMidiKey(Note& note, int key)
{
    if (key < 0)
        key = 0;
    if (key > 127)
        key = 127;
    char c = 'C';
    int oct = 2;
    int k = 60;
    while (k < key) {
        semitoneUp(c, oct);
        ++k;
    }
    while (k > key) {
        semitoneDown(c, oct);
        --k;
    }
    note.dwFlag &= ~(kFlagFlat | kFlagSharp);
    int natural = key;
    if (isSharpDigit(c)) {
        semitoneDown(c, oct);
        natural = key - 1;
        note.dwFlag |= kFlagSharp;
    }
    // Staff position of the natural: seven steps per octave, 0 at middle C, lower is larger.
    const int octaveFromMiddle = (natural >= 60 ? (natural - 60) / 12 : -((71 - natural) / 12));
    note.line = static_cast<int16_t>(-(7 * octaveFromMiddle + letterIndexFromC(c)));
    note.midi = static_cast<int8_t>(natural);
    note.letter = c;
    note.octave = oct;
    note.type = kTypeQuarter;
    note.width = static_cast<int16_t>(note.kindWidth());
}

GuitarPosition guitarPositionOfNote(const Note& note)
{
    char pitch = note.letter;
    if (note.dwFlag & kFlagSharp)
        pitch = semitoneUp(pitch);
    else if (note.dwFlag & kFlagFlat)
        pitch = semitoneDown(pitch);
    static constexpr char kOpen[] = "EBGDAE";
    static constexpr int kOpenOctave[] = {2, 1, 1, 1, 0, 0};
    for (int s = 0; s < 6; ++s) {
        char c = kOpen[s];
        int oct = kOpenOctave[s];
        for (int fret = 0; fret < 5; ++fret) {
            if (c == pitch && oct == note.octave)
                return {s, fret};
            semitoneUp(c, oct);
        }
    }
    return {5, 5};
}

namespace {
ScaleSelection g_scaleSelection;
void (*g_scaleRepaintHook)() = nullptr;
} // namespace

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
