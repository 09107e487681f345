// The scale diagram drawn on the recording canvas: where the marks of a scale go, their
// numbers and outlines, the fretboard picture, scrolling and the paint interval.

#include "drawing/recording_canvas.h"
#include "harmony/fretboard.h"
#include "harmony/scale_diagram.h"
#include "theory/pitch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace tonvela {
namespace {

using Kind = RecordingCanvas::Kind;

// The fret table as the diagram is specified: mark x, y of the highest string, spacing.
struct Fret {
    int x, y0;
    double spacing;
};
const Fret kFrets[] = {{10, 162, 17},  {70, 162, 17},    {159, 160, 18}, {235, 159, 18.5},
                       {305, 158, 19}, {375, 157, 19.5}, {440, 157, 20}, {500, 156, 20},
                       {560, 155, 20}, {615, 155, 20.5}, {668, 154, 21}, {717, 153, 21}};
constexpr Color kMagenta{255, 0, 255};
const char* const kMajor = "WWHWWWH";
const char* const kBlues = "3WHH3W";

// One mark as the canvas received it: a circle followed by its degree number.
struct DrawnMark {
    int string = -1, fret = -1;
    std::string number;
    Color outline;
    Color numberColour;
    int textX = 0, textY = 0; // where the number is written, from the mark position
};

// Reads the marks back from the canvas. A circle's box starts 2 pixels up and left of the mark
// position (fret x - 3 + dx, string y + 17 + dy) and is 19 pixels wide and high.
std::vector<DrawnMark> drawnMarks(const RecordingCanvas& canvas, int dx = 0, int dy = 0)
{
    std::vector<DrawnMark> marks;
    const auto& calls = canvas.calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const auto& c = calls[i];
        if (c.kind != Kind::Ellipse || c.v[2] - c.v[0] != 19 || c.v[3] - c.v[1] != 19)
            continue;
        DrawnMark m;
        const int x = c.v[0] + 2 - dx, y = c.v[1] + 2 - dy;
        for (int j = 0; j < 12; ++j)
            for (int s = 0; s < 6; ++s)
                if (x == kFrets[j].x - 3 && y == kFrets[j].y0 + static_cast<int>(kFrets[j].spacing * s) + 17)
                    m.fret = j, m.string = s;
        EXPECT_GE(m.fret, 0) << "a circle off the fret table at " << x << ", " << y;
        m.outline = c.pen.color;
        EXPECT_EQ(c.pen.width, 1);
        if (i + 1 < calls.size() && calls[i + 1].kind == Kind::Text) {
            m.number = calls[i + 1].text;
            m.numberColour = calls[i + 1].textColor;
            m.textX = calls[i + 1].v[0] - c.v[0] - 2;
            m.textY = calls[i + 1].v[1] - c.v[1] - 2;
        }
        marks.push_back(m);
    }
    return marks;
}

std::vector<DrawnMark> paintedMarks(char root, const char* pattern)
{
    ScaleDiagramView view;
    view.setClientSize(kFretboardWidth, kFretboardHeight);
    view.setSelection({root, pattern});
    RecordingCanvas canvas(kFretboardWidth, kFretboardHeight);
    view.paint(canvas, nullptr);
    return drawnMarks(canvas);
}

// fret -> number on one string.
std::map<int, std::string> numbersOnString(const std::vector<DrawnMark>& marks, int string)
{
    std::map<int, std::string> out;
    for (const DrawnMark& m : marks) {
        if (m.string == string) {
            EXPECT_TRUE(out.emplace(m.fret, m.number).second) << "two marks at fret " << m.fret;
        }
    }
    return out;
}

class FakePicture : public Picture {
  public:
    int width() const override { return kFretboardWidth; }
    int height() const override { return kFretboardHeight; }
};

TEST(ScaleDiagramMarksTest, AMajorOnTheHighEStringNumbersEveryDegreeAndCirclesTheRootInRed)
{
    const auto marks = paintedMarks('A', kMajor);
    const std::map<int, std::string> expected{{0, "5"}, {2, "6"}, {4, "7"}, {5, "1"},
                                              {7, "2"}, {9, "3"}, {10, "4"}};
    EXPECT_EQ(numbersOnString(marks, 0), expected);
    for (const DrawnMark& m : marks) {
        EXPECT_EQ(m.outline, m.number == "1" ? kRed : kWhite) << "string " << m.string << " fret " << m.fret;
        EXPECT_EQ(m.numberColour, kMagenta);
        EXPECT_EQ(m.textX, 3) << "the number is written at (x + 3, y - 1)";
        EXPECT_EQ(m.textY, -1);
    }
    // Seven degrees on six strings, less the three that would lie at fret 11 (F#, C#, G#).
    EXPECT_EQ(marks.size(), 39u);
    // The low E string repeats the high one; the A string starts with the root.
    EXPECT_EQ(numbersOnString(marks, 5), expected);
    EXPECT_EQ(numbersOnString(marks, 4).at(0), "1");
}

