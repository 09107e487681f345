#include "drawing/recording_canvas.h"
#include "editor/example_sheets.h"
#include "editor/layout.h"
#include "editor/lyric_spacing.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace tonvela {
namespace {

using testing::addNote;
using Kind = RecordingCanvas::Kind;
using Call = RecordingCanvas::Call;

constexpr const char* kLongSyllables[] = {"Hal", "le",   "lu",   "jah,", "won",   "der", "ful", "ev",
                                          "er",  "last", "ing,", "glo",  "rious", "WM",  "mmm", "Ößé"};

class LyricSpacingTest : public ::testing::Test {
  protected:
    // A window 1000 sheet units wide at every zoom, tall enough to show every row.
    void makeSheet(int tracks, float zoom)
    {
        sheet = testing::sheetWithTracks(tracks);
        sheet->zoomamount = zoom;
        view = std::make_unique<SheetViewState>(*sheet);
        view->setClientSize(static_cast<int>(1000 * zoom), static_cast<int>(4000 * zoom));
    }
    // Eighths, as tight as the layout places notes, each with a syllable `repeat` letters long.
    void sungEighths(Track& t, int count, int repeat = 1)
    {
        for (int i = 0; i < count; ++i) {
            std::string syllable;
            for (int k = 0; k < repeat; ++k)
                syllable += kLongSyllables[i % std::size(kLongSyllables)];
            addNote(t, kTypeEighth, (i * 3) % 9 - 4, 0, syllable.c_str());
        }
    }
    void draw()
    {
        layoutRows(*view);
        canvas.clear();
        drawSheet(*view, canvas, true);
    }
    // Lyric rectangles drawn, by their top (one line of lyrics per row).
    std::map<int, std::vector<Call>> lyricsByRow() const
    {
        std::map<int, std::vector<Call>> rows;
        for (const Call& c : canvas.callsOf(Kind::TextInRect))
            rows[c.v[1]].push_back(c);
        for (auto& [top, calls] : rows)
            std::sort(calls.begin(), calls.end(),
                      [](const Call& a, const Call& b) { return a.v[0] < b.v[0]; });
        return rows;
    }
    // Note x positions of a track, in order.
    std::vector<int> noteXs(int t) const
    {
        std::vector<int> xs;
        const Track& track = *sheet->trackAt(t);
        for (int i = 0; i < track.count; ++i)
            xs.push_back(view->noteLayout(t, i).x);
        return xs;
    }

    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
    RecordingCanvas canvas{4000, 12000};
};

TEST_F(LyricSpacingTest, NoTwoSyllablesOfARowTouchOnTightEighths)
{
    for (const float zoom : {1.0f, 2.0f, 0.6f}) {
        for (const int repeat : {1, 3}) {
            SCOPED_TRACE(::testing::Message() << "zoom " << zoom << ", syllables x" << repeat);
            makeSheet(1, zoom);
            sungEighths(*sheet->trackAt(0), 48, repeat);
            draw();
            const auto rows = lyricsByRow();
            ASSERT_GE(rows.size(), 2u);
            int drawn = 0;
            for (const auto& [top, calls] : rows) {
                drawn += static_cast<int>(calls.size());
                for (std::size_t k = 1; k < calls.size(); ++k) {
                    const Call& a = calls[k - 1];
                    const int end = a.v[0] + lyricTextWidth(a.text, a.font);
                    EXPECT_LT(end, calls[k].v[0]) << "\"" << a.text << "\" runs into \"" << calls[k].text
                                                  << "\" at " << a.v[0] << " on the row at " << top;
                }
            }
            EXPECT_EQ(drawn, 48);
            // The rows stay inside the staff: no note is placed past a row's end.
            for (const int x : noteXs(0))
                EXPECT_LT(x, view->layoutWidth - 35);
        }
    }
}

TEST_F(LyricSpacingTest, SyllablesARowCannotHoldTakeASecondLineInsteadOfOverlapping)
{
    // A new window's 500 pixels at zoom 2: 250 units, where a measure of eight sung eighths
    // cannot get the room its syllables need.
    sheet = testing::sheetWithTracks(1);
    sheet->zoomamount = 2.0f;
    view = std::make_unique<SheetViewState>(*sheet);
    view->setClientSize(500, 4000);
    sungEighths(*sheet->trackAt(0), 16);
    draw();
    const auto rects = canvas.callsOf(Kind::TextInRect);
    ASSERT_EQ(rects.size(), 16u);
    bool secondLine = false;
    for (std::size_t a = 0; a < rects.size(); ++a) {
        for (std::size_t b = a + 1; b < rects.size(); ++b) {
            const Call& p = rects[a];
            const Call& q = rects[b];
            const int pEnd = p.v[0] + lyricTextWidth(p.text, p.font);
            const int qEnd = q.v[0] + lyricTextWidth(q.text, q.font);
            const int pBottom = p.v[1] + lyricLineHeight(p.font);
            const int qBottom = q.v[1] + lyricLineHeight(q.font);
            const bool apart = pEnd <= q.v[0] || qEnd <= p.v[0] || pBottom <= q.v[1] || qBottom <= p.v[1];
            EXPECT_TRUE(apart) << "\"" << p.text << "\" and \"" << q.text << "\"";
        }
        secondLine = secondLine || rects[a].v[1] != rects[0].v[1];
    }
    EXPECT_TRUE(secondLine);
}

TEST_F(LyricSpacingTest, LyricsWidenTheirMeasuresAndOthersKeepTheirWidth)
{
    makeSheet(1, 1.0f);
    Track& t = *sheet->trackAt(0);
    for (int i = 0; i < 40; ++i)
        addNote(t, kTypeQuarter, 1);
    layoutRows(*view);
    const std::vector<int> plain = noteXs(0);
    const int mw = view->layout().measureWidth;
    const int mpr = view->layout().measuresPerRow;
    ASSERT_EQ(mpr, 4);

    // Long syllables in the seventh measure (notes 24..27), the third of the second row.
    for (int i = 24; i < 28; ++i)
        t.noteAt(i).setLyric("everlastingly");
    layoutRows(*view);
    const std::vector<int> sung = noteXs(0);
    const auto& records = view->measures(0);
    auto measure = [&](int m) -> const MeasureRecord& { return records[static_cast<std::size_t>(m)]; };
    // The first row keeps its measures and notes where they were.
    for (int m = 1; m <= 4; ++m) {
        EXPECT_EQ(measure(m).width, mw) << m;
        EXPECT_EQ(measure(m).rowIndex, 0) << m;
    }
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(sung[static_cast<std::size_t>(i)], plain[static_cast<std::size_t>(i)]) << i;
    // The sung measure is wider than a plain one and its syllables have their room.
    EXPECT_GT(measure(7).width, mw);
    for (int i = 25; i < 28; ++i)
        EXPECT_GE(sung[static_cast<std::size_t>(i)] - sung[static_cast<std::size_t>(i - 1)],
                  lyricRoom("everlastingly", 1.0f));
    // Its row takes fewer measures, filled to the row's end; the next measure opens a row.
    EXPECT_EQ(measure(7).rowIndex, 1);
    int onRow = 0, rowWidth = 0;
    for (int m = 1; m <= view->measuresInUse(0); ++m) {
        if (measure(m).rowIndex == 1) {
            ++onRow;
            rowWidth += measure(m).width;
        }
    }
    EXPECT_LT(onRow, mpr);
    EXPECT_EQ(rowWidth, mpr * mw);
    EXPECT_TRUE(measure(8).startsRow);
    // Notes after the sung measure stay inside their rows.
    for (int i = 0; i < t.count; ++i)
        EXPECT_LT(sung[static_cast<std::size_t>(i)], view->layoutWidth - 35) << i;
}

TEST_F(LyricSpacingTest, ShortSyllablesThatFitChangeNothing)
{
    makeSheet(2, 1.0f);
    for (int i = 0; i < 24; ++i) {
        addNote(*sheet->trackAt(0), kTypeQuarter, 1);
        addNote(*sheet->trackAt(1), kTypeQuarter, 1);
    }
    layoutRows(*view);
    const std::vector<int> plain = noteXs(0);
    for (int i = 0; i < 24; ++i)
        sheet->trackAt(1)->noteAt(i).setLyric("a");
    layoutRows(*view);
    EXPECT_EQ(noteXs(0), plain);
    EXPECT_EQ(noteXs(1), plain);
}

TEST_F(LyricSpacingTest, BarLinesOfASystemStayTogetherWhenOneTrackSings)
{
    makeSheet(2, 1.0f);
    sungEighths(*sheet->trackAt(0), 32);
    for (int i = 0; i < 32; ++i)
        addNote(*sheet->trackAt(1), kTypeEighth, 1);
    layoutRows(*view);
    const auto& sung = view->measures(0);
    const auto& plain = view->measures(1);
    ASSERT_EQ(view->measuresInUse(0), view->measuresInUse(1));
    bool widened = false;
    for (int m = 1; m <= view->measuresInUse(0); ++m) {
        const auto k = static_cast<std::size_t>(m);
        EXPECT_EQ(sung[k].x, plain[k].x) << m;
        EXPECT_EQ(sung[k].width, plain[k].width) << m;
        EXPECT_EQ(sung[k].rowIndex + 1, plain[k].rowIndex) << m;
        widened = widened || sung[k].width > view->layout().measureWidth;
    }
    EXPECT_TRUE(widened);
}

TEST_F(LyricSpacingTest, TheLyricRectangleHoldsTheWholeLineAtEveryZoom)
{
    for (const float zoom : {0.5f, 1.0f, 2.0f, 3.0f}) {
        SCOPED_TRACE(zoom);
        makeSheet(1, zoom);
        addNote(*sheet->trackAt(0), kTypeWhole, 1, 0, "gypsy jug quay");
        draw();
        const auto rects = canvas.callsOf(Kind::TextInRect);
        ASSERT_EQ(rects.size(), 1u);
        const Call& r = rects[0];
        EXPECT_EQ(r.font, lyricFont(zoom));
        EXPECT_GE(r.v[3] - r.v[1], lyricLineHeight(r.font));
        EXPECT_GE(r.v[2] - r.v[0], lyricTextWidth(r.text, r.font));
        // The line's height grows with the font: at zoom 2 more than the 24 units of zoom 1.
        if (zoom >= 2.0f) {
            EXPECT_GT(r.v[3] - r.v[1], 24);
        }
    }
}

TEST(LyricWidth, GrowsWithTheTextAndCountsCharactersNotBytes)
{
    const Font f{16, true};
    EXPECT_EQ(lyricTextWidth("", f), 0);
    EXPECT_LT(lyricTextWidth("i", f), lyricTextWidth("W", f));
    EXPECT_LT(lyricTextWidth("la", f), lyricTextWidth("lala", f));
    // "é" in UTF-8 is two bytes but one letter; Latin-1 0xE9 alone is one letter too.
    EXPECT_EQ(lyricTextWidth("\xC3\xA9", f), lyricTextWidth("\xE9", f));
    EXPECT_LT(lyricTextWidth("\xC3\xA9", f), lyricTextWidth("\xC3\xA9\xC3\xA9", f));
    // Room in sheet units shrinks as the zoom grows the font less than the units.
    EXPECT_GE(lyricRoom("Hallelujah", 1.0f), lyricTextWidth("Hallelujah", lyricFont(1.0f)) + kLyricGap);
    EXPECT_GE(lyricRoom("Hallelujah", 2.0f) * 2, lyricTextWidth("Hallelujah", lyricFont(2.0f)));
}

TEST(MeasureWidthsTest, PlainMeasuresTakeTheMeasureWidthAndSungOnesMore)
{
    const std::vector<int> extra{0, 0, 150, 2000};
    const MeasureWidths w{200, 800, &extra};
    EXPECT_EQ(w.of(1), 200);
    EXPECT_EQ(w.of(2), 350);
    EXPECT_EQ(w.of(3), 800); // never more than a row
    EXPECT_EQ(w.of(9), 200); // past the extras
    EXPECT_EQ(MeasureWidths{}.of(2), 200);

    std::vector<MeasureRecord> records(4);
    records[1].width = 300;
    records[2].width = 100;
    stretchMeasures(records, 1, 2, 600);
    EXPECT_EQ(records[1].width + records[2].width, 600);
    EXPECT_EQ(records[1].width, 450);
    stretchMeasures(records, 1, 2, 500); // already wider: unchanged
    EXPECT_EQ(records[1].width, 450);
}

} // namespace
} // namespace tonvela
