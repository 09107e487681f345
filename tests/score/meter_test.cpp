// Meters: the signatures the "Time Sig:" list offers, the length of their measures, how each
// is drawn (numbers, or the glyph of common and cut time), and files that carry their codes.

#include "score/duration.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/time_signature.h"
#include "score/track.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonvela {
namespace {

TEST(MeterTest, TheListOffersEveryMeterOnceAndKeepsTheOldEntriesWhereTheyWere)
{
    const std::vector<std::string> texts = timeSignaturePanelTexts();
    EXPECT_EQ(texts,
              (std::vector<std::string>{"3/4", "4/4", "5/4", "6/4", "7/4", "8/4", "9/4", "3/8", "5/8", "7/8",
                                        "9/8", "2/4", "6/8", "2/2", "3/2", "12/8", "4/8", "C"}));
    // Every entry gives a code whose row shows that entry again, so the panel shows what a
    // sheet holds, whichever meter it is.
    for (int entry = 0; entry < static_cast<int>(texts.size()); ++entry) {
        const int code = timeSignatureOfPanelEntry(entry);
        EXPECT_EQ(timeSignatureInfo(code).panelEntry, entry) << texts[static_cast<std::size_t>(entry)];
        EXPECT_EQ(timeSignatureInfo(code).text, texts[static_cast<std::size_t>(entry)]);
    }
    EXPECT_EQ(timeSignatureOfPanelEntry(static_cast<int>(texts.size())), kTimeSig44);
    EXPECT_EQ(timeSignatureOfPanelEntry(-1), kTimeSig44);
}

TEST(MeterTest, NewMetersTakeTheNextFreeCodesAndMeasureWhatTheyRead)
{
    struct Row {
        int code;
        int beats, unit;
        Ticks measure;
        MeterSymbol symbol;
    };
    const Row rows[] = {
        {391561, 2, 2, 2 * 2 * kQuarterTicks, MeterSymbol::Cut},
        {391562, 3, 2, 3 * 2 * kQuarterTicks, MeterSymbol::Numbers},
        {391563, 12, 8, 12 * kQuarterTicks / 2, MeterSymbol::Numbers},
        {391564, 4, 8, 4 * kQuarterTicks / 2, MeterSymbol::Numbers},
        {391556, 4, 4, 4 * kQuarterTicks, MeterSymbol::Common},
        {391549, 4, 4, 4 * kQuarterTicks, MeterSymbol::Numbers},
    };
    for (const Row& r : rows) {
        const TimeSignatureInfo& ts = timeSignatureInfo(r.code);
        EXPECT_EQ(ts.code, r.code);
        EXPECT_EQ(ts.beatsPerMeasure, r.beats) << r.code;
        EXPECT_EQ(ts.beatUnit, r.unit) << r.code;
        EXPECT_EQ(measureTicksOf(r.code), r.measure) << r.code;
        EXPECT_EQ(ts.symbol, r.symbol) << r.code;
        EXPECT_EQ(timeSignatureCodeOf(r.beats, r.unit, r.symbol), r.code) << r.code;
    }
    // 2/2 is only there as cut time; a meter the table lacks has no code.
    EXPECT_EQ(timeSignatureCodeOf(2, 2), kTimeSig22);
    EXPECT_EQ(timeSignatureCodeOf(6, 2), 0);
    EXPECT_EQ(timeSignatureCodeOf(3, 4, MeterSymbol::Common), kTimeSig34);
    // A code past them is still unknown and measures as 4/4.
    EXPECT_EQ(timeSignatureInfo(391565).code, kTimeSig44);
}

TEST(MeterTest, FilesKeepNewMetersAndLoadUnknownCodesAsFourFour)
{
    for (const int code : {kTimeSig22, kTimeSig32, kTimeSig128, kTimeSig48, kTimeSigSingleGlyph}) {
        SheetDocument sheet;
        sheet.setTimeSignatureCode(code);
        SheetDocument back;
        ASSERT_TRUE(loadSheetFromText(back, sheetToText(sheet)).ok()) << code;
        EXPECT_EQ(back.timesig, code);
        EXPECT_EQ(back.trackAt(0)->timeSig, code);
    }
    SheetDocument future;
    std::string text;
    {
        SheetDocument sheet;
        sheet.setTimeSignatureCode(kTimeSig32);
        text = sheetToText(sheet);
    }
    const std::string from = "timesig=391562";
    ASSERT_NE(text.find(from), std::string::npos) << text;
    text.replace(text.find(from), from.size(), "timesig=391599");
    ASSERT_TRUE(loadSheetFromText(future, text).ok());
    EXPECT_EQ(measureTicksOf(future.trackAt(0)->timeSig), 4 * kQuarterTicks);
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

Note quarter(int flags = 0)
{
    Note n;
    n.type = kTypeQuarter;
    n.dwFlag = flags;
    return n;
}

TEST(PickupTest, APickupIsAFirstMeasureShorterThanTheMeterAndTheCountGoesOnAfterIt)
{
    // 3/4 with a one-quarter pickup: q | q q q | q q q | q
    SheetDocument sheet;
    sheet.setTrackCount(1);
    sheet.setTimeSignatureCode(kTimeSig34);
    sheet.setPickup(kQuarterTicks);
    Track& t = *sheet.trackAt(0);
    EXPECT_EQ(t.pickupTicks, kQuarterTicks);
    for (int i = 0; i < 8; ++i)
        t.insertNote(quarter(), t.count);
    t.divideIntoMeasures();
    std::vector<int> measures;
    for (int i = 0; i < t.count; ++i)
        measures.push_back(t.measureDivision().measureOf(i));
    EXPECT_EQ(measures, (std::vector<int>{1, 2, 2, 2, 3, 3, 3, 4}));

    // A track added later has it too; a pickup a whole measure long or longer is none, and so
    // is one a shorter meter no longer leaves room for.
    EXPECT_EQ(sheet.addTrack().pickupTicks, kQuarterTicks);
    sheet.setPickup(3 * kQuarterTicks);
    EXPECT_EQ(sheet.pickup, 0);
    EXPECT_EQ(t.pickupTicks, 0);
    sheet.setPickup(-5);
    EXPECT_EQ(sheet.pickup, 0);
    sheet.setPickup(2 * kQuarterTicks);
    sheet.setTimeSignatureCode(kTimeSig24);
    EXPECT_EQ(sheet.pickup, 0) << "a half is no pickup in 2/4";
}

TEST(PickupTest, FilesKeepThePickupAndOnlySheetsWithOneWriteIt)
{
    SheetDocument sheet;
    sheet.setTimeSignatureCode(kTimeSig68);
    const std::string plain = sheetToText(sheet);
    EXPECT_EQ(plain.find("pickup"), std::string::npos) << "a sheet without one saves as before";
    sheet.setPickup(kQuarterTicks / 2);
    const std::string text = sheetToText(sheet);
    ASSERT_NE(text.find("pickup=960"), std::string::npos) << text;
    SheetDocument back;
    ASSERT_TRUE(loadSheetFromText(back, text).ok());
    EXPECT_EQ(back.pickup, kQuarterTicks / 2);
    EXPECT_EQ(back.trackAt(1)->pickupTicks, kQuarterTicks / 2);
    // The copy the autosave writes keeps it too.
    EXPECT_EQ(sheetCopyText(copySheet(sheet)), text);

    // Damaged values load as no pickup.
    for (const char* bad : {"pickup=99999999", "pickup=-3", "pickup=abc", "pickup=5760"}) {
        std::string damaged = text;
        damaged.replace(damaged.find("pickup=960"), 10, bad);
        SheetDocument d;
        ASSERT_TRUE(loadSheetFromText(d, damaged).ok()) << bad;
        EXPECT_EQ(d.pickup, 0) << bad;
        EXPECT_EQ(d.trackAt(0)->pickupTicks, 0) << bad;
    }
}

TEST(PickupTest, UndoBringsBackThePickupWithTheNotes)
{
    SheetDocument sheet;
    sheet.snapshot();
    sheet.setPickup(kQuarterTicks);
    sheet.snapshot();
    sheet.setPickup(0);
    sheet.undo();
    EXPECT_EQ(sheet.pickup, kQuarterTicks);
    EXPECT_EQ(sheet.trackAt(0)->pickupTicks, kQuarterTicks);
}

} // namespace
} // namespace tonvela