TEST(ScaleDiagramMarksTest, ABluesMarksSixDegreesAndNothingPastTheTenthFret)
{
    const auto marks = paintedMarks('A', kBlues);
    std::set<std::string> numbers;
    for (const DrawnMark& m : marks) {
        numbers.insert(m.number);
        EXPECT_LE(m.fret, 10);
    }
    EXPECT_EQ(numbers, (std::set<std::string>{"1", "2", "3", "4", "5", "6"}));
    // D sharp, degree 4: fret 4 of the B string, and on the high E string only at fret 11.
    EXPECT_EQ(numbersOnString(marks, 1).at(4), "4");
    for (const auto& [fret, number] : numbersOnString(marks, 0))
        EXPECT_NE(number, "4") << "at fret " << fret;
    EXPECT_EQ(numbersOnString(marks, 0),
              (std::map<int, std::string>{{0, "5"}, {3, "6"}, {5, "1"}, {8, "2"}, {10, "3"}}));
}

TEST(ScaleDiagramMarksTest, ScrollingMovesThePictureAndTheMarksTogether)
{
    ScaleDiagramView view;
    view.setClientSize(300, 200);
    view.setSelection({'C', kMajor});
    ASSERT_TRUE(view.setPosition(ScrollAxis::Horizontal, 120));
    ASSERT_TRUE(view.setPosition(ScrollAxis::Vertical, 30));
    RecordingCanvas canvas(300, 200);
    const FakePicture picture;
    view.paint(canvas, &picture);

    const auto& calls = canvas.calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, Kind::FillRect);
    EXPECT_EQ(calls[0].fill, (Color{128, 128, 128}));
    EXPECT_EQ(std::vector<int>(calls[0].v, calls[0].v + 4), (std::vector<int>{0, 0, 300, 200}));
    EXPECT_EQ(calls[1].kind, Kind::Picture);
    EXPECT_EQ(std::vector<int>(calls[1].v, calls[1].v + 4), (std::vector<int>{-120, -30, 819, 314}));
    const auto marks = drawnMarks(canvas, -120, -30);
    // C major: the root C on the B string's first fret.
    const auto onB = numbersOnString(marks, 1);
    ASSERT_TRUE(onB.count(1));
    EXPECT_EQ(onB.at(1), "1");
}

TEST(ScaleDiagramMarksTest, NoMarksBeforeAScaleIsChosenOrForARootOffTheChromaticScale)
{
    ScaleDiagramView view;
    view.setClientSize(400, 300);
    RecordingCanvas canvas(400, 300);
    view.paint(canvas, nullptr);
    EXPECT_TRUE(canvas.callsOf(Kind::Ellipse).empty());
    EXPECT_TRUE(canvas.callsOf(Kind::Text).empty());
    EXPECT_TRUE(scaleMarks('H', kMajor).empty());
    EXPECT_TRUE(scaleMarks('A', "").empty());
}

