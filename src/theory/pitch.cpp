#include "theory/pitch.h"

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

} // namespace tonvela
