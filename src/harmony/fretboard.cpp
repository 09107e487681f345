#include "harmony/fretboard.h"

#include "harmony/fretboard_shading.h"
#include "theory/pitch.h"
#include "theory/scale.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace tonvela {
namespace {

constexpr std::array<FretPosition, kFretPositionCount> kFretPositions{{
    {10, 162, 17},
    {70, 162, 17},
    {159, 160, 18},
    {235, 159, 18.5},
    {305, 158, 19},
    {375, 157, 19.5},
    {440, 157, 20},
    {500, 156, 20},
    {560, 155, 20},
    {615, 155, 20.5},
    {668, 154, 21},
    {717, 153, 21},
}};

// Fill of a mark's circle: dark, so the magenta number stays readable over strings and frets.
constexpr Color kMarkFill{28, 24, 26};
constexpr Font kDegreeFont{17, true};

// The labelled neck of the upper half: badges with the note names, fret numbers beneath.
constexpr Color kNaturalBadge{240, 230, 206};
constexpr Color kSharpBadge{194, 184, 166};
constexpr Color kBadgeOutline{96, 74, 56};
constexpr Color kBadgeText{46, 28, 18};
constexpr Color kFretNumberColor{206, 206, 212};
constexpr Font kNameFont{12, true};
constexpr Font kFretNumberFont{12, false};
constexpr int kLabelledFrets = 12;

// Advance of a character of Arial in ems, for centring short texts (note names, numbers).
double advanceEm(char c, bool bold)
{
    switch (c) {
    case 'C':
    case 'D':
        return 0.722;
    case 'G':
        return 0.778;
    case 'F':
        return 0.611;
    case 'A':
    case 'B':
        return bold ? 0.722 : 0.667;
    case 'E':
        return 0.667;
    default:
        return 0.556; // digits, '#', 'b'
    }
}

// Width of a text in pixels and the distance from its top to the middle of its capitals.
double textWidth(std::string_view text, const Font& font)
{
    const double em = font.height * 0.87;
    double w = 0;
    for (char c : text)
        w += advanceEm(c, font.bold) * em;
    return w;
}
double capsMiddle(const Font& font)
{
    return font.height * 0.87 * 0.548;
}

// Writes a short text centred on (cx, cy).
void drawCentredText(Canvas& canvas, double cx, double cy, std::string_view text, const Font& font)
{
    const int x = static_cast<int>(std::lround(cx - textWidth(text, font) / 2));
    const int y = static_cast<int>(std::lround(cy - capsMiddle(font)));
    canvas.drawText(x, y, text);
}

// Name of a pitch character as the fretboard writes it ("F#").
std::string noteName(char pitch)
{
    if (isSharpDigit(pitch))
        return std::string(1, naturalOfSharp(pitch)) + "#";
    return std::string(1, pitch);
}

std::string_view sixStrings(std::string_view openStrings)
{
    return openStrings.size() == kStringCount ? openStrings : kOpenStrings;
}

void drawNoteNames(Canvas& canvas, const NeckGeometry& neck, int left, int top, std::string_view openStrings)
{
    canvas.setFont(kNameFont);
    canvas.setTextColor(kBadgeText);
    canvas.setPen(Pen{PenStyle::Solid, 1, kBadgeOutline});
    for (int s = 0; s < kStringCount; ++s) {
        char pitch = sixStrings(openStrings)[static_cast<std::size_t>(s)];
        for (int j = 0; j <= kLabelledFrets; ++j, pitch = semitoneUp(pitch)) {
            const std::string name = noteName(pitch);
            const double cx = left + neck.markCentreX(j);
            const double cy = top + kUpperNeckOffset + neck.markCentreY(j, s);
            const double h = std::min(15.0, neck.spacingAt(neck.markCentreX(j)) - 2);
            const double w = name.size() > 1 ? 25 : 19;
            canvas.setBrush(isSharpDigit(pitch) ? kSharpBadge : kNaturalBadge);
            canvas.drawEllipse(
                static_cast<int>(std::lround(cx - w / 2)), static_cast<int>(std::lround(cy - h / 2)),
                static_cast<int>(std::lround(cx + w / 2)), static_cast<int>(std::lround(cy + h / 2)));
            drawCentredText(canvas, cx + 0.5, cy + 0.5, name, kNameFont);
        }
    }
}

// Fret numbers in the strip between the two necks, each under its fret's space.
void drawFretNumbers(Canvas& canvas, const NeckGeometry& neck, int left, int top)
{
    canvas.setFont(kFretNumberFont);
    canvas.setTextColor(kFretNumberColor);
    for (int j = 1; j <= kLabelledFrets; ++j) {
        const double x = neck.markCentreX(j);
        const double upperBottom = kUpperNeckOffset + neck.bottomAt(x) + neck.sideAt(x);
        const double lowerTop = neck.topAt(x);
        drawCentredText(canvas, left + x + 0.5, top + (upperBottom + lowerTop) / 2, std::to_string(j),
                        kFretNumberFont);
    }
}

} // namespace

