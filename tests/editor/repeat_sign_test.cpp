// The repeat sign that ends a measure marked to repeat: two dots in the spaces beside the middle
// line, the thin bar line and a thick one, wherever the measure ends.

#include "drawing/recording_canvas.h"
#include "editor/example_sheets.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tonvela {
namespace {

using testing::addNote;
using testing::addQuarters;
using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

// What a drawn sign is made of, in device units.
struct DrawnSign {
    Call thick;
    std::vector<Call> dots;
};

class RepeatSignTest : public ::testing::Test {
  protected:
    // One track, a window 1000 wide: four measures of 232 units a row at zoom 1.
    void makeSheet(float zoom = 1.0f, int tracks = 1)
    {
        sheet = testing::sheetWithTracks(tracks);
        sheet->zoomamount = zoom;
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(1000, 800);
    }
    void draw(bool printing = false)
    {
        layoutRows(*view);
        canvas.clear();
        drawSheet(*view, canvas, printing);
    }
    Track& track() { return *sheet->trackAt(0); }

    // The thick bars (black filled rectangles) and dots (black filled ellipses), each dot pair
    // given to the thick bar right of it.
    std::vector<DrawnSign> signs() const
    {
        std::vector<DrawnSign> out;
        for (const Call& c : canvas.callsOf(Kind::FillRect))
            if (c.fill == kBlack)
                out.push_back({c, {}});
        for (const Call& e : canvas.callsOf(Kind::Ellipse)) {
            if (!e.hasBrush || !(e.brush == kBlack))
                continue;
            const int cx = (e.v[0] + e.v[2]) / 2;
            const int cy = (e.v[1] + e.v[3]) / 2;
            for (DrawnSign& s : out)
                if (cx < s.thick.v[0] && cx > s.thick.v[0] - 20 && cy > s.thick.v[1] && cy < s.thick.v[3])
                    s.dots.push_back(e);
        }
        // A thick line without dots is a track's final bar line, not a repeat sign.
        std::erase_if(out, [](const DrawnSign& s) { return s.dots.empty(); });
        std::sort(out.begin(), out.end(), [](const DrawnSign& a, const DrawnSign& b) {
            return a.thick.v[1] != b.thick.v[1] ? a.thick.v[1] < b.thick.v[1] : a.thick.v[0] < b.thick.v[0];
        });
        return out;
    }
    bool hasLine(int x1, int y1, int x2, int y2) const
    {
        for (const Call& c : canvas.callsOf(Kind::Line))
            if (c.v[0] == x1 && c.v[1] == y1 && c.v[2] == x2 && c.v[3] == y2)
                return true;
        return false;
    }
    // Checks one sign against the geometry of a thin line at `thinX` on row r (sheet units).
    void expectSignAt(const DrawnSign& s, int r, int thinX, bool tablature = false) const
    {
        const StaffRow& row = view->row(r);
        const RepeatSignGeometry g = repeatSignGeometry(row, thinX, tablature);
        const auto sc = [this](int v) { return view->scaled(v); };
        EXPECT_EQ(s.thick.v[0], sc(g.thickLeft));
        EXPECT_GE(s.thick.v[2] - s.thick.v[0], 2) << "never thinner than two pixels";
        EXPECT_EQ(s.thick.v[1], sc(row.top));
        EXPECT_EQ(s.thick.v[3], sc(row.top + (tablature ? 5 : 4) * row.spacing) + 1);
        ASSERT_EQ(s.dots.size(), 2u);
        for (std::size_t k = 0; k < 2; ++k) {
            const Call& d = s.dots[k];
            EXPECT_EQ((d.v[0] + d.v[2] - 1) / 2, sc(thinX - kRepeatDotGap)) << k;
            EXPECT_EQ((d.v[1] + d.v[3] - 1) / 2, sc(g.dotY[k])) << k;
        }
        // The dots sit in the spaces either side of the middle line.
        const int d = row.spacing;
        EXPECT_GT(g.dotY[0], row.top + d);
        EXPECT_LT(g.dotY[0], row.top + 2 * d);
        EXPECT_GT(g.dotY[1], row.top + (tablature ? 3 : 2) * d);
        EXPECT_LT(g.dotY[1], row.top + (tablature ? 4 : 3) * d);
    }

