#include "cli_test_util.h"

using tonvela::testing::CliTest;
using tonvela::testing::readFile;
using tonvela::testing::writeFile;

namespace {

class ChordsCliTest : public CliTest {
  protected:
    // A sheet of two empty tracks, the second in F clef.
    std::string newSheet(const std::string& name)
    {
        const std::string track =
            "<track>\r\n<config\r\nbpm=120 devid=0 iid=0 groupid=0 key=C keyindex=7 tempo=120 "
            "drawmode=%d percussive=0 >\r\n</config>\r\n</track>\r\n";
        std::string text = "<staffdoc\r\nzoomamount=0.9\r\ntimesig=391549\r\n>\r\n";
        for (int mode : {0, 2}) {
            std::string t = track;
            t.replace(t.find("%d"), 2, std::to_string(mode));
            text += t;
        }
        text += "<measures>\r\n</measures>\r\n</staffdoc>\r\n";
        writeFile(path(name), text);
        return path(name);
    }
    static std::string q(const std::string& p) { return "'" + p + "'"; }
};

const char* kChordDoc = "<chorddoc>\r\n"
                        "<chord \r\n"
                        "quality=0 startfret=1 label=\"A\" szchord=\"11023333243151061X\" ></chord>\r\n"
                        "<chord \r\n"
                        "quality=0 startfret=3 label=\"Bbdim\" szchord=\"11X23134243352461X\" ></chord>\r\n"
                        "</chorddoc>";

TEST_F(ChordsCliTest, ChordAndScalePrintTheirPitches)
{
    auto r = run("chord C dom13");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "C E G A# D F A\n");
    EXPECT_EQ(run("chord A#/Bb maj").out, "A# D F\n");
    EXPECT_EQ(run("chord A dim7").out, "A C D# F#\n");
    EXPECT_EQ(run("scale F Major").out, "F G A Bb C D E F\n");
    EXPECT_EQ(run("scale A 'major pentatonic'").out, "A B C# E F# A\n");
    r = run("chord H maj");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("\"H\" is not a root"), std::string::npos) << r.err;
    r = run("chord C major7");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("dom13"), std::string::npos) << r.err; // lists the qualities
    EXPECT_NE(run("scale C dorian").exitCode, 0);
}

TEST_F(ChordsCliTest, LibraryListsEveryShape)
{
    auto r = run("library");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Ab    Major         1           11X221321421543654"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Db    Minor         4           12123234444352161X"), std::string::npos) << r.out;
    r = run("library --json");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"roots\": ["), std::string::npos);
    EXPECT_NE(r.out.find("\"fingering\": \"110210310433532610\""), std::string::npos) << r.out;
    std::size_t shapes = 0;
    for (auto p = r.out.find("\"startfret\""); p != std::string::npos; p = r.out.find("\"startfret\"", p + 1))
        ++shapes;
    EXPECT_EQ(shapes, 54u);
}

TEST_F(ChordsCliTest, AddChordAppendsToTheSheetFileAndSavesIt)
{
    const std::string sheet = newSheet("s.shd");
    auto r = run("add-chord " + q(sheet) + " G# sus4");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Added 6 notes to track 1"), std::string::npos) << r.out;
    const std::string saved = readFile(sheet);
    EXPECT_NE(saved.find("lyrictext=\"G# sus4\""), std::string::npos) << saved;
    r = run("add-chord " + q(sheet) + " C maj --arpeggio --track 2 --duration half");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = run("info --json " + q(sheet));
    EXPECT_NE(r.out.find("\"notes\": 6,\n      \"rests\": 0,\n      \"chordRoots\": 1"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"notes\": 6,\n      \"rests\": 0,\n      \"chordRoots\": 0"), std::string::npos)
        << r.out;
}

TEST_F(ChordsCliTest, AddShapeAndAddScaleAppendWhatTheyName)
{
    const std::string sheet = newSheet("s.shd");
    ASSERT_EQ(run("add-shape " + q(sheet) + " E Major 1").exitCode, 0);
    ASSERT_EQ(run("add-shape " + q(sheet) + " G# m 4 --tie").exitCode, 0); // G# is the library's Ab
    ASSERT_EQ(run("add-scale " + q(sheet) + " A blues --melody --octave 1").exitCode, 0);
    ASSERT_EQ(run("add-scale " + q(sheet) + " C major --chord").exitCode, 0);
    const auto r = run("info --json " + q(sheet));
    EXPECT_NE(r.out.find("\"notes\": 27"), std::string::npos) << r.out; // 6 + 6 + 7 + 8
    const std::string saved = readFile(sheet);
    EXPECT_NE(saved.find("midi=57 type=1028 line=2 "), std::string::npos) << saved; // the A below middle C
}

