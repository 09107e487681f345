#include "platform/atomic_file.h"
#include "platform/sheet_lock.h"
#include "score/markup_tree.h"
#include "score/play_time.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/track_type.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace tonvela;
namespace fs = std::filesystem;

namespace {

class SheetFileTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tonvela-sheetfile-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir);
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    static std::string slurp(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static void spit(const std::string& p, const std::string& text)
    {
        std::ofstream out(p, std::ios::binary);
        out << text;
    }

    fs::path dir;
};

Note quarterAt(int line)
{
    Note n;
    n.type = kTypeQuarter;
    n.setStaffPosition(line);
    return n;
}

const char* kWorkedExample =
    "<staffdoc\r\n"
    "zoomamount=0.9\r\n"
    "timesig=391549\r\n"
    ">\r\n"
    "<track>\r\n"
    "<config\r\n"
    "bpm=120 devid=0 iid=0 groupid=0 key=C keyindex=7 tempo=120 drawmode=0 percussive=0 >\r\n"
    "</config>\r\n"
    "<note\r\n"
    "midi=60 type=1028 line=0 iid=0 >\r\n"
    "</note>\r\n"
    "</track>\r\n"
    "<track>\r\n"
    "<config\r\n"
    "bpm=120 devid=0 iid=0 groupid=0 key=C keyindex=7 tempo=120 drawmode=0 percussive=0 >\r\n"
    "</config>\r\n"
    "</track>\r\n"
    "<measures>\r\n"
    "</measures>\r\n"
    "</staffdoc>\r\n";

} // namespace

TEST_F(SheetFileTest, NewSheetWithOneQuarterIsWrittenByteForByte)
{
    SheetDocument s;
    s.trackAt(0)->insertNote(quarterAt(0), 0);
    const std::string p = path("one.shd");
    ASSERT_TRUE(saveSheet(s, "one.shd", p));
    EXPECT_EQ(slurp(p), kWorkedExample);
    EXPECT_EQ(s.path, p);
    EXPECT_EQ(s.caption, "one.shd");
    EXPECT_FALSE(s.modified);
}

TEST_F(SheetFileTest, SavingOverALongerFileLeavesNoTrace)
{
    const std::string p = path("over.shd");
    spit(p, std::string(100000, '#'));
    SheetDocument s;
    ASSERT_TRUE(saveSheet(s, "over.shd", p));
    const std::string text = slurp(p);
    EXPECT_EQ(text.find('#'), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 13), "</staffdoc>\r\n");
}

