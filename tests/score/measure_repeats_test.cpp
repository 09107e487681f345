// Measures marked to repeat in the score: how a sheet file keeps them, how undo brings them
// back, and how the play time counts them.

#include "score/markup_tree.h"
#include "score/measure_repeat.h"
#include "score/play_time.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/system_repeats.h"
#include "score/track_element.h"
#include "score/track_type.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tonvela {
namespace {

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A config line as the writer puts it, with the given repeats attribute (none when empty).
std::string sheetWithRepeats(const std::string& repeats)
{
    std::string text = "<staffdoc\r\nzoomamount=0.9\r\ntimesig=391549\r\n>\r\n<track>\r\n<config\r\n"
                       "bpm=120 devid=0 iid=0 groupid=0 key=C keyindex=7 tempo=120 drawmode=0 percussive=0 ";
    if (!repeats.empty())
        text += "repeats=" + repeats + " ";
    text += ">\r\n</config>\r\n";
    for (int i = 0; i < 8; ++i)
        text += "<note\r\nmidi=60 type=1028 line=0 iid=0 >\r\n</note>\r\n";
    text += "</track>\r\n<measures>\r\n</measures>\r\n</staffdoc>\r\n";
    return text;
}

class MeasureRepeatsTest : public ::testing::Test {
  protected:
    // Eight quarters in 2/4: four measures of two.
    void fill(Track& t)
    {
        for (int i = 0; i < 8; ++i) {
            Note n;
            n.type = kTypeQuarter;
            n.setStaffPosition(-(i % 7));
            t.insertNote(n, t.count);
        }
        t.timeSig = kTimeSig24;
    }
    SheetDocument sheet;
};

TEST_F(MeasureRepeatsTest, MarksAreWrittenInTheConfigLineOnlyWhenThereAreAny)
{
    Track& t = *sheet.trackAt(0);
    t.measureRepeats.assign({5, 2});
    const std::string text = sheetToText(sheet);
    EXPECT_NE(text.find("\r\nbpm=120 devid=0 iid=0 groupid=0 key=C keyindex=7 tempo=120 drawmode=0 "
                        "percussive=0 repeats=\"2,5\" >\r\n</config>\r\n"),
              std::string::npos)
        << text;
    // The second track has none and writes the line it always wrote.
    EXPECT_NE(text.find("<track>\r\n<config\r\nbpm=120 devid=0 iid=0 groupid=0 key=C keyindex=7 tempo=120 "
                        "drawmode=0 percussive=0 >\r\n</config>\r\n</track>\r\n<measures>"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("repeats"), text.rfind("repeats")) << "one attribute for one track";

    // Read back, the marks hold for the whole system: the second track takes them too.
    SheetDocument loaded;
    ASSERT_TRUE(loadSheetFromText(loaded, text).ok());
    EXPECT_EQ(loaded.trackAt(0)->measureRepeats.measures(), (std::vector<int>{2, 5}));
    EXPECT_EQ(loaded.trackAt(1)->measureRepeats.measures(), (std::vector<int>{2, 5}));
}

TEST_F(MeasureRepeatsTest, AFileWhoseTracksDisagreeLoadsWithEveryMarkOnEveryTrack)
{
    sheet.setTrackCount(3);
    sheet.trackAt(0)->measureRepeats.assign({4});
    sheet.trackAt(2)->measureRepeats.assign({1, 4});
    const std::string text = sheetToText(sheet);

    SheetDocument loaded;
    ASSERT_TRUE(loadSheetFromText(loaded, text).ok());
    ASSERT_EQ(loaded.trackCount(), 3);
    for (int t = 0; t < 3; ++t)
        EXPECT_EQ(loaded.trackAt(t)->measureRepeats.measures(), (std::vector<int>{1, 4})) << "track " << t;

    // Saved again, every track writes the same marks and the text reads back unchanged.
    const std::string again = sheetToText(loaded);
    size_t count = 0;
    for (size_t at = again.find("repeats=\"1,4\""); at != std::string::npos;
         at = again.find("repeats=\"1,4\"", at + 1))
        ++count;
    EXPECT_EQ(count, 3u) << again;
    SheetDocument reread;
    ASSERT_TRUE(loadSheetFromText(reread, again).ok());
    EXPECT_EQ(sheetToText(reread), again);
}

TEST_F(MeasureRepeatsTest, ASystemRepeatIsMarkedAndUnmarkedInEveryTrackInOneUndoStep)
{
    sheet.setTrackCount(2);
    fill(*sheet.trackAt(0));
    fill(*sheet.trackAt(1));
    sheet.snapshot(SnapshotKind::SelectedChange, 0);
    setSystemMeasureRepeat(sheet, 3, true);
    EXPECT_TRUE(systemMeasureRepeats(sheet, 3));
    EXPECT_FALSE(systemMeasureRepeats(sheet, 2));
    for (int t = 0; t < 2; ++t)
        EXPECT_EQ(sheet.trackAt(t)->measureRepeats.measures(), std::vector<int>{3});
    sheet.undo();
    for (int t = 0; t < 2; ++t)
        EXPECT_TRUE(sheet.trackAt(t)->measureRepeats.empty()) << "one undo takes it off every track";
    sheet.redo();
    for (int t = 0; t < 2; ++t)
        EXPECT_EQ(sheet.trackAt(t)->measureRepeats.measures(), std::vector<int>{3});

    setSystemMeasureRepeat(sheet, 0, true);
    setSystemMeasureRepeat(sheet, -4, true);
    EXPECT_EQ(sheet.trackAt(1)->measureRepeats.measures(), std::vector<int>{3}) << "no measure below 1";
    setSystemMeasureRepeat(sheet, 3, false);
    EXPECT_FALSE(systemMeasureRepeats(sheet, 3));

    // Tracks that disagree are made alike, and alike tracks are left as they are.
    sheet.trackAt(1)->measureRepeats.assign({2});
    EXPECT_TRUE(unifyMeasureRepeats(sheet));
    EXPECT_EQ(sheet.trackAt(0)->measureRepeats.measures(), std::vector<int>{2});
    EXPECT_FALSE(unifyMeasureRepeats(sheet));
}

TEST_F(MeasureRepeatsTest, EveryExampleAndTestSheetRoundTripsByteForByte)
{
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(std::string(TONVELA_SOURCE_DIR) + "/examples"))
        if (e.path().extension() == ".shd")
            files.push_back(e.path());
    files.push_back(std::string(TONVELA_TEST_DATA) + "/repeats.shd");
    ASSERT_GE(files.size(), 4u);
    bool anyMarks = false;
    for (const auto& file : files) {
        const std::string text = readFile(file);
        if (peekFirstTokenOfText(text) == "chorddoc")
            continue; // a chord document shares the extension, not the format
        SheetDocument s;
        ASSERT_TRUE(loadSheetFromText(s, text).ok()) << file;
        EXPECT_EQ(sheetToText(s), text) << file;
        for (int t = 0; t < s.trackCount(); ++t)
            anyMarks = anyMarks || !s.trackAt(t)->measureRepeats.empty();
    }
    EXPECT_TRUE(anyMarks) << "the repeats sheet is among them";
}

TEST_F(MeasureRepeatsTest, BadRepeatValuesAreLeftOutWithoutHarm)
{
    struct Case {
        const char* value;
        std::vector<int> marks;
    };
    const std::vector<Case> cases = {
        {"2,5", {2, 5}},
        {"5,2,5,2", {2, 5}},      // any order, duplicates once
        {" 3 , 4 ", {3, 4}},      // blanks around items
        {"0,-3,7", {7}},          // measures count from 1
        {"abc,2x,,1", {1}},       // not numbers, empty items
        {"+4,4.5,0x10,6", {6}},   // only plain digits
        {"32000,32001", {32000}}, // no track has more measures than notes
        {"99999999999999999999,9", {9}},
        {"", {}},
        {",,,", {}},
        {"\"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseMeasureRepeats(c.value).measures(), c.marks) << c.value;

    // In a file: the quotes are the markup's; unquoted values work too.
    for (const auto& [attr, marks] : std::vector<std::pair<std::string, std::vector<int>>>{
             {"\"2,5\"", {2, 5}}, {"3", {3}}, {"\"-1,x,4\"", {4}}, {"\"\"", {}}, {"\"1,", {1}}}) {
        SheetDocument s;
        ASSERT_TRUE(loadSheetFromText(s, sheetWithRepeats(attr)).ok()) << attr;
        ASSERT_EQ(s.trackCount(), 1);
        EXPECT_EQ(s.trackAt(0)->measureRepeats.measures(), marks) << attr;
        EXPECT_EQ(s.trackAt(0)->count, 8) << attr;
    }
}

TEST_F(MeasureRepeatsTest, AHugeListOfMarksLoadsAndSavesAgainTheSame)
{
    // Every measure number a track could have, written backwards, and absurd ones besides.
    std::string list;
    for (int m = kMaxRepeatedMeasure + 5; m >= 1; --m)
        list += std::to_string(m) + ",";
    SheetDocument s;
    ASSERT_TRUE(loadSheetFromText(s, sheetWithRepeats("\"" + list + "\"")).ok());
    const MeasureRepeatMarks& marks = s.trackAt(0)->measureRepeats;
    ASSERT_EQ(marks.measures().size(), static_cast<std::size_t>(kMaxRepeatedMeasure));
    EXPECT_EQ(marks.measures().front(), 1);
    EXPECT_EQ(marks.measures().back(), kMaxRepeatedMeasure);
    const std::string saved = sheetToText(s);
    SheetDocument again;
    ASSERT_TRUE(loadSheetFromText(again, saved).ok());
    EXPECT_EQ(sheetToText(again), saved);
    // Only measures 1 to 4 exist; the track plays each twice.
    EXPECT_EQ(totalPlayMs(*again.trackAt(0)), 2 * 8 * 500);
}

TEST_F(MeasureRepeatsTest, AConfigWithoutRepeatsAfterOneWithThemLeavesNone)
{
    std::string text = sheetWithRepeats("\"2\"");
    const std::string secondConfig = "<config\r\nbpm=120 tempo=120 >\r\n</config>\r\n";
    text.insert(text.find("</track>"), secondConfig);
    SheetDocument s;
    ASSERT_TRUE(loadSheetFromText(s, text).ok());
    EXPECT_TRUE(s.trackAt(0)->measureRepeats.empty()) << "each config sets every setting";
}

TEST_F(MeasureRepeatsTest, UndoAndRedoBringTheMarksBackWithTheNotes)
{
    Track& t = *sheet.trackAt(0);
    fill(t);
    t.measureRepeats.assign({2});
    // GIVEN an edit that marks measure 4 and another that unmarks measure 2
    sheet.snapshot();
    t.measureRepeats.set(4, true);
    sheet.snapshot();
    t.measureRepeats.set(2, false);
    ASSERT_EQ(t.measureRepeats.measures(), std::vector<int>{4});
    // WHEN undone step by step and redone
    sheet.undo();
    EXPECT_EQ(t.measureRepeats.measures(), (std::vector<int>{2, 4}));
    sheet.undo();
    EXPECT_EQ(t.measureRepeats.measures(), std::vector<int>{2});
    EXPECT_FALSE(sheet.canUndo());
    sheet.redo();
    EXPECT_EQ(t.measureRepeats.measures(), (std::vector<int>{2, 4}));
    sheet.redo();
    EXPECT_EQ(t.measureRepeats.measures(), std::vector<int>{4});
    // THEN the play time follows the marks it was given back
    EXPECT_EQ(totalPlayMs(t), 5 * 1000);
}

TEST_F(MeasureRepeatsTest, UndoOfAStaffKindChangeRestoresTheClefAndTheNotes)
{
    Track& t = *sheet.trackAt(0);
    fill(t);
    const int line = t.noteAt(0).line;
    const int midi = t.noteAt(0).midi;
    sheet.snapshot(SnapshotKind::TrackType, 0);
    sheet.setTrackType(0, static_cast<int>(StaffKind::FClef));
    ASSERT_EQ(staffKindOf(t), StaffKind::FClef);
    ASSERT_NE(t.noteAt(0).line, line);
    sheet.undo();
    EXPECT_EQ(staffKindOf(t), StaffKind::GClef);
    EXPECT_EQ(t.noteAt(0).line, line);
    EXPECT_EQ(t.noteAt(0).midi, midi);
    sheet.redo();
    EXPECT_EQ(staffKindOf(t), StaffKind::FClef);
    // A percussion track comes back as one.
    sheet.snapshot(SnapshotKind::TrackType, 0);
    sheet.setTrackType(0, static_cast<int>(StaffKind::Percussion));
    sheet.snapshot(SnapshotKind::TrackType, 0);
    sheet.setTrackType(0, static_cast<int>(StaffKind::GClef));
    sheet.undo();
    EXPECT_EQ(t.percussive, 1);
    sheet.undo();
    EXPECT_EQ(t.percussive, 0);
    EXPECT_EQ(staffKindOf(t), StaffKind::FClef);
}

TEST_F(MeasureRepeatsTest, PlayTimeCountsARepeatedLastMeasureAndPlaysUpToANoteAfterItsRepeat)
{
    Track& t = *sheet.trackAt(0);
    fill(t); // four measures of a second
    t.measureRepeats.assign({4});
    EXPECT_EQ(totalPlayMs(t), 5000);
    EXPECT_EQ(playTimeText(t, t.count - 1), "00:05") << "the last note is played after the repeat";
    EXPECT_EQ(playTimeText(t, 5), "00:03") << "a note before the marked measure";
    t.measureRepeats.assign({2});
    EXPECT_EQ(playTimeText(t, 2), "00:02") << "a note of a marked measure counts at its second pass";
    t.tempo = 60;
    EXPECT_EQ(totalPlayMs(t), 10000);
    // The division is made afresh when the notes changed since it was last computed.
    t.divideIntoMeasures();
    Note extra;
    extra.type = kTypeHalf;
    t.insertNote(extra, 0); // now: half | two quarters | ... , measure 2 is notes 1 and 2
    EXPECT_EQ(totalPlayMs(t), 2 * 6000);
}

TEST_F(MeasureRepeatsTest, TheRuleReturnsToTheMeasureStartOnceAtTheEndOfTheTrack)
{
    Track& t = *sheet.trackAt(0);
    fill(t);
    t.divideIntoMeasures();
    t.measureRepeats.assign({4});
    MeasureRepeatState state;
    std::vector<int> visited;
    for (int i = 0, steps = 0; i <= t.count && steps < 100; ++steps) {
        i = applyMeasureRepeat(t, t.measureDivision(), i, state);
        visited.push_back(i);
        ++i;
    }
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 6, 7, 8}));
    // A division that no longer covers the notes repeats nothing at the end.
    t.insertNote(Note(), t.count);
    MeasureRepeatState fresh;
    EXPECT_EQ(applyMeasureRepeat(t, t.measureDivision(), t.count, fresh), t.count);
}

} // namespace
} // namespace tonvela
