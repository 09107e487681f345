#include "editor/example_sheets.h"
#include "editor/layout.h"
#include "editor/lyric_spacing.h"
#include "editor/natural_spacing.h"
#include "editor/sheet_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace tonvela {
namespace {

using testing::addNote;

std::shared_ptr<const SheetLayout> paperLayout(const SheetDocument& sheet, int width)
{
    LayoutOptions options;
    options.naturalSpacing = true;
    return layOutSheet(sheet, width, 1.0f, nullptr, options);
}

// `measures` measures of 4/4, each of notes of one kind.
void addMeasures(Track& t, int measures, int type, int line = 1, int flags = 0)
{
    const int perMeasure = type == kTypeWhole     ? 1
                           : type == kTypeHalf    ? 2
                           : type == kTypeQuarter ? 4
                           : type == kTypeEighth  ? 8
                                                  : 16;
    for (int m = 0; m < measures; ++m)
        for (int k = 0; k < perMeasure; ++k)
            addNote(t, type, line, flags);
}

// The measures (by number) that lie on the track's k-th row.
std::vector<int> measuresOnRow(const SheetLayout& layout, int track, int k)
{
    std::vector<int> out;
    const int row = track + k * layout.trackCount;
    const std::vector<MeasureRecord>& records = layout.measures(track);
    for (int m = 1; m <= layout.measuresInUse(track); ++m)
        if (records[static_cast<std::size_t>(m)].rowIndex == row)
            out.push_back(m);
    return out;
}

int endOf(const MeasureRecord& rec)
{
    return (rec.startsRow ? 0 : rec.x) + rec.width;
}

TEST(NaturalSpacing, TheRoomAfterANoteGrowsAboutOnePointFourTimesPerDoubling)
{
    EXPECT_NEAR(proportionalRoom(2 * kQuarterTicks) / proportionalRoom(kQuarterTicks), 1.4, 0.03);
    EXPECT_NEAR(proportionalRoom(kQuarterTicks) / proportionalRoom(kQuarterTicks / 2), 1.4, 0.03);
    EXPECT_GE(proportionalRoom(1), kLeastRoom);

    // On paper: a half, then two quarters in one measure, the last row not stretched.
    auto sheet = testing::sheetWithTracks(1);
    Track& t = *sheet->trackAt(0);
    addNote(t, kTypeHalf, 1);
    addNote(t, kTypeQuarter, 1);
    addNote(t, kTypeQuarter, 1);
    addNote(t, kTypeWhole, 1);
    const auto layout = paperLayout(*sheet, 1000);
    const double afterHalf = layout->note(0, 1).x - layout->note(0, 0).x;
    const double afterQuarter = layout->note(0, 2).x - layout->note(0, 1).x;
    EXPECT_NEAR(afterHalf / afterQuarter, 1.4, 0.08);
}

TEST(NaturalSpacing, MeasuresOfEighthsTakeMoreRoomThanWholeNotesInTheSameTime)
{
    auto sheet = testing::sheetWithTracks(1);
    Track& t = *sheet->trackAt(0);
    addMeasures(t, 1, kTypeWhole);
    addMeasures(t, 1, kTypeEighth);
    addMeasures(t, 1, kTypeQuarter);
    addMeasures(t, 1, kTypeWhole);
    // One short last row: every measure keeps the width its music needs.
    const auto layout = paperLayout(*sheet, 3000);
    const std::vector<MeasureRecord>& m = layout->measures(0);
    ASSERT_EQ(measuresOnRow(*layout, 0, 0).size(), 4u);
    EXPECT_GT(m[2].width, m[3].width);
    EXPECT_GT(m[3].width, m[4].width);
    // Eight eighths need about 8 / 2^0.515 as much as the one whole note.
    EXPECT_GT(m[2].width, 2 * m[4].width);
    // The window's layout gives them all one width.
    const auto window = layOutSheet(*sheet, 3000, 1.0f);
    EXPECT_EQ(window->measures(0)[2].width, window->measures(0)[4].width);
}

TEST(NaturalSpacing, MoreShortMeasuresGoOnARowThanLongOnesAndFullRowsEndAtTheStaffEnd)
{
    constexpr int kWidth = 1045;
    auto sparse = testing::sheetWithTracks(1);
    addMeasures(*sparse->trackAt(0), 30, kTypeWhole);
    auto dense = testing::sheetWithTracks(1);
    addMeasures(*dense->trackAt(0), 30, kTypeSixteenth);
    const auto a = paperLayout(*sparse, kWidth);
    const auto b = paperLayout(*dense, kWidth);
    const std::size_t wholeNotes = measuresOnRow(*a, 0, 0).size();
    const std::size_t sixteenths = measuresOnRow(*b, 0, 0).size();
    EXPECT_GE(sixteenths, 1u);
    EXPECT_GT(wholeNotes, 2 * sixteenths);
    for (const auto& layout : {a, b}) {
        const int rows = static_cast<int>(layout->track(0)->rows.size());
        ASSERT_GE(rows, 2);
        for (int k = 0; k + 1 < rows; ++k) {
            const std::vector<int> on = measuresOnRow(*layout, 0, k);
            ASSERT_FALSE(on.empty());
            const MeasureRecord& last = layout->measures(0)[static_cast<std::size_t>(on.back())];
            EXPECT_EQ(endOf(last), kWidth - 35) << "row " << k;
            EXPECT_TRUE(last.lastOnRow);
            // The notes stay inside their measure.
            const int lastNote = layout->measures(0)[static_cast<std::size_t>(on.back()) + 1].firstNote - 1;
            EXPECT_LT(layout->note(0, lastNote).x, endOf(last));
        }
    }
}

TEST(NaturalSpacing, TheLastRowIsStretchedOnlyWhenThreeQuartersFull)
{
    // Nine measures of 100 fill a row of 1000 after 50 for the clef; the tenth opens the next.
    const std::vector<uint8_t> noBreaks;
    const std::vector<int> sixteen(17, 100);
    const RowPlan full = planRows(sixteen, noBreaks, 1000, 50);
    ASSERT_EQ(full.startsRow[10], 1);
    int lastRow = 0;
    for (int m = 10; m <= 16; ++m)
        lastRow += full.width[static_cast<std::size_t>(m)];
    EXPECT_EQ(lastRow, 1000); // 750 of 1000: stretched

    const std::vector<int> fifteen(16, 100);
    const RowPlan short_ = planRows(fifteen, noBreaks, 1000, 50);
    EXPECT_EQ(short_.width[10], 150);
    EXPECT_EQ(short_.width[15], 100); // 650 of 1000: as the music needs
    int firstRow = 0;
    for (int m = 1; m <= 9; ++m)
        firstRow += short_.width[static_cast<std::size_t>(m)];
    EXPECT_EQ(firstRow, 1000);

    // A staff break opens a row, however much room is left; one measure wider than the row
    // takes the whole row alone.
    std::vector<uint8_t> breaks(16, 0);
    breaks[3] = 1;
    std::vector<int> wide = fifteen;
    wide[5] = 1400;
    const RowPlan broken = planRows(wide, breaks, 1000, 50);
    EXPECT_EQ(broken.startsRow[3], 1);
    EXPECT_EQ(broken.width[1] + broken.width[2], 1000);
    EXPECT_EQ(broken.startsRow[5], 1);
    EXPECT_EQ(broken.startsRow[6], 1);
    EXPECT_EQ(broken.width[5], 1000);

    // Through layout: a few whole notes after full rows stay at their natural width.
    auto sheet = testing::sheetWithTracks(1);
    addMeasures(*sheet->trackAt(0), 1, kTypeSixteenth);
    addMeasures(*sheet->trackAt(0), 3, kTypeWhole);
    const auto layout = paperLayout(*sheet, 1000);
    const std::vector<MeasureRecord>& m = layout->measures(0);
    EXPECT_LT(endOf(m[4]), 3 * (1000 - 35) / 4);
    EXPECT_EQ(m[2].width, m[3].width);
}

TEST(NaturalSpacing, BarLinesOfEveryTrackStandTogetherAtTheWidestTracksNeed)
{
    auto sheet = testing::sheetWithTracks(3);
    Track& top = *sheet->trackAt(0);
    Track& middle = *sheet->trackAt(1);
    Track& bottom = *sheet->trackAt(2);
    for (int m = 0; m < 12; ++m) {
        addMeasures(top, 1, m % 3 == 0 ? kTypeSixteenth : kTypeQuarter, 1, m % 2 ? kFlagSharp : 0);
        addMeasures(middle, 1, kTypeWhole);
        for (int k = 0; k < 4; ++k)
            addNote(bottom, kTypeQuarter, 3, 0, m == 5 ? "Lengthily" : nullptr);
    }
    const auto layout = paperLayout(*sheet, 1045);
    ASSERT_GE(layout->track(0)->rows.size(), 2u);
    for (int m = 1; m <= 12; ++m) {
        const MeasureRecord& a = layout->measures(0)[static_cast<std::size_t>(m)];
        for (int t = 1; t < 3; ++t) {
            const MeasureRecord& b = layout->measures(t)[static_cast<std::size_t>(m)];
            EXPECT_EQ(a.x, b.x) << "measure " << m << " track " << t;
            EXPECT_EQ(a.width, b.width) << "measure " << m << " track " << t;
            EXPECT_EQ(a.startsRow, b.startsRow) << "measure " << m;
            EXPECT_EQ(a.rowIndex + t, b.rowIndex) << "measure " << m;
        }
    }
    // The whole notes take the room the busier tracks above and below them need.
    auto wholeOnly = testing::sheetWithTracks(1);
    addMeasures(*wholeOnly->trackAt(0), 12, kTypeWhole);
    const auto plain = paperLayout(*wholeOnly, 1045);
    EXPECT_LT(measuresOnRow(*layout, 1, 0).size(), measuresOnRow(*plain, 0, 0).size());
    // Syllables widen their measure: the sung word in measure 6 keeps clear of the next note.
    const int word = 5 * 4;
    EXPECT_GE(layout->note(2, word + 1).x - layout->note(2, word).x, lyricRoom("Lengthily", 1.0f));
}

// A syllable under the last note of a measure ends before the bar line, in the first measure
// of a row (its notes start after the clef and key) as in the others.
TEST(NaturalSpacing, ASyllableUnderAMeasuresLastNoteEndsBeforeTheBarLine)
{
    for (const bool barNotes : {false, true}) {
        auto sheet = testing::sheetWithTracks(1);
        Track& t = *sheet->trackAt(0);
        t.setKeyIndex(2); // five sharps before the first notes of each row
        const int perMeasure = barNotes ? 5 : 4;
        for (int m = 0; m < 10; ++m) {
            for (int k = 0; k < 4; ++k)
                addNote(t, kTypeQuarter, 3, 0, k == 3 ? "Lengthily" : "a");
            if (barNotes)
                addNote(t, kTypeBar, 0); // a bar line the file writes as a note of its own
        }
        const auto layout = paperLayout(*sheet, 1045);
        ASSERT_GE(layout->track(0)->rows.size(), 2u);
        const std::vector<MeasureRecord>& records = layout->measures(0);
        int checked = 0, rowStarts = 0;
        for (int m = 1; m < 10; ++m) {
            const MeasureRecord& next = records[static_cast<std::size_t>(m + 1)];
            if (next.startsRow)
                continue;
            const int last = (m - 1) * perMeasure + 3;
            EXPECT_LE(layout->note(0, last).x + lyricRoom("Lengthily", 1.0f), next.x)
                << "measure " << m << (barNotes ? " with bar notes" : "");
            ++checked;
            rowStarts += records[static_cast<std::size_t>(m)].startsRow ? 1 : 0;
        }
        EXPECT_GE(checked, 4);
        EXPECT_GE(rowStarts, 1) << "a row's first measure is among those checked";
    }
}

} // namespace
} // namespace tonvela