TEST_F(ChordsCliTest, EntryCommandsRefuseBadInputAndLeaveTheFileAlone)
{
    const std::string sheet = newSheet("s.shd");
    const std::string before = readFile(sheet);
    EXPECT_NE(run("add-shape " + q(sheet) + " A Minor 5").exitCode, 0);
    EXPECT_NE(run("add-shape " + q(sheet) + " H Major 1").exitCode, 0);
    EXPECT_NE(run("add-scale " + q(sheet) + " A major").exitCode, 0); // neither --chord nor --melody
    EXPECT_NE(run("add-scale " + q(sheet) + " A major --melody --octave 3").exitCode, 0);
    EXPECT_NE(run("add-chord " + q(sheet) + " C maj --track 3").exitCode, 0);
    EXPECT_NE(run("add-chord " + q(sheet) + " C maj --duration long").exitCode, 0);
    EXPECT_EQ(readFile(sheet), before);

    writeFile(path("chords.shd"), kChordDoc);
    auto r = run("add-chord " + q(path("chords.shd")) + " C maj");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("chord document"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(path("chords.shd")), kChordDoc);
    r = run("add-chord " + q(path("missing.shd")) + " C maj");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("missing.shd"), std::string::npos) << r.err;
}

TEST_F(ChordsCliTest, InfoDescribesChordDocuments)
{
    writeFile(path("chords.shd"), kChordDoc);
    auto r = run("info --json " + q(path("chords.shd")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"kind\": \"chords\""), std::string::npos) << r.out;
    EXPECT_NE(
        r.out.find(
            "\"label\": \"Bbdim\",\n      \"quality\": 0,\n      \"startfret\": 3,\n      \"fingering\": "
            "\"11X23134243352461X\""),
        std::string::npos)
        << r.out;
    r = run("info " + q(path("chords.shd")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Chord document: 2 diagrams"), std::string::npos) << r.out;
}

TEST_F(ChordsCliTest, ConvertGivesAChordDocumentBackByteForByte)
{
    writeFile(path("chords.shd"), kChordDoc);
    auto r = run("convert " + q(path("chords.shd")) + " " + q(path("copy.shd")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(path("copy.shd")), kChordDoc);

    std::string lf = kChordDoc;
    for (auto p = lf.find('\r'); p != std::string::npos; p = lf.find('\r'))
        lf.erase(p, 1);
    writeFile(path("lf.shd"), lf);
    ASSERT_EQ(run("convert " + q(path("lf.shd")) + " " + q(path("lf-copy.shd"))).exitCode, 0);
    EXPECT_EQ(readFile(path("lf-copy.shd")), lf);

    r = run("convert " + q(path("chords.shd")) + " " + q(path("chords.ly")));
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find(".shd"), std::string::npos) << r.err;
}

TEST_F(ChordsCliTest, ConvertWritesLilyPond)
{
    const std::string sheet = newSheet("s.shd");
    ASSERT_EQ(run("add-chord " + q(sheet) + " C maj").exitCode, 0);
    ASSERT_EQ(run("add-scale " + q(sheet) + " C major --melody --track 2").exitCode, 0);
    const auto r = run("convert " + q(sheet) + " " + q(path("s.ly")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string ly = readFile(path("s.ly"));
    EXPECT_NE(ly.find("<c' e' g' c e g>4\r\n"), std::string::npos) << ly;
    EXPECT_NE(ly.find("\\clef bass\r\n\\key c \\major\r\nc'4\r\nd'4\r\n"), std::string::npos) << ly;
    EXPECT_NE(ly.find("\"C maj\"4"), std::string::npos) << ly;
    EXPECT_NE(run("convert " + q(sheet) + " " + q(path("nodir/s.ly"))).exitCode, 0);
}

} // namespace