TEST(ScaleDiagramMarksTest, TheBoardFollowsATablaturesTuningAndCountsFretsFromItsCapo)
{
    // Standard tuning is the board as it always was.
    EXPECT_EQ(openStringPitches(GuitarTuning{}), std::string(kOpenStrings));
    // DADGAD, and Drop D with a capo at 2: every string two semitones up, F# C# A E B E (a sharp
    // is one of the vocabulary's sharp digits).
    const GuitarTuning dadgad{kNamedTunings[2].strings, 0};
    EXPECT_EQ(openStringPitches(dadgad), "DAGDAD");
    const std::string capoDropD = openStringPitches({kNamedTunings[1].strings, 2});
    EXPECT_EQ(capoDropD.substr(2), "AEBE");
    ASSERT_TRUE(isSharpDigit(capoDropD[0]) && isSharpDigit(capoDropD[1])) << capoDropD;
    EXPECT_EQ(naturalOfSharp(capoDropD[0]), 'F');
    EXPECT_EQ(naturalOfSharp(capoDropD[1]), 'C');

    // D major on DADGAD: the open strings are all roots or degrees, the low D a root at fret 0;
    // in standard tuning the low string's open E is the second degree instead.
    const auto marksOn = [](std::string_view strings, int string) {
        std::map<int, ScaleMark> byFret;
        for (const ScaleMark& m : scaleMarks('D', kMajor, strings))
            if (m.string == string)
                byFret.emplace(m.fret, m);
        return byFret;
    };
    const std::string d = openStringPitches(dadgad);
    const auto low = marksOn(d, 5);
    ASSERT_TRUE(low.count(0));
    EXPECT_TRUE(low.at(0).root);
    for (int s = 0; s < 6; ++s)
        EXPECT_TRUE(marksOn(d, s).count(0)) << "open string " << s << " is in D major";
    const auto standardLow = marksOn(kOpenStrings, 5);
    ASSERT_TRUE(standardLow.count(0));
    EXPECT_EQ(standardLow.at(0).degree, 1);
    // Anything but six strings is the standard board.
    EXPECT_EQ(scaleMarks('D', kMajor, "DAD").size(), scaleMarks('D', kMajor).size());

    // The view draws its marks on the strings it is given.
    ScaleDiagramView view;
    view.setClientSize(kFretboardWidth, kFretboardHeight);
    view.setSelection(ScaleSelection{'D', kMajor});
    view.setOpenStrings(d);
    RecordingCanvas canvas(kFretboardWidth, kFretboardHeight);
    view.paint(canvas, nullptr);
    EXPECT_EQ(canvas.callsOf(Kind::Ellipse).size(), scaleMarks('D', kMajor, d).size());
}

// ---- the picture ---------------------------------------------------------------------------

TEST(FretboardPictureTest, FillsThePictureOnceAndNamesEveryNoteOnTheUpperHalf)
{
    RecordingCanvas canvas(kFretboardWidth, kFretboardHeight);
    drawFretboard(canvas, 0, 0);
    // Every pixel of the picture is painted exactly once by the shading runs.
    std::vector<int> covered(kFretboardWidth * kFretboardHeight, 0);
    for (const auto& c : canvas.callsOf(Kind::FillRect)) {
        ASSERT_TRUE(c.v[0] >= 0 && c.v[2] <= kFretboardWidth && c.v[1] >= 0 && c.v[3] <= kFretboardHeight);
        for (int y = c.v[1]; y < c.v[3]; ++y)
            for (int x = c.v[0]; x < c.v[2]; ++x)
                ++covered[static_cast<std::size_t>(y) * kFretboardWidth + static_cast<std::size_t>(x)];
    }
    EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), kFretboardWidth * kFretboardHeight);

    // Note names: thirteen a string (open string to fret 12), all above the middle, each
    // string's names in fret order from left to right.
    std::vector<RecordingCanvas::Call> names;
    for (const auto& t : canvas.callsOf(Kind::Text))
        if (t.text.size() <= 2 && std::isalpha(static_cast<unsigned char>(t.text[0])))
            names.push_back(t);
    ASSERT_EQ(names.size(), 6u * 13u);
    for (const auto& t : names)
        EXPECT_LT(t.v[1] + t.font.height, kFretboardHeight / 2) << t.text;
    const char* const highE[] = {"E", "F", "F#", "G", "G#", "A", "A#", "B", "C", "C#", "D", "D#", "E"};
    for (int j = 0; j < 13; ++j) {
        EXPECT_EQ(names[static_cast<std::size_t>(j)].text, highE[j]);
        if (j > 0) {
            EXPECT_GT(names[static_cast<std::size_t>(j)].v[0], names[static_cast<std::size_t>(j - 1)].v[0]);
        }
    }
    // The open strings from high to low, one column at the left edge.
    std::string open;
    for (std::size_t s = 0; s < 6; ++s)
        open += names[s * 13].text;
    EXPECT_EQ(open, "EBGDAE");
    // The fret numbers 1 to 12 under the labelled neck.
    int numbers = 0;
    for (const auto& t : canvas.callsOf(Kind::Text))
        numbers += std::isdigit(static_cast<unsigned char>(t.text[0])) ? 1 : 0;
    EXPECT_EQ(numbers, 12);
}

TEST(FretboardPictureTest, MarkPositionsFollowTheFretTable)
{
    ASSERT_EQ(fretPositions().size(), 12u);
    for (int j = 0; j < 12; ++j) {
        EXPECT_EQ(markX(j), kFrets[j].x);
        for (int s = 0; s < 6; ++s)
            EXPECT_EQ(markY(j, s), kFrets[j].y0 + static_cast<int>(kFrets[j].spacing * s)) << j << "/" << s;
    }
    EXPECT_EQ(markY(3, 5), 159 + 92) << "18.5 x 5 keeps its whole part";
}