TEST_F(SheetFileTest, FailedSaveKeepsMarkPathCaptionAndTheOldFile)
{
    const std::string p = path("keep.shd");
    spit(p, "old content");
    SheetDocument s;
    s.setPathAndCaption("keep.shd", p);
    s.snapshot();
    ASSERT_TRUE(s.modified);
    if (::geteuid() == 0) {
        // Root ignores folder permissions; a missing folder fails for everyone.
        const FileResult r = saveSheet(s, "x.shd", path("missing/dir/x.shd"));
        EXPECT_FALSE(r);
        EXPECT_FALSE(r.error.empty());
    } else {
        fs::permissions(dir, fs::perms::owner_write, fs::perm_options::remove);
        const FileResult r = saveSheet(s, "keep.shd", p);
        EXPECT_FALSE(r);
        EXPECT_NE(r.error.find("keep.shd"), std::string::npos);
        fs::permissions(dir, fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(slurp(p), "old content");
    }
    EXPECT_TRUE(s.modified);
    EXPECT_EQ(s.path, p);
    EXPECT_EQ(s.windowText(), "keep.shd*");
    // No temporary file is left behind.
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(SheetFileTest, SaveThroughASymlinkKeepsTheLink)
{
    const std::string target = path("real.shd");
    const std::string link = path("link.shd");
    spit(target, "old");
    fs::create_symlink(target, link);
    SheetDocument s;
    ASSERT_TRUE(saveSheet(s, "link.shd", link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(target).rfind("<staffdoc", 0), 0u);
}

TEST_F(SheetFileTest, ExistingFileKeepsItsPermissions)
{
    const std::string p = path("perm.shd");
    spit(p, "old");
    ::chmod(p.c_str(), 0640);
    SheetDocument s;
    ASSERT_TRUE(saveSheet(s, "perm.shd", p));
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(SheetFileTest, SaveAndLoadKeepEveryFieldOfEveryNoteAndTrack)
{
    SheetDocument s;
    s.setTrackCount(3);
    s.zoomamount = 1.25f;
    s.setTimeSignatureCode(kTimeSig68);
    Track& t0 = *s.trackAt(0);
    t0.tempo = 96;
    t0.iid = 24;
    t0.groupid = 3;
    t0.devid = 1;
    t0.bpm = 80;
    t0.setKeyIndex(10);
    Track& t2 = *s.trackAt(2);
    setTrackType(t2, 1);
    for (int i = 0; i < 6; ++i) {
        Note n = quarterAt(i - 3);
        n.volume = 10 * i;
        n.pan = 100 - i;
        n.iid = i;
        n.dwFlag = i % 2 ? kFlagSharp | kFlagTie : kFlagDot;
        n.dwStopOffset = -50 * i;
        n.setLyric(i == 2 ? std::string(127, 'y') : "syl \"" + std::to_string(i) + "\"");
        n.setLabel("L" + std::to_string(i));
        n.banknum = i;
        t0.insertNote(n, i);
    }
    t0.noteAt(4).chordparent = 3;
    t0.noteAt(5).loopTo = 1;
    t0.noteAt(5).loopCount = 2;
    t0.noteAt(1).setFilename(std::string("/music/clips/riff one.mp3"));
    t0.rebuildChordLists();
    t2.insertNote(quarterAt(-4), 0);

    const std::string p = path("all.shd");
    ASSERT_TRUE(saveSheet(s, "all.shd", p));
    SheetDocument r;
    const LoadResult res = loadSheet(r, "all.shd", p);
    ASSERT_TRUE(res.ok()) << res.error;
    EXPECT_TRUE(res.warnings.empty());
    EXPECT_FLOAT_EQ(r.zoomamount, 1.25f);
    EXPECT_EQ(r.timesig, kTimeSig68);
    ASSERT_EQ(r.trackCount(), 3);
    const Track& a = *r.trackAt(0);
    EXPECT_EQ(a.tempo, 96);
    EXPECT_EQ(a.iid, 24);
    EXPECT_EQ(a.groupid, 3);
    EXPECT_EQ(a.devid, 1);
    EXPECT_EQ(a.bpm, 80);
    EXPECT_EQ(a.keyindex, 10);
    EXPECT_EQ(a.key, '3');
    EXPECT_TRUE(a.flatKey);
    EXPECT_EQ(a.timeSig, kTimeSig68);
    ASSERT_EQ(a.count, 6);
    for (int i = 0; i < 6; ++i) {
        const Note& want = t0.noteAt(i);
        const Note& got = a.noteAt(i);
        EXPECT_EQ(got.midi, want.midi) << i;
        EXPECT_EQ(got.line, want.line) << i;
        EXPECT_EQ(got.type, want.type) << i;
        EXPECT_EQ(got.volume, want.volume) << i;
        EXPECT_EQ(got.pan, want.pan) << i;
        EXPECT_EQ(got.iid, want.iid) << i;
        EXPECT_EQ(got.dwFlag, want.dwFlag) << i;
        EXPECT_EQ(got.dwStopOffset, want.dwStopOffset) << i;
        EXPECT_EQ(got.lyrictext(), want.lyrictext()) << i;
        EXPECT_EQ(got.labelText(), want.labelText()) << i;
        EXPECT_EQ(got.banknum, want.banknum) << i;
        EXPECT_EQ(got.chordparent, want.chordparent) << i;
        EXPECT_EQ(got.loopTo, want.loopTo) << i;
        EXPECT_EQ(got.loopCount, want.loopCount) << i;
        EXPECT_EQ(got.filename(), want.filename()) << i;
    }
    EXPECT_EQ(a.noteAt(3).childCount, 1);
    EXPECT_EQ(a.noteAt(1).displayName(), "riff one.mp3");
    EXPECT_EQ(staffKindOf(*r.trackAt(2)), StaffKind::FClef);
    EXPECT_EQ(r.trackAt(2)->noteAt(0).line, t2.noteAt(0).line);

    // A second save of the loaded sheet gives the same bytes.
    const std::string p2 = path("again.shd");
    ASSERT_TRUE(saveSheet(r, "again.shd", p2));
    EXPECT_EQ(slurp(p2), slurp(p));
}

TEST_F(SheetFileTest, RootAttributesLoadInAnyOrderAndFallBack)
{
    SheetDocument a;
    ASSERT_TRUE(
        loadSheetFromText(a, "<staffdoc\r\ntimesig=391548\r\nzoomamount=1.5\r\n>\r\n</staffdoc>\r\n").ok());
    EXPECT_EQ(a.timesig, kTimeSig34);
    EXPECT_FLOAT_EQ(a.zoomamount, 1.5f);

    SheetDocument b;
    loadSheetFromText(b, "<staffdoc\r\nzoomamount=abc\r\ntimesig=\r\n>\r\n</staffdoc>\r\n");
    EXPECT_FLOAT_EQ(b.zoomamount, 1.0f);
    EXPECT_EQ(b.timesig, kTimeSig44);

    SheetDocument c;
    loadSheetFromText(c, "<staffdoc\r\n>\r\n</staffdoc>\r\n");
    EXPECT_FLOAT_EQ(c.zoomamount, 0.9f);

    SheetDocument d;
    loadSheetFromText(d, "<staffdoc\r\nzoomamount=nan\r\n>\r\n</staffdoc>\r\n");
    EXPECT_FLOAT_EQ(d.zoomamount, 1.0f);
    SheetDocument e;
    loadSheetFromText(e, "<staffdoc\r\nzoomamount=-3\r\n>\r\n</staffdoc>\r\n");
    EXPECT_FLOAT_EQ(e.zoomamount, 1.0f);
}

TEST_F(SheetFileTest, TrackElementsBecomeTracksWithChannelsInOrder)
{
    std::string text = "<staffdoc\r\n>\r\n";
    for (int i = 0; i < 3; ++i)
        text += "<track>\r\n<config\r\ntempo=" + std::to_string(100 + i) + " >\r\n</config>\r\n</track>\r\n";
    text += "<measures>\r\n</measures>\r\n</staffdoc>\r\n";
    SheetDocument s;
    s.selectedTrack = 2;
    ASSERT_TRUE(loadSheetFromText(s, text).ok());
    ASSERT_EQ(s.trackCount(), 3);
    EXPECT_EQ(s.shownTrackCount(), 3);
    EXPECT_EQ(s.selectedTrack, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s.trackAt(i)->channel, i);
        EXPECT_EQ(s.trackAt(i)->tempo, 100 + i);
    }
}

TEST_F(SheetFileTest, SixteenTracksLoadButTheCountFieldStays)
{
    std::string text = "<staffdoc\r\n>\r\n";
    for (int i = 0; i < 16; ++i)
        text += "<track>\r\n</track>\r\n";
    text += "</staffdoc>\r\n";
    SheetDocument s;
    loadSheetFromText(s, text);
    EXPECT_EQ(s.trackCount(), 16);
    EXPECT_EQ(s.shownTrackCount(), 2);
}

TEST_F(SheetFileTest, ChordDocumentGivenToLoadChangesOnlyCaptionAndPath)
{
    const std::string p = path("chords.shd");
    spit(p, "<chorddoc>\r\n<chord quality=1 >\r\n</chord>\r\n</chorddoc>\r\n");
    SheetDocument s;
    s.trackAt(0)->insertNote(quarterAt(0), 0);
    s.snapshot();
    const LoadResult r = loadSheet(s, "chords.shd", p);
    EXPECT_EQ(r.status, LoadStatus::WrongKind);
    EXPECT_EQ(s.caption, "chords.shd");
    EXPECT_EQ(s.path, p);
    EXPECT_EQ(s.trackCount(), 2);
    EXPECT_EQ(s.trackAt(0)->count, 1);
    EXPECT_TRUE(s.modified) << "loading leaves the modified mark alone";
}

TEST_F(SheetFileTest, UnreadableFileChangesNothingAndSaysWhy)
{
    SheetDocument s;
    s.setPathAndCaption("mine.shd", "/tmp/mine.shd");
    const LoadResult r = loadSheet(s, "gone.shd", path("gone.shd"));
    EXPECT_EQ(r.status, LoadStatus::Unreadable);
    EXPECT_NE(r.error.find("gone.shd"), std::string::npos);
    EXPECT_EQ(s.path, "/tmp/mine.shd");
    EXPECT_EQ(s.trackCount(), 2);
}

TEST_F(SheetFileTest, HostileIndicesAreNeutralised)
{
    const std::string text =
        "<staffdoc\r\n>\r\n<track>\r\n"
        "<note\r\nchordparent=5000 loopTo=-7 loopCount=3 >\r\n</note>\r\n"
        "<note\r\nchordparent=0 loopTo=0 loopCount=2000000000 midi=999 line=-99999 >\r\n</note>\r\n"
        "<note\r\nchordparent=1 type=-5 >\r\n</note>\r\n"
        "</track>\r\n</staffdoc>\r\n";
    SheetDocument s;
    ASSERT_TRUE(loadSheetFromText(s, text).ok());
    const Track& t = *s.trackAt(0);
    ASSERT_EQ(t.count, 3);
    EXPECT_EQ(t.noteAt(0).chordparent, -1);
    EXPECT_EQ(t.noteAt(0).loopCount, 0);
    EXPECT_EQ(t.noteAt(1).chordparent, 0);
    EXPECT_EQ(t.noteAt(1).midi, 127);
    EXPECT_EQ(t.noteAt(2).chordparent, -1) << "a member of a member is not kept";
    // Play time over an absurd loop count still comes back.
    EXPECT_GE(totalPlayMs(t), 0);
}

TEST_F(SheetFileTest, UndoRightAfterLoadingDoesNothing)
{
    SheetDocument s;
    loadSheetFromText(s, kWorkedExample);
    s.undo();
    EXPECT_EQ(s.trackAt(0)->count, 1);
}

TEST_F(SheetFileTest, GarbageLoadsAsAnEmptySheetOrIsRefused)
{
    for (const std::string& text :
         {std::string("\0\0\0", 3), std::string("<<<<>>>>"), std::string("<staffdoc <track> <note midi"),
          std::string("staffdoc <track> </staffdoc")}) {
        SheetDocument s;
        const LoadResult r = loadSheetFromText(s, text);
        if (r.ok())
            EXPECT_LE(s.trackCount(), 1) << text;
        else
            EXPECT_EQ(s.trackCount(), 2) << text;
    }
}

TEST_F(SheetFileTest, LongPathsAreKeptWhole)
{
    fs::path deep = dir;
    for (int i = 0; i < 6; ++i)
        deep /= std::string(60, static_cast<char>('a' + i));
    fs::create_directories(deep);
    const std::string p = (deep / "song.shd").string();
    ASSERT_GT(p.size(), 300u);
    SheetDocument s;
    ASSERT_TRUE(saveSheet(s, "song.shd", p));
    EXPECT_EQ(s.path, p);
    SheetDocument r;
    ASSERT_TRUE(loadSheet(r, "song.shd", p).ok());
    EXPECT_EQ(r.path, p);
}

namespace {
// Checks from another thread whether the sheet lock is free when the sheet says it was loaded.
class LockProbeView : public SheetObserver {
  public:
    void sheetChanged(const SheetChangeEvent& change) override
    {
        if (change.kind != SheetChange::Load)
            return;
        lockedDuringRelayout = std::async(std::launch::async, [] {
                                   if (!sheetLock().try_lock())
                                       return true;
                                   sheetLock().unlock();
                                   return false;
                               }).get();
    }
    bool lockedDuringRelayout = false;
};
} // namespace

TEST_F(SheetFileTest, WholeLoadHoldsTheSheetLock)
{
    const std::string p = path("locked.shd");
    spit(p, kWorkedExample);
    SheetDocument s;
    LockProbeView view;
    s.addObserver(&view);
    ASSERT_TRUE(loadSheet(s, "locked.shd", p).ok());
    EXPECT_TRUE(view.lockedDuringRelayout);
}

TEST_F(SheetFileTest, FClefNotesKeepTheirPitchThroughSaveAndLoad)
{
    // E on a G clef track moves to a stored key of 73 on an F clef track (nine above where it
    // sounds); reading that back must not add a sharp.
    SheetDocument s;
    Track& t = *s.trackAt(0);
    for (int line : {-2, -5, 1}) {
        Note n;
        n.type = kTypeQuarter;
        n.setStaffPosition(line);
        t.insertNote(n, t.count);
    }
    t.noteAt(2).dwFlag |= kFlagSharp; // a real sharp stays
    setTrackType(t, 1);
    std::vector<int> before;
    before.reserve(static_cast<std::size_t>(t.count));
    for (int i = 0; i < t.count; ++i)
        before.push_back(t.noteAt(i).effectiveKey());
    const std::string p = path("fclef.shd");
    ASSERT_TRUE(saveSheet(s, "fclef.shd", p));
    SheetDocument r;
    ASSERT_TRUE(loadSheet(r, "fclef.shd", p).ok());
    for (int i = 0; i < t.count; ++i)
        EXPECT_EQ(r.trackAt(0)->noteAt(i).effectiveKey(), before[static_cast<std::size_t>(i)]) << i;
    EXPECT_TRUE(r.trackAt(0)->noteAt(2).dwFlag & kFlagSharp);
}

TEST_F(SheetFileTest, PercussionKeepsItsRestsDotsTripletsAndTiesThroughSaveAndLoadButNoAccidentals)
{
    // GIVEN a drum part as MIDI import leaves it: rests, dotted notes, triplets and ties
    SheetDocument s;
    Track& drums = *s.trackAt(0);
    setTrackType(drums, static_cast<int>(StaffKind::Percussion));
    const std::vector<int> flags{kFlagRest,
                                 kFlagRest | kFlagDot,
                                 kFlagDot,
                                 kFlagTriplet,
                                 kFlagTie | kFlagDot,
                                 kFlagSharp | kFlagDot,
                                 kFlagFlat | kFlagTriplet,
                                 kFlagNatural | kFlagTie};
    for (std::size_t i = 0; i < flags.size(); ++i) {
        Note n = quarterAt(static_cast<int>(i) - 2);
        n.dwFlag = flags[i];
        drums.insertNote(n, drums.count);
    }
    const long long playMs = totalPlayMs(drums);

    // WHEN it is saved and loaded
    const std::string p = path("drums.shd");
    ASSERT_TRUE(saveSheet(s, "drums.shd", p));
    SheetDocument r;
    ASSERT_TRUE(loadSheet(r, "drums.shd", p).ok());

    // THEN every length mark is back, and only the accidentals are gone
    const Track& back = *r.trackAt(0);
    ASSERT_EQ(back.percussive, 1);
    ASSERT_EQ(back.count, static_cast<int>(flags.size()));
    for (std::size_t i = 0; i < flags.size(); ++i)
        EXPECT_EQ(back.noteAt(static_cast<int>(i)).dwFlag,
                  flags[i] & ~(kFlagSharp | kFlagFlat | kFlagNatural))
            << i;
    EXPECT_EQ(totalPlayMs(back), playMs) << "the drum part plays as long as before";
}

TEST_F(SheetFileTest, EveryZoomTheWindowAllowsSurvivesSaveAndLoad)
{
    std::vector<float> zooms{kMinZoom, 0.5f, 1.0f, 2.5f, 8.5f, 9.9f, kMaxZoom};
    // The zooms the wheel reaches from a new sheet's, one step at a time.
    float wheel = kDefaultZoom;
    while (wheel <= kMaxZoom) {
        zooms.push_back(wheel);
        wheel += 0.1f;
    }
    for (const float zoom : zooms) {
        SheetDocument s;
        s.zoomamount = zoom;
        SheetDocument r;
        ASSERT_TRUE(loadSheetFromText(r, sheetToText(s)).ok());
        EXPECT_NEAR(r.zoomamount, zoom, 1e-5f) << zoom;
    }
    // Beyond what the window allows a file's zoom is brought into the range.
    SheetDocument big;
    loadSheetFromText(big, "<staffdoc\r\nzoomamount=40\r\n>\r\n</staffdoc>\r\n");
    EXPECT_FLOAT_EQ(big.zoomamount, kMaxZoom);
    SheetDocument small;
    loadSheetFromText(small, "<staffdoc\r\nzoomamount=0.1\r\n>\r\n</staffdoc>\r\n");
    EXPECT_FLOAT_EQ(small.zoomamount, kMinZoom);
}

TEST_F(SheetFileTest, AFileWithManyBlankLinesBeforeItsRootOpensAsASheet)
{
    const std::string p = path("blank-lines.shd");
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += i % 2 ? "\r\n" : " \t\r\n";
    spit(p, text + kWorkedExample);
    EXPECT_EQ(peekFirstToken(p), "staffdoc");
    SheetDocument s;
    const LoadResult r = loadSheet(s, "blank-lines.shd", p);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_TRUE(r.warnings.empty());
    ASSERT_EQ(s.trackAt(0)->count, 1);
}

TEST_F(SheetFileTest, AFileCutOffBeforeItsEndLoadsTheWholeNotesItHoldsAndSaysSo)
{
    // GIVEN a saved sheet of eight notes in two tracks
    SheetDocument s;
    for (int i = 0; i < 8; ++i) {
        Note n = quarterAt(i - 4);
        n.midi = static_cast<int8_t>(64 + i);
        s.trackAt(i / 4)->insertNote(n, s.trackAt(i / 4)->count);
    }
    const std::string whole = sheetToText(s);
    SheetDocument complete;
    const LoadResult full = loadSheetFromText(complete, whole);
    ASSERT_TRUE(full.ok());
    EXPECT_TRUE(full.warnings.empty()) << "a whole file loads without a warning";

    // WHEN the file is cut inside the sixth note's values, right after the second track's
    // first note, and just before the closing line
    const std::size_t sixth = whole.find("midi=69");
    const std::size_t afterFifth = whole.find("</note>", whole.find("midi=68")) + 9;
    const std::size_t end = whole.find("<measures>");
    ASSERT_NE(sixth, std::string::npos);
    const std::vector<std::pair<std::size_t, int>> cuts{{sixth + 6, 5}, {afterFifth, 5}, {end, 8}};
    for (const auto& [cut, notes] : cuts) {
        SheetDocument r;
        const LoadResult res = loadSheetFromText(r, whole.substr(0, cut));
        // THEN the notes before the cut are loaded as they were, with a warning that says so
        ASSERT_TRUE(res.ok()) << cut;
        EXPECT_EQ(res.warnings, std::vector<std::string>{kSheetCutOffWarning}) << cut;
        int loaded = 0;
        for (int t = 0; t < r.trackCount(); ++t)
            for (int i = 0; i < r.trackAt(t)->count; ++i, ++loaded)
                EXPECT_EQ(r.trackAt(t)->noteAt(i).midi, 64 + t * 4 + i) << cut;
        EXPECT_EQ(loaded, notes) << cut;
    }
}

TEST_F(SheetFileTest, TheSheetsTextsAreKeptOnlyWhenSetSoEveryExampleSavesByteForByte)
{
    // Every example sheet, loaded and saved, is the file it was: no text attribute appears
    // where the file had none.
    int examples = 0;
    for (const auto& e : fs::directory_iterator(std::string(TONVELA_SOURCE_DIR) + "/examples")) {
        if (e.path().extension() != ".shd")
            continue;
        SheetDocument s;
        const LoadResult loaded = loadSheet(s, "x.shd", e.path().string());
        if (loaded.status == LoadStatus::WrongKind)
            continue; // a chord document
        ASSERT_TRUE(loaded.ok()) << e.path();
        ++examples;
        // A sheet without text attributes loads with no texts; one with them (the lead sheet)
        // keeps them through the save below.
        const std::string bytes = slurp(e.path().string());
        const bool hasTexts =
            bytes.find("\ntitle=") != std::string::npos || bytes.find("\ncomposer=") != std::string::npos;
        if (hasTexts)
            EXPECT_NE(s.texts, SheetTexts{}) << e.path();
        else
            EXPECT_EQ(s.texts, SheetTexts{}) << e.path();
        const std::string p = path("again.shd");
        ASSERT_TRUE(saveSheet(s, "again.shd", p));
        EXPECT_EQ(slurp(p), slurp(e.path().string())) << e.path();
    }
    EXPECT_GE(examples, 5);

    // Set texts, with blanks, quotes, angle brackets and line breaks, come back as they were;
    // only the set ones are written, after the time signature.
    SheetDocument s;
    s.texts.title = "Ode \"to\" <Joy>\nin C";
    s.texts.composer = "Ludwig van Beethoven";
    s.texts.copyright = "© 2026 100% mine";
    const std::string p = path("texts.shd");
    ASSERT_TRUE(saveSheet(s, "texts.shd", p));
    const std::string text = slurp(p);
    EXPECT_NE(text.find("timesig=391549\r\ntitle=\"Ode %22to%22 %3CJoy%3E%0Ain C\"\r\ncomposer=\"Ludwig van "
                        "Beethoven\"\r\ncopyright=\"© 2026 100%25 mine\"\r\n>\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("subtitle"), std::string::npos);
    EXPECT_EQ(text.find("lyricist"), std::string::npos);
    SheetDocument back;
    ASSERT_TRUE(loadSheet(back, "texts.shd", p).ok());
    EXPECT_EQ(back.texts, s.texts);
    // The autosave's copy writes the same text.
    EXPECT_EQ(sheetCopyText(copySheet(s)), text);
    // A load replaces the texts of the sheet it loads into.
    ASSERT_TRUE(loadSheetFromText(back, kWorkedExample).ok());
    EXPECT_EQ(back.texts, SheetTexts{});
}

TEST_F(SheetFileTest, AChordSymbolIsStoredOnlyOnItsNoteAndComesBackCanonical)
{
    SheetDocument s;
    s.trackAt(0)->insertNote(quarterAt(0), 0);
    s.trackAt(0)->insertNote(quarterAt(2), 1);
    s.trackAt(0)->noteAt(1).setChordSymbol("Bbm7b5/E");
    s.trackAt(0)->noteAt(1).setLyric("la");
    const std::string p = path("chords.shd");
    ASSERT_TRUE(saveSheet(s, "chords.shd", p));
    const std::string text = slurp(p);
    // Once, on the second note, before the lyric (which stays the last attribute).
    const auto at = text.find("chordsymbol=\"Bbm7b5/E\" lyrictext=\"la\">");
    EXPECT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.find("chordsymbol", at + 1), std::string::npos);
    EXPECT_GT(at, text.find("<note"));

    SheetDocument back;
    ASSERT_TRUE(loadSheet(back, "chords.shd", p).ok());
    EXPECT_FALSE(back.trackAt(0)->noteAt(0).chordSymbol());
    EXPECT_EQ(back.trackAt(0)->noteAt(1).chordSymbol(), "Bbm7b5/E");

    // A file may spell a symbol another way (edited by hand): it is read and kept canonical.
    // A text that names no chord is left out, and the note loads as it was otherwise.
    std::string edited = text;
    edited.replace(at, std::string("chordsymbol=\"Bbm7b5/E\"").size(), "chordsymbol=\"Bb-7b5/e\"");
    spit(p, edited);
    ASSERT_TRUE(loadSheet(back, "chords.shd", p).ok());
    EXPECT_EQ(back.trackAt(0)->noteAt(1).chordSymbol(), "Bbm7b5/E");
    edited.replace(at, std::string("chordsymbol=\"Bb-7b5/e\"").size(), "chordsymbol=\"Qx7\"");
    spit(p, edited);
    ASSERT_TRUE(loadSheet(back, "chords.shd", p).ok());
    EXPECT_FALSE(back.trackAt(0)->noteAt(1).chordSymbol());
    EXPECT_EQ(back.trackAt(0)->noteAt(1).lyrictext(), "la");
    EXPECT_EQ(back.trackAt(0)->noteAt(1).line, 2);
}
