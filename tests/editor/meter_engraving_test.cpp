// Triplets and meters on the staff: triplet groups beamed by the beat and marked with a "3"
// (with a bracket when not beamed together), eighth-note meters beamed by three eighths, 2/2
// and 3/2 by the half, and each meter's signature drawn as numbers or as its C.

#include "drawing/recording_canvas.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "editor/tuplet_marks.h"
#include "score/time_signature.h"

#include <gtest/gtest.h>

#include <vector>

namespace tonvela {
namespace {

using testing::addNote;
using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

class MeterEngravingTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        sheet = testing::sheetWithTracks(1);
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(1000, 800);
    }
    Track& track() { return *sheet->trackAt(0); }
    const NoteLayout& at(int i) const { return view->noteLayout(0, i); }
    // The first note of each beam group, with the number of notes it holds.
    std::vector<std::pair<int, int>> beams()
    {
        layoutRows(*view);
        std::vector<std::pair<int, int>> out;
        for (int i = 0; i < track().count; ++i)
            if (at(i).beamCount > 0)
                out.emplace_back(i, at(i).beamCount + 1);
        return out;
    }
    std::vector<TupletMark> marks()
    {
        layoutRows(*view);
        return tupletMarks(track(), *view->layout().track(0), 0, track().count);
    }
    void draw()
    {
        layoutRows(*view);
        canvas.clear();
        drawSheet(*view, canvas, false);
    }
    std::vector<Call> glyphs(int id) const
    {
        std::vector<Call> out;
        for (const Call& c : canvas.callsOf(Kind::Glyph))
            if (c.v[0] == id)
                out.push_back(c);
        return out;
    }
    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
    RecordingCanvas canvas{1000, 800};
};

TEST_F(MeterEngravingTest, EighthMetersBeamByThreeEighthsAndHalfMetersByTheHalf)
{
    struct Case {
        int code;
        int eighths;
        std::vector<std::pair<int, int>> groups;
    };
    const Case cases[] = {
        {kTimeSig128, 12, {{0, 3}, {3, 3}, {6, 3}, {9, 3}}},
        {kTimeSig98, 9, {{0, 3}, {3, 3}, {6, 3}}},
        {kTimeSig48, 4, {{0, 2}, {2, 2}}},
        {kTimeSig22, 8, {{0, 4}, {4, 4}}},
        {kTimeSig32, 12, {{0, 4}, {4, 4}, {8, 4}}},
        {kTimeSig44, 8, {{0, 2}, {2, 2}, {4, 2}, {6, 2}}},
    };
    for (const Case& c : cases) {
        SetUp();
        track().timeSig = c.code;
        for (int i = 0; i < c.eighths; ++i)
            addNote(track(), kTypeEighth, 2);
        EXPECT_EQ(beams(), c.groups) << timeSignatureInfo(c.code).text;
    }
}

TEST_F(MeterEngravingTest, TripletEighthsBeamThreeToABeatUnderOneThreeWithoutABracket)
{
    // 4/4: six triplet eighths, a quarter, a triplet quarter and a triplet eighth
    for (int i = 0; i < 6; ++i)
        addNote(track(), kTypeEighth, 2 - i % 3, kFlagTriplet);
    addNote(track(), kTypeQuarter, 2);
    addNote(track(), kTypeQuarter, 2, kFlagTriplet);
    addNote(track(), kTypeEighth, 2, kFlagTriplet);
    EXPECT_EQ(beams(), (std::vector<std::pair<int, int>>{{0, 3}, {3, 3}}));
    const std::vector<TupletMark> m = marks();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(std::vector<int>({m[0].first, m[0].last, m[1].first, m[1].last, m[2].first, m[2].last}),
              std::vector<int>({0, 2, 3, 5, 7, 8}));
    EXPECT_FALSE(m[0].bracket);
    EXPECT_FALSE(m[1].bracket);
    EXPECT_TRUE(m[2].bracket) << "a quarter and an eighth share no beam";
    // All in one measure, on one row; the whole group lies under the number.
    for (const TupletMark& t : m) {
        EXPECT_TRUE(t.above);
        EXPECT_LE(t.left, at(t.first).x);
        EXPECT_GE(t.right, at(t.last).x);
        for (int i = t.first; i <= t.last; ++i)
            EXPECT_LE(t.edge, at(i).y + 1) << "the number keeps clear of stem " << i;
    }
    EXPECT_EQ(at(8).measureIndex, 0) << "nine items fill exactly one 4/4 measure";

    draw();
    const auto threes = glyphs(kGlyphDigit3);
    // The time signature draws no 3 in 4/4: every 3 is a triplet's, small, over its group.
    ASSERT_EQ(threes.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_LT(threes[k].scale, 1.0);
        EXPECT_GE(threes[k].v[1], m[k].left);
        EXPECT_LE(threes[k].v[1], m[k].right);
        EXPECT_LT(threes[k].v[2], m[k].edge);
    }
}