// ---- scrolling and the paint interval ------------------------------------------------------

TEST(ScaleDiagramScrollTest, LinesAndPagesStopAtBothEnds)
{
    ScaleDiagramView view;
    view.setClientSize(450, 300);
    EXPECT_EQ(view.range(ScrollAxis::Horizontal).maximum, 819 - 450);
    EXPECT_EQ(view.range(ScrollAxis::Vertical).maximum, 14);
    EXPECT_FALSE(view.scroll(ScrollAxis::Horizontal, ScrollStep::LineBack)) << "already at the start";
    EXPECT_TRUE(view.scroll(ScrollAxis::Horizontal, ScrollStep::LineForward));
    EXPECT_EQ(view.range(ScrollAxis::Horizontal).position, 10);
    EXPECT_TRUE(view.scroll(ScrollAxis::Horizontal, ScrollStep::PageForward));
    EXPECT_EQ(view.range(ScrollAxis::Horizontal).position, 65);
    EXPECT_TRUE(view.scroll(ScrollAxis::Horizontal, ScrollStep::PageBack));
    EXPECT_TRUE(view.scroll(ScrollAxis::Horizontal, ScrollStep::LineBack));
    EXPECT_EQ(view.range(ScrollAxis::Horizontal).position, 0);
    EXPECT_TRUE(view.scroll(ScrollAxis::Vertical, ScrollStep::LineForward));
    EXPECT_TRUE(view.scroll(ScrollAxis::Vertical, ScrollStep::LineForward));
    EXPECT_EQ(view.range(ScrollAxis::Vertical).position, 14) << "a line stops at the maximum";
    EXPECT_FALSE(view.scroll(ScrollAxis::Vertical, ScrollStep::PageForward));
    EXPECT_TRUE(view.setPosition(ScrollAxis::Horizontal, 5000));
    EXPECT_EQ(view.range(ScrollAxis::Horizontal).position, 369);
    EXPECT_TRUE(view.setPosition(ScrollAxis::Horizontal, -3));
    EXPECT_EQ(view.range(ScrollAxis::Horizontal).position, 0);
}

TEST(ScaleDiagramScrollTest, AWindowLargerThanThePictureHasNoScrollRange)
{
    ScaleDiagramView view;
    view.setClientSize(400, 200);
    ASSERT_TRUE(view.setPosition(ScrollAxis::Horizontal, 300));
    ASSERT_TRUE(view.setPosition(ScrollAxis::Vertical, 100));
    // Growing the window recomputes the maxima and brings the positions back.
    view.setClientSize(900, 400);
    for (ScrollAxis axis : {ScrollAxis::Horizontal, ScrollAxis::Vertical}) {
        EXPECT_EQ(view.range(axis).maximum, 0);
        EXPECT_EQ(view.range(axis).position, 0);
        for (ScrollStep step :
             {ScrollStep::LineForward, ScrollStep::PageForward, ScrollStep::LineBack, ScrollStep::PageBack})
            EXPECT_FALSE(view.scroll(axis, step));
    }
    RecordingCanvas canvas(900, 400);
    const FakePicture picture;
    view.paint(canvas, &picture);
    const auto pictures = canvas.callsOf(Kind::Picture);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].v[0], 0);
    EXPECT_EQ(pictures[0].v[1], 0);
}

TEST(PaintThrottleTest, ASecondPaintWithinTheIntervalWaitsUntilItEnds)
{
    PaintThrottle throttle;
    EXPECT_TRUE(throttle.tryPaint(1000));
    EXPECT_FALSE(throttle.owed());
    // Two paints within 10 ms: the second draws nothing then...
    EXPECT_FALSE(throttle.tryPaint(1010));
    EXPECT_TRUE(throttle.owed());
    EXPECT_EQ(throttle.dueInMs(1010), 1);
    EXPECT_FALSE(throttle.tryPaint(1010)) << "asking again does not make it due sooner";
    // ...and is owed until the 11 ms have passed.
    EXPECT_TRUE(throttle.tryPaint(1011));
    EXPECT_FALSE(throttle.owed());
    EXPECT_EQ(throttle.dueInMs(1011), 11);
    // A forced paint also starts a new interval.
    throttle.painted(2000);
    EXPECT_FALSE(throttle.tryPaint(2005));
    EXPECT_TRUE(throttle.tryPaint(2050));
}

} // namespace
} // namespace tonvela