    // The opening signs: thick bars with their two dots right of them (a closing sign's dots
    // stand left of its thick line), and the dots that follow a closing sign's thick line.
    struct OpeningSign {
        int thickLeft = 0; // device units; 0 when the sign shares a closing sign's thick line
        int dotX = 0;
        int row = 0;
    };
    std::vector<int> dotCentresRightOf(int x, int within, int rowTop, int rowBottom) const
    {
        std::vector<int> out;
        for (const Call& e : canvas.callsOf(Kind::Ellipse)) {
            if (!e.hasBrush || !(e.brush == kBlack))
                continue;
            const int cx = (e.v[0] + e.v[2] - 1) / 2;
            const int cy = (e.v[1] + e.v[3] - 1) / 2;
            if (cx > x && cx <= x + within && cy > rowTop && cy < rowBottom)
                out.push_back(cx);
        }
        return out;
    }
    bool hasThickBar(int left, int rowTop) const
    {
        for (const Call& c : canvas.callsOf(Kind::FillRect))
            if (c.fill == kBlack && c.v[0] == left && c.v[1] == rowTop)
                return true;
        return false;
    }

    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
    RecordingCanvas canvas{1000, 800};
};

TEST_F(RepeatSignTest, MarkedMeasuresEndWithTheSignInsideARowAtItsEndAndAfterTheLastMeasure)
{
    // GIVEN nine measures of four quarters, four a row: rows 0 and 1 full, measure 9 alone
    makeSheet();
    addQuarters(track(), 36);
    draw();
    ASSERT_EQ(view->layout().measuresPerRow, 4);
    EXPECT_TRUE(signs().empty()) << "no marks, no signs";
    const int mw = view->layout().measureWidth;
    const int staffEnd = kStaffLeft + view->row(0).length;

    // WHEN measures 2 (inside row 0), 4 (its last) and 9 (the last of the track) are marked
    track().measureRepeats.assign({2, 4, 9});
    draw();

    // THEN three signs: at the bar line of measure 3, at the end of row 0, after measure 9
    const std::vector<DrawnSign> drawn = signs();
    ASSERT_EQ(drawn.size(), 3u);
    const int bar3 = view->measures(0)[3].x;
    ASSERT_EQ(bar3, 2 * mw);
    expectSignAt(drawn[0], 0, bar3);
    expectSignAt(drawn[1], 0, staffEnd - kRepeatSignWidth);
    EXPECT_EQ(drawn[1].thick.v[2], staffEnd) << "the thick line ends the staff";
    EXPECT_TRUE(hasLine(staffEnd - kRepeatSignWidth, view->row(0).top, staffEnd - kRepeatSignWidth,
                        view->row(0).top + 36))
        << "the row end gets a thin line of its own";
    const NoteLayout& last = view->noteLayout(0, 35);
    ASSERT_EQ(last.rowIndex, 2);
    const int afterNine = std::max(mw, last.x + kRepeatAfterNote);
    ASSERT_LT(afterNine, staffEnd - kRepeatSignWidth) << "measure 9 ends inside its row";
    expectSignAt(drawn[2], 2, afterNine);
    EXPECT_GT(afterNine, last.x + 15) << "after the last note's head";

    // A printed page shows the same signs.
    draw(true);
    EXPECT_EQ(signs().size(), 3u);
}

TEST_F(RepeatSignTest, AMeasureGoingOnAfterAStaffBreakEndsOnTheNextRow)
{
    // 4/4: two quarters, a staff break inside the measure, two quarters: one measure over two
    // rows; marked, its sign comes after its last note on row 1, not at the end of row 0.
    makeSheet();
    addQuarters(track(), 2);
    addNote(track(), kTypeStaffBreak, 0);
    addQuarters(track(), 2);
    track().measureRepeats.assign({1});
    draw();
    ASSERT_EQ(view->noteLayout(0, 4).rowIndex, 1);
    ASSERT_EQ(view->noteLayout(0, 4).measureIndex, 0);
    const std::vector<DrawnSign> drawn = signs();
    ASSERT_EQ(drawn.size(), 1u);
    expectSignAt(drawn[0], 1, view->noteLayout(0, 4).x + kRepeatAfterNote);

    // A staff break after a full measure ends that measure on its row.
    makeSheet();
    addQuarters(track(), 4);
    addNote(track(), kTypeStaffBreak, 0);
    addQuarters(track(), 4);
    track().measureRepeats.assign({1});
    draw();
    const std::vector<DrawnSign> afterFull = signs();
    ASSERT_EQ(afterFull.size(), 1u);
    expectSignAt(afterFull[0], 0,
                 std::max(view->layout().measureWidth, view->noteLayout(0, 3).x + kRepeatAfterNote));
}

TEST_F(RepeatSignTest, TablatureAndSmallZoomsDrawTheSignToo)
{
    makeSheet(0.5f);
    addQuarters(track(), 12);
    setStaffKind(track(), StaffKind::Tablature);
    track().measureRepeats.assign({1});
    draw();
    const std::vector<DrawnSign> drawn = signs();
    ASSERT_EQ(drawn.size(), 1u);
    const int bar2 = view->measures(0)[2].x;
    expectSignAt(drawn[0], 0, bar2, true);
    // A tablature draws no bar lines of its own, so the sign brings its thin line.
    const int top = view->row(0).top;
    EXPECT_TRUE(hasLine(view->scaled(bar2), view->scaled(top), view->scaled(bar2), view->scaled(top + 45)));
    for (const Call& d : drawn[0].dots)
        EXPECT_GE(d.v[2] - d.v[0], 3) << "a dot keeps a radius of a pixel";
}

TEST_F(RepeatSignTest, EachTrackDrawsTheSignsOfItsOwnMarks)
{
    makeSheet(1.0f, 2);
    addQuarters(*sheet->trackAt(0), 8);
    addQuarters(*sheet->trackAt(1), 8);
    sheet->trackAt(1)->measureRepeats.assign({1});
    draw();
    const std::vector<DrawnSign> drawn = signs();
    ASSERT_EQ(drawn.size(), 1u);
    expectSignAt(drawn[0], 1, view->measures(1)[2].x);
    // Marks beyond the track's measures draw nothing.
    sheet->trackAt(0)->measureRepeats.assign({7, 40});
    draw();
    EXPECT_EQ(signs().size(), 1u);
}

TEST_F(RepeatSignTest, AMarkedMeasureOpensWithTheMirroredSignOnEveryStaff)
{
    // Two tracks of nine measures, four a row; measures 2, 3 (back to back) and 5 (opening row
    // 1) repeat in both.
    makeSheet(1.0f, 2);
    addQuarters(*sheet->trackAt(0), 36);
    addQuarters(*sheet->trackAt(1), 36);
    for (int t = 0; t < 2; ++t)
        sheet->trackAt(t)->measureRepeats.assign({2, 3, 5});
    draw();
    const auto sc = [this](int v) { return view->scaled(v); };
    for (int t = 0; t < 2; ++t) {
        const auto& rec = view->measures(t);
        ASSERT_EQ(rec[5].startsRow, 1) << "measure 5 opens a row";
        const StaffRow& row0 = view->row(rec[2].rowIndex);
        const int top0 = sc(row0.top);
        const int bottom0 = sc(row0.top + 4 * row0.spacing);

        // Measure 2: thick line left of its bar line, dots right of it, before the first head.
        const int bar2 = rec[2].x;
        EXPECT_TRUE(hasThickBar(sc(bar2 - kRepeatSignWidth), top0)) << "track " << t;
        const std::vector<int> dots2 = dotCentresRightOf(sc(bar2), 10, top0, bottom0);
        ASSERT_EQ(dots2.size(), 2u) << "track " << t;
        EXPECT_EQ(dots2[0], sc(bar2 + kRepeatDotGap));
        const NoteLayout& first2 = view->noteLayout(t, 4);
        EXPECT_LT(dots2[0] + 3, sc(first2.x + kHeadUpX - kHeadHalfWidth)) << "clear of the first head";

        // Measure 3 opens where measure 2 closes: :||: with one thick line between the dots.
        const int bar3 = rec[3].x;
        const std::vector<int> closing = dotCentresRightOf(sc(bar3 - 10), 8, top0, bottom0);
        EXPECT_EQ(closing.size(), 2u) << "the closing dots of measure 2";
        EXPECT_TRUE(hasThickBar(sc(bar3 + kRepeatThickGap), top0));
        const int secondThin = bar3 + kRepeatSignWidth + kRepeatThickGap;
        EXPECT_TRUE(hasLine(sc(secondThin), top0, sc(secondThin), bottom0)) << "track " << t;
        EXPECT_EQ(dotCentresRightOf(sc(secondThin), 10, top0, bottom0).size(), 2u);
        EXPECT_FALSE(hasThickBar(sc(bar3 - kRepeatSignWidth), top0)) << "no second thick line";

        // Measure 5 opens row 1: the sign stands after the clef and key, before the first note,
        // with a thin line of its own.
        const StaffRow& row1 = view->row(rec[5].rowIndex);
        const int top1 = sc(row1.top);
        const int thin5 = repeatStartThinX(row1.keySigWidth, rec[5]);
        const NoteLayout& first5 = view->noteLayout(t, 16);
        ASSERT_EQ(first5.rowIndex, rec[5].rowIndex);
        EXPECT_EQ(thin5, first5.x - 23) << "where a bar line stands before a measure's first note";
        EXPECT_TRUE(hasThickBar(sc(thin5 - kRepeatSignWidth), top1));
        EXPECT_TRUE(hasLine(sc(thin5), top1, sc(thin5), sc(row1.top + 4 * row1.spacing)));
        EXPECT_EQ(dotCentresRightOf(sc(thin5), 10, top1, sc(row1.top + 4 * row1.spacing)).size(), 2u);
    }
    // The closing signs are all still there: measures 2, 3 and 5 on each of the two tracks.
    EXPECT_EQ(signs().size(), 6u);
}

TEST_F(RepeatSignTest, ARepeatFromThePiecesStartDrawsNoOpeningSignOverTheTimeSignature)
{
    // GIVEN two tracks whose passage (or marked measure) is the piece's first measure: its
    // opening sign would stand where the time signature is. A repeat back to the start needs
    // none, as engravers leave it out; the closing sign says it all.
    for (const bool passage : {true, false}) {
        makeSheet(1.0f, 2);
        addQuarters(*sheet->trackAt(0), 16);
        addQuarters(*sheet->trackAt(1), 16);
        if (passage) {
            sheet->setRepeatRanges({{1, 2, 0, 0}});
        } else {
            for (int t = 0; t < 2; ++t)
                sheet->trackAt(t)->measureRepeats.assign({1});
        }
        draw();
        const auto sc = [this](int v) { return view->scaled(v); };
        for (int t = 0; t < 2; ++t) {
            const StaffRow& row = view->row(t);
            const int first = view->noteLayout(t, 0).x;
            // THEN nothing black and filled stands between the staff's start and the first note,
            // and no dots
            for (const Call& c : canvas.callsOf(Kind::FillRect)) {
                if (c.fill == kBlack && c.v[1] == sc(row.top)) {
                    EXPECT_GT(c.v[0], sc(first)) << (passage ? "passage" : "measure") << ", track " << t;
                }
            }
            EXPECT_TRUE(dotCentresRightOf(0, sc(first), sc(row.top), sc(row.top + 4 * row.spacing)).empty())
                << (passage ? "passage" : "measure") << ", track " << t;
        }
        // AND the closing signs stay: one a staff.
        EXPECT_EQ(signs().size(), 2u) << (passage ? "passage" : "measure");
    }
}

TEST_F(RepeatSignTest, ARepeatedPassageOpensAndClosesOnEveryStaffAndItsEndingsAreBracketedOverTheTopStaff)
{
    // GIVEN two tracks of nine measures, four a row: the passage 2-5, measure 5 (opening the
    // second system) its first ending, measure 6 its second
    makeSheet(1.0f, 2);
    addQuarters(*sheet->trackAt(0), 36);
    addQuarters(*sheet->trackAt(1), 36);
    sheet->setRepeatRanges({{2, 5, 1, 1}});
    draw();
    const auto sc = [this](int v) { return view->scaled(v); };

    // THEN every staff opens measure 2 with the mirrored sign and closes measure 5 at the bar
    // line of measure 6, and no other measure carries a sign
    const std::vector<DrawnSign> closing = signs();
    ASSERT_EQ(closing.size(), 2u);
    for (int t = 0; t < 2; ++t) {
        const auto& rec = view->measures(t);
        ASSERT_EQ(rec[5].startsRow, 1);
        ASSERT_EQ(rec[6].rowIndex, rec[5].rowIndex);
        expectSignAt(closing[static_cast<std::size_t>(t)], rec[6].rowIndex, rec[6].x);
        const StaffRow& row = view->row(rec[2].rowIndex);
        EXPECT_TRUE(hasThickBar(sc(rec[2].x - kRepeatSignWidth), sc(row.top))) << "track " << t;
        EXPECT_EQ(dotCentresRightOf(sc(rec[2].x), 10, sc(row.top), sc(row.top + 36)).size(), 2u) << t;
    }

    // AND over the top staff of the second system: "1." over measure 5, closed at its end, and
    // "2." over measure 6, open
    const auto& rec = view->measures(0);
    const StaffRow& top = view->row(rec[5].rowIndex);
    ASSERT_EQ(top.index % 2, 0) << "the top staff is track 0's";
    const int y = top.top - kVoltaRise;
    const int left1 = repeatStartThinX(top.keySigWidth, rec[5]) - 12;
    const int right1 = rec[6].x - 3;
    EXPECT_TRUE(hasLine(sc(left1), sc(y), sc(right1), sc(y)));
    EXPECT_TRUE(hasLine(sc(left1), sc(y), sc(left1), sc(y + kVoltaHook)));
    EXPECT_TRUE(hasLine(sc(right1), sc(y), sc(right1), sc(y + kVoltaHook))) << "the first ending is closed";
    const int left2 = rec[6].x + kRepeatSignWidth;
    const int right2 = rec[7].x - 3;
    EXPECT_TRUE(hasLine(sc(left2), sc(y), sc(right2), sc(y)));
    EXPECT_TRUE(hasLine(sc(left2), sc(y), sc(left2), sc(y + kVoltaHook)));
    EXPECT_FALSE(hasLine(sc(right2), sc(y), sc(right2), sc(y + kVoltaHook))) << "the second ending is open";
    std::vector<std::pair<std::string, int>> labels;
    for (const Call& c : canvas.callsOf(Kind::Text))
        if (c.text == "1." || c.text == "2.")
            labels.emplace_back(c.text, c.v[0]);
    const std::vector<std::pair<std::string, int>> expected{{"1.", sc(left1 + 4)}, {"2.", sc(left2 + 4)}};
    EXPECT_EQ(labels, expected) << "once each, over the top staff only";
    // No bracket line over the other systems or the lower staff.
    for (const Call& c : canvas.callsOf(Kind::Line)) {
        if (c.v[1] != c.v[3] || c.v[2] - c.v[0] <= 20)
            continue;
        for (int r : {0, 1, 3, 4, 5}) {
            EXPECT_NE(c.v[1], sc(view->row(r).top - kVoltaRise)) << "row " << r;
        }
    }
}

TEST_F(RepeatSignTest, AnEndingOverTwoSystemsIsBracketedOnEachAndLabelledOnce)
{
    // One track, four measures a row: the passage 1-6 whose last three measures (4, 5, 6) are the
    // first ending: the bracket runs from measure 4 to the end of row 0 and on over 5 and 6.
    makeSheet();
    addQuarters(track(), 36);
    sheet->setRepeatRanges({{1, 6, 3, 0}});
    draw();
    const auto sc = [this](int v) { return view->scaled(v); };
    const auto& rec = view->measures(0);
    ASSERT_EQ(rec[5].rowIndex, 1);
    const int y0 = view->row(0).top - kVoltaRise;
    const int y1 = view->row(1).top - kVoltaRise;
    const int staffEnd = kStaffLeft + view->row(0).length;
    EXPECT_TRUE(hasLine(sc(rec[4].x + kRepeatSignWidth), sc(y0), sc(staffEnd - 3), sc(y0)));
    EXPECT_FALSE(hasLine(sc(staffEnd - 3), sc(y0), sc(staffEnd - 3), sc(y0 + kVoltaHook))) << "goes on";
    const int left = repeatStartThinX(view->row(1).keySigWidth, rec[5]) - 12;
    EXPECT_TRUE(hasLine(sc(left), sc(y1), sc(rec[7].x - 3), sc(y1)));
    EXPECT_FALSE(hasLine(sc(left), sc(y1), sc(left), sc(y1 + kVoltaHook))) << "no new start";
    EXPECT_TRUE(hasLine(sc(rec[7].x - 3), sc(y1), sc(rec[7].x - 3), sc(y1 + kVoltaHook)));
    int labels = 0;
    for (const Call& c : canvas.callsOf(Kind::Text))
        labels += c.text == "1." ? 1 : 0;
    EXPECT_EQ(labels, 1);
}

} // namespace
} // namespace tonvela