const std::array<FretPosition, kFretPositionCount>& fretPositions()
{
    return kFretPositions;
}

int markX(int fret)
{
    return kFretPositions[static_cast<std::size_t>(fret)].x;
}

int markY(int fret, int string)
{
    const FretPosition& p = kFretPositions[static_cast<std::size_t>(fret)];
    return p.yOfString0 + static_cast<int>(p.stringSpacing * string);
}

std::string openStringPitches(const GuitarTuning& tuning)
{
    std::string pitches;
    for (int s = 0; s < kStringCount; ++s) {
        char pitch = 'C';
        for (int k = 0; k < tuning.openKey(s) % 12; ++k)
            pitch = semitoneUp(pitch);
        pitches += pitch;
    }
    return pitches;
}

std::vector<ScaleMark> scaleMarks(char root, std::string_view pattern, std::string_view openStrings)
{
    std::vector<ScaleMark> marks;
    if (pitchClassIndex(root) < 0)
        return marks;
    const std::string notes = buildScaleFromPattern(root, pattern, 3).pitches;
    // The last character is the root an octave up: it names no degree of its own.
    for (std::size_t d = 0; d + 1 < notes.size(); ++d) {
        for (int s = 0; s < kStringCount; ++s) {
            char pitch = sixStrings(openStrings)[static_cast<std::size_t>(s)];
            for (int j = 0; j <= kHighestMarkedFret; ++j, pitch = semitoneUp(pitch))
                if (pitch == notes[d])
                    marks.push_back({s, j, static_cast<int>(d), notes[d] == root});
        }
    }
    return marks;
}

void drawFretboard(Canvas& canvas, int left, int top, std::string_view openStrings)
{
    const NeckGeometry neck;
    shadeFretboard(canvas, neck, left, top);
    // The labelled neck needs no inlays: its names show every fret.
    drawInlays(canvas, neck, left, top);
    drawNoteNames(canvas, neck, left, top, openStrings);
    drawFretNumbers(canvas, neck, left, top);
}

void drawScaleMarks(Canvas& canvas, char root, std::string_view pattern, int originX, int originY,
                    std::string_view openStrings)
{
    canvas.setBrush(kMarkFill);
    canvas.setFont(kDegreeFont);
    canvas.setTextColor(kDegreeColor);
    for (const ScaleMark& m : scaleMarks(root, pattern, openStrings)) {
        const int x = markX(m.fret) + originX;
        const int y = markY(m.fret, m.string) + originY;
        canvas.setPen(Pen{PenStyle::Solid, 1, m.root ? kRed : kWhite});
        canvas.drawEllipse(x - 2, y - 2, x - 2 + kMarkDiameter, y - 2 + kMarkDiameter);
        canvas.drawText(x + 3, y - 1, std::to_string(m.degree + 1));
    }
}

} // namespace tonvela