TEST_F(MeterEngravingTest, ABracketStandsOverUnbeamedTripletsAndAMeasureEndClosesAGroup)
{
    // 2/4: triplet quarters (never beamed) x3 | two triplet eighths and a triplet eighth rest,
    // then a quarter; stems down high on the staff put the marks below
    track().timeSig = kTimeSig24;
    for (int i = 0; i < 3; ++i)
        addNote(track(), kTypeQuarter, -10, kFlagTriplet);
    addNote(track(), kTypeEighth, -10, kFlagTriplet);
    addNote(track(), kTypeEighth, -10, kFlagTriplet);
    addNote(track(), kTypeEighth, 0, kFlagTriplet | kFlagRest);
    addNote(track(), kTypeQuarter, -10);
    const std::vector<TupletMark> m = marks();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].count, 3);
    EXPECT_TRUE(m[0].bracket);
    EXPECT_FALSE(m[0].above);
    EXPECT_EQ(m[1].count, 3);
    EXPECT_TRUE(m[1].bracket) << "the rest is under no beam";
    EXPECT_EQ(at(6).measureIndex, 1);

    draw();
    // Each bracket: two hooks and a line broken for the number, below the notes.
    int hooks = 0;
    for (const Call& c : canvas.callsOf(Kind::Line))
        if (c.v[0] == c.v[2] && c.v[0] == m[0].left && c.v[1] > m[0].edge && c.v[3] > m[0].edge)
            ++hooks;
    EXPECT_EQ(hooks, 1);
    EXPECT_EQ(glyphs(kGlyphDigit3).size(), 2u);
}

TEST_F(MeterEngravingTest, SignaturesDrawTheirNumbersOrTheirC)
{
    struct Case {
        int code;
        std::vector<int> glyphIds;
    };
    const Case cases[] = {
        {kTimeSigSingleGlyph, {kGlyphCommonTime}},  {kTimeSig22, {kGlyphCutTime}},
        {kTimeSig44, {kGlyphDigit4, kGlyphDigit4}}, {kTimeSig128, {kGlyphDigit1, kGlyphDigit2, kGlyphDigit8}},
        {kTimeSig32, {kGlyphDigit3, kGlyphDigit2}}, {kTimeSig48, {kGlyphDigit4, kGlyphDigit8}},
    };
    const std::vector<int> signs{kGlyphCommonTime, kGlyphCutTime, kGlyphDigit1, kGlyphDigit2,
                                 kGlyphDigit3,     kGlyphDigit4,  kGlyphDigit8};
    for (const Case& c : cases) {
        SetUp();
        track().timeSig = c.code;
        addNote(track(), kTypeWhole, 2);
        draw();
        std::vector<int> drawn;
        std::vector<int> xs;
        for (const Call& call : canvas.callsOf(Kind::Glyph))
            if (std::find(signs.begin(), signs.end(), call.v[0]) != signs.end()) {
                drawn.push_back(call.v[0]);
                xs.push_back(call.v[1]);
            }
        EXPECT_EQ(drawn, c.glyphIds) << timeSignatureInfo(c.code).text;
        if (c.code == kTimeSig128) {
            ASSERT_EQ(xs.size(), 3u);
            EXPECT_LT(xs[0], xs[1]) << "the 1 stands left of the 2";
            EXPECT_GT(xs[2], xs[0]);
            EXPECT_LT(xs[2], xs[1]) << "the 8 stands under the middle of the 12";
            EXPECT_GT(at(0).x, xs[1] + 10) << "the first note leaves room for two digits";
        }
    }
}

} // namespace
} // namespace tonvela
