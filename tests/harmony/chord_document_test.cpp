#include "harmony/chord_document.h"
#include "harmony/chord_document_file.h"
#include "harmony/guitar_library.h"
#include "platform/notifier.h"
#include "score/markup_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace tonvela {
namespace {

class RecordingView : public ChordDocumentView {
  public:
    void repaint(const PageRect& r) override { areas.push_back(r); }
    void repaintAll() override { ++fullRepaints; }
    void windowTextChanged(const std::string& text) override { captions.push_back(text); }
    void scrollRangeChanged(int maximum, int position) override
    {
        lastMax = maximum;
        lastPos = position;
    }
    std::vector<PageRect> areas;
    std::vector<std::string> captions;
    int fullRepaints = 0;
    int lastMax = -1, lastPos = -1;
};

class ChordDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("tonvela-chorddoc-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    static std::string readFile(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void writeFile(const std::string& p, const std::string& text)
    {
        std::ofstream(p, std::ios::binary) << text;
    }

    // The A major and E minor diagrams of the library.
    static void addExampleDiagrams(ChordDocument& doc)
    {
        ASSERT_TRUE(doc.addDiagramFromLibrary(guitarLibrary(), "A", "Major", 1));
        ASSERT_TRUE(doc.addDiagramFromLibrary(guitarLibrary(), "E", "Minor", 1));
    }

    std::filesystem::path dir;
};

const char* kExampleLf = "<chorddoc>\n"
                         "<chord \n"
                         "quality=0 startfret=1 label=\"A\" szchord=\"11023333243151061X\" ></chord>\n"
                         "<chord \n"
                         "quality=0 startfret=1 label=\"Em\" szchord=\"110210310433532610\" ></chord>\n"
                         "</chorddoc>";

TEST_F(ChordDocumentTest, TwoDiagramExampleIsWrittenLineForLine)
{
    ChordDocument doc;
    addExampleDiagrams(doc);
    doc.lineEnd = "\n";
    EXPECT_EQ(chordDocumentToText(doc), kExampleLf);
    ChordDocument crlf;
    addExampleDiagrams(crlf);
    std::string expected = kExampleLf;
    for (std::size_t p = expected.find('\n'); p != std::string::npos; p = expected.find('\n', p + 2))
        expected.replace(p, 1, "\r\n");
    EXPECT_EQ(chordDocumentToText(crlf), expected);
}

TEST_F(ChordDocumentTest, EmptyDocumentIsTheRootElementAlone)
{
    ChordDocument doc;
    EXPECT_EQ(chordDocumentToText(doc), "<chorddoc>\r\n</chorddoc>");
}

TEST_F(ChordDocumentTest, MajorChordLabelIsTheBareRoot)
{
    ChordDocument doc;
    doc.addDiagram("Bb", "dim", "11X23134243352461X", 3);
    doc.addDiagram("C", "", "11022131043254361X", 1);
    EXPECT_EQ(doc.diagrams()[0].label, "Bbdim");
    EXPECT_EQ(doc.diagrams()[1].label, "C");
    EXPECT_EQ(doc.diagrams()[0].quality, 0);
    EXPECT_EQ(doc.diagrams()[0].startFret, 3);
    EXPECT_TRUE(doc.modified);
    EXPECT_FALSE(doc.addDiagramFromLibrary(guitarLibrary(), "A", "Minor", 7));
    EXPECT_EQ(doc.diagramCount(), 2);
}

TEST_F(ChordDocumentTest, ReadingGivesBackEveryDiagramOfTheFile)
{
    writeFile(path("doc.shd"), kExampleLf);
    ChordDocument doc;
    const LoadResult res = readChordDocument(doc, "doc.shd", path("doc.shd"));
    ASSERT_TRUE(res.ok()) << res.error;
    ASSERT_EQ(doc.diagramCount(), 2);
    EXPECT_EQ(doc.diagrams()[1].label, "Em");
    EXPECT_EQ(doc.diagrams()[1].fingering, "110210310433532610");
    EXPECT_EQ(doc.diagrams()[1].startFret, 1);
    EXPECT_FALSE(doc.modified);
    EXPECT_EQ(doc.title, "doc.shd");
    ASSERT_NE(doc.tree(), nullptr);
    EXPECT_EQ(doc.tree()->root.name, "chorddoc");
    // Written again, the file comes back byte for byte, line ends included.
    ASSERT_TRUE(writeChordDocument(doc, "copy.shd", path("copy.shd")));
    EXPECT_EQ(readFile(path("copy.shd")), kExampleLf);
}

TEST_F(ChordDocumentTest, TheExampleChordDocumentLoadsAndIsWrittenBackByteForByte)
{
    const std::string example = std::string(TONVELA_SOURCE_DIR) + "/examples/first_chords.shd";
    ChordDocument doc;
    const LoadResult res = readChordDocument(doc, "first_chords.shd", example);
    ASSERT_TRUE(res.ok()) << res.error;
    EXPECT_TRUE(res.warnings.empty());
    EXPECT_EQ(doc.diagramCount(), 16);
    EXPECT_EQ(chordDocumentToText(doc), readFile(example));
}

TEST_F(ChordDocumentTest, QuotesAndMarkupCharactersInLabelsSurviveSaveAndLoad)
{
    ChordDocument doc;
    doc.addDiagram("A \"x\" <b>", "%\t", "110210321433532610", 12);
    doc.diagrams();
    ASSERT_TRUE(writeChordDocument(doc, "t", path("t.shd")));
    ChordDocument back;
    ASSERT_TRUE(readChordDocument(back, "t", path("t.shd")).ok());
    ASSERT_EQ(back.diagramCount(), 1);
    EXPECT_EQ(back.diagrams()[0].label, "A \"x\" <b>%\t");
    EXPECT_EQ(back.diagrams()[0].startFret, 12);
}

TEST_F(ChordDocumentTest, ThirtyThirdDiagramIsRefusedWithAMessageAndNothingIsLost)
{
    ChordDocument doc;
    CollectingNotifier notifier;
    for (int i = 0; i < kMaxDiagrams; ++i)
        ASSERT_TRUE(doc.addDiagram("A", std::to_string(i), "11023333243151061X", 1, &notifier));
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_FALSE(doc.addDiagram("E", "", "110210321433532610", 1, &notifier));
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].caption, "Error");
    EXPECT_NE(notifier.messages[0].text.find("32"), std::string::npos);
    EXPECT_EQ(doc.diagramCount(), 32);
    EXPECT_EQ(doc.diagrams().back().label, "A31");
}

TEST_F(ChordDocumentTest, FileWithMoreThanThirtyTwoChordsKeepsTheFirstThirtyTwoAndSaysSo)
{
    std::string text = "<chorddoc>\n";
    for (int i = 0; i < 40; ++i)
        text += "<chord \nquality=" + std::to_string(i) + " startfret=1 label=\"L" + std::to_string(i) +
                "\" szchord=\"1\" ></chord>\n";
    text += "</chorddoc>";
    ChordDocument doc;
    const LoadResult res = readChordDocumentFromText(doc, text);
    ASSERT_TRUE(res.ok());
    EXPECT_EQ(doc.diagramCount(), 32);
    EXPECT_EQ(doc.diagrams()[31].label, "L31");
    EXPECT_EQ(doc.diagrams()[31].quality, 31);
    ASSERT_FALSE(res.warnings.empty());
}

TEST_F(ChordDocumentTest, MissingAttributesTakeDefaultsAndOverlongTextsAreCut)
{
    ChordDocument doc;
    const LoadResult res = readChordDocumentFromText(
        doc, "<chorddoc><chord ></chord><chord label=\"" + std::string(50, 'x') + "\" startfret=zz></chord>");
    ASSERT_TRUE(res.ok());
    ASSERT_EQ(doc.diagramCount(), 2);
    EXPECT_EQ(doc.diagrams()[0].startFret, 1);
    EXPECT_EQ(doc.diagrams()[0].label, "");
    EXPECT_EQ(doc.diagrams()[1].label.size(), kMaxDiagramTextLength);
    EXPECT_EQ(doc.diagrams()[1].startFret, 0);
    EXPECT_FALSE(res.warnings.empty());
}

TEST_F(ChordDocumentTest, TextsAreReadAsUtf8AndCutOnACharacterBoundary)
{
    ChordDocument doc;
    std::string e16;
    for (int i = 0; i < 16; ++i)
        e16 += "\xC3\xA9"; // 32 bytes of "é"
    const LoadResult res = readChordDocumentFromText(
        doc, "<chorddoc><chord label=\"Cm\xE9\"></chord><chord label=\"" + e16 + "\"></chord></chorddoc>");
    ASSERT_TRUE(res.ok());
    ASSERT_EQ(doc.diagramCount(), 2);
    EXPECT_EQ(doc.diagrams()[0].label, "Cm\xC3\xA9");
    EXPECT_EQ(doc.diagrams()[1].label, e16.substr(0, 30));
    ASSERT_TRUE(doc.addDiagram("A", e16, "x02220", 1));
    EXPECT_EQ(doc.diagrams()[2].label, "A" + e16.substr(0, 30));
}

TEST_F(ChordDocumentTest, NonChordFilesAndUnreadableFilesChangeNothing)
{
    ChordDocument doc;
    doc.addDiagram("A", "", "11023333243151061X", 1);
    doc.title = "mine";
    writeFile(path("sheet.shd"), "<staffdoc\r\n>\r\n</staffdoc>\r\n");
    LoadResult res = readChordDocument(doc, "sheet.shd", path("sheet.shd"));
    EXPECT_EQ(res.status, LoadStatus::WrongKind);
    EXPECT_FALSE(res.error.empty());
    res = readChordDocument(doc, "none.shd", path("none.shd"));
    EXPECT_EQ(res.status, LoadStatus::Unreadable);
    EXPECT_EQ(doc.diagramCount(), 1);
    EXPECT_EQ(doc.title, "mine");
}

TEST_F(ChordDocumentTest, SavingIsAtomicAndAFailureIsReportedWithTheDocumentKept)
{
    ChordDocument doc;
    addExampleDiagrams(doc);
    ASSERT_TRUE(writeChordDocument(doc, "a.shd", path("a.shd")));
    EXPECT_FALSE(doc.modified);
    EXPECT_EQ(doc.path, path("a.shd"));

    // Fewer diagrams over the longer file: nothing of the old content remains.
    doc.removeDiagram(0);
    doc.markModified();
    ASSERT_TRUE(writeChordDocument(doc, "a.shd", path("a.shd")));
    const std::string saved = readFile(path("a.shd"));
    EXPECT_EQ(saved.substr(saved.size() - 11), "</chorddoc>");
    EXPECT_EQ(saved.find("label=\"A\""), std::string::npos);

    doc.markModified();
    const FileResult res = writeChordDocument(doc, "b.shd", path("no/such/dir/b.shd"));
    EXPECT_FALSE(res.ok);
    EXPECT_FALSE(res.error.empty());
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(doc.title, "a.shd");
    EXPECT_EQ(readFile(path("a.shd")), saved);
}

TEST_F(ChordDocumentTest, RemovingTheFirstOfThreeMovesTheOthersDown)
{
    ChordDocument doc;
    for (const char* r : {"A", "B", "C"})
        doc.addDiagram(r, "", "11023333243151061X", 1);
    doc.removeDiagram(0);
    ASSERT_EQ(doc.diagramCount(), 2);
    EXPECT_EQ(doc.diagrams()[0].label, "B");
    EXPECT_EQ(doc.diagrams()[1].label, "C");
    doc.removeDiagram(5); // ignored
    doc.setSelected(1, true);
    doc.removeSelectedDiagrams();
    ASSERT_EQ(doc.diagramCount(), 1);
    EXPECT_EQ(doc.diagrams()[0].label, "B");
    doc.clearDiagrams();
    EXPECT_EQ(doc.diagramCount(), 0);
}

TEST_F(ChordDocumentTest, PageHeightDecidesHowManyDiagramsAColumnHolds)
{
    ChordDocument doc;
    doc.resizePage(800, 400);
    EXPECT_EQ(doc.page().rowsPerColumn, 1);
    doc.resizePage(800, 605);
    EXPECT_EQ(doc.page().rowsPerColumn, 3);
    doc.resizePage(800, 100);
    EXPECT_EQ(doc.page().rowsPerColumn, 1);
}

TEST_F(ChordDocumentTest, DiagramsArePlacedInColumnsAndClicksToggleTheirSelection)
{
    ChordDocument doc;
    RecordingView view;
    doc.setView(&view);
    doc.resizePage(300, 605);
    for (int i = 0; i < 4; ++i)
        doc.addDiagram("A", std::to_string(i), "11023333243151061X", 1);
    EXPECT_EQ(view.captions.back(), "*");
    const ChordDiagram& fourth = doc.diagrams()[3];
    EXPECT_EQ(fourth.originX, 180); // second column
    EXPECT_EQ(fourth.originY, 40);
    EXPECT_EQ(fourth.boxLeft, 160);
    EXPECT_EQ(fourth.boxBottom, 210);

    doc.pressLeft();
    doc.releaseLeft(200, 100, false);
    EXPECT_TRUE(doc.diagrams()[3].selected);
    doc.pressLeft();
    doc.releaseLeft(200, 100, true); // rubber band: no toggle
    EXPECT_TRUE(doc.diagrams()[3].selected);
    doc.releaseLeft(200, 100, false); // not pressed: nothing
    EXPECT_TRUE(doc.diagrams()[3].selected);
    doc.pressLeft();
    doc.releaseLeft(5, 5, false); // empty spot clears every selection
    EXPECT_FALSE(doc.diagrams()[3].selected);

    doc.hover(60, 60);
    EXPECT_EQ(doc.page().hovered, 0);
    doc.hover(5, 5);
    EXPECT_EQ(doc.page().hovered, -1);
}

TEST_F(ChordDocumentTest, ScrollingMovesByColumnsWithinItsRange)
{
    ChordDocument doc;
    RecordingView view;
    doc.setView(&view);
    doc.resizePage(150, 400); // one diagram per column, one column on screen
    for (int i = 0; i < 6; ++i)
        doc.addDiagram("A", "", "11023333243151061X", 1);
    const int max = doc.page().scrollMax;
    EXPECT_GT(max, 0);
    doc.hover(60, 60);
    ASSERT_EQ(doc.page().hovered, 0);
    doc.scroll(PageScroll::LineLeft);
    EXPECT_EQ(doc.page().scrollPos, 0);
    doc.scroll(PageScroll::PageRight);
    EXPECT_EQ(doc.page().scrollPos, std::min(3, max));
    EXPECT_EQ(doc.page().hovered, -1) << "the diagram that was under the pointer moved away";
    for (int i = 0; i < 10; ++i)
        doc.wheel(false);
    EXPECT_EQ(doc.page().scrollPos, max);
    EXPECT_EQ(view.lastPos, max);
    // The first visible diagram is drawn at the page's first column.
    EXPECT_EQ(doc.diagrams()[static_cast<std::size_t>(max)].originX, 40);
    EXPECT_EQ(doc.diagramAtPoint(60, 60), max);
    doc.wheel(true);
    EXPECT_EQ(doc.page().scrollPos, max - 1);
}

TEST_F(ChordDocumentTest, AClickAfterScrollingRepaintsTheClickedDiagramWhereItIsShown)
{
    ChordDocument doc;
    RecordingView view;
    doc.setView(&view);
    doc.resizePage(150, 400); // one diagram per column, one column on screen
    for (int i = 0; i < 6; ++i)
        doc.addDiagram("A", "", "11023333243151061X", 1);
    doc.scrollTo(2);
    ASSERT_EQ(doc.page().scrollPos, 2);
    view.areas.clear();
    doc.pressLeft();
    doc.releaseLeft(60, 60, false);
    const ChordDiagram& clicked = doc.diagrams()[2];
    ASSERT_TRUE(clicked.selected);
    ASSERT_EQ(view.areas.size(), 1u);
    const PageRect& area = view.areas.back();
    EXPECT_LE(area.left, clicked.boxLeft);
    EXPECT_GE(area.right, clicked.boxRight);
    EXPECT_LE(area.top, clicked.boxTop);
    EXPECT_GE(area.bottom, clicked.boxBottom);
}

TEST_F(ChordDocumentTest, ScrollingToTheEndShowsTheLastColumnWhole)
{
    // A 600 pixel page shows four whole columns (the fourth box ends at 585); a fifth column,
    // starting at x = 600, lies wholly beyond the edge and must be reachable by scrolling.
    ChordDocument doc;
    doc.resizePage(600, 300);
    for (int i = 0; i < 4; ++i)
        doc.addDiagram("A", std::to_string(i), "11023333243151061X", 1);
    EXPECT_EQ(doc.page().scrollMax, 0);
    doc.addDiagram("A", "4", "11023333243151061X", 1);
    EXPECT_EQ(doc.page().scrollMax, 1);
    doc.scroll(PageScroll::PageRight);
    EXPECT_EQ(doc.page().scrollPos, 1);
    EXPECT_LE(doc.diagrams()[4].boxRight, doc.page().width) << "the last diagram is on the page";
    // A page narrower than one box still reaches every column.
    doc.resizePage(100, 300);
    EXPECT_EQ(doc.page().scrollMax, 4);
    doc.scrollTo(99);
    EXPECT_EQ(doc.page().scrollPos, 4);
    doc.scrollTo(-3);
    EXPECT_EQ(doc.page().scrollPos, 0);
}

TEST_F(ChordDocumentTest, RemovingOrClearingMarksTheDocumentModifiedOnlyWhenSomethingWent)
{
    writeFile(path("doc.shd"), kExampleLf);
    ChordDocument doc;
    RecordingView view;
    doc.setView(&view);
    ASSERT_TRUE(readChordDocument(doc, "doc.shd", path("doc.shd")).ok());
    ASSERT_FALSE(doc.modified);
    doc.removeSelectedDiagrams(); // none selected
    doc.removeDiagram(7);         // no such diagram
    EXPECT_FALSE(doc.modified);
    doc.removeDiagram(1);
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(view.captions.back(), "doc.shd*");

    ASSERT_TRUE(writeChordDocument(doc, "doc.shd", path("doc.shd")));
    doc.setSelected(0, true);
    doc.removeSelectedDiagrams();
    EXPECT_TRUE(doc.modified);
    ASSERT_TRUE(writeChordDocument(doc, "doc.shd", path("doc.shd")));
    doc.clearDiagrams(); // already empty
    EXPECT_FALSE(doc.modified);
}

TEST_F(ChordDocumentTest, UndoAndRedoBringBackEachChangeOfTheDiagramList)
{
    ChordDocument doc;
    EXPECT_FALSE(doc.undo());
    for (const char* r : {"A", "B", "C"})
        doc.addDiagram(r, "", "11023333243151061X", 1);
    doc.setSelected(1, true);
    doc.removeSelectedDiagrams();
    doc.clearDiagrams();
    ASSERT_EQ(doc.diagramCount(), 0);

    ASSERT_TRUE(doc.undo()); // the clear
    ASSERT_EQ(doc.diagramCount(), 2);
    ASSERT_TRUE(doc.undo()); // the removal, with its selection
    ASSERT_EQ(doc.diagramCount(), 3);
    EXPECT_EQ(doc.diagrams()[1].label, "B");
    EXPECT_TRUE(doc.diagrams()[1].selected);
    ASSERT_TRUE(doc.redo());
    EXPECT_EQ(doc.diagramCount(), 2);
    EXPECT_EQ(doc.diagrams()[1].label, "C");
    // A new change drops what could be redone.
    doc.removeDiagram(0);
    EXPECT_FALSE(doc.redo());
    for (int i = 0; i < 5; ++i) // the removal, the removal of the selected, three additions
        EXPECT_TRUE(doc.undo());
    EXPECT_EQ(doc.diagramCount(), 0) << "back before the first diagram";
    EXPECT_FALSE(doc.undo());
    EXPECT_TRUE(doc.modified) << "an undone change is still a change to save";

    // Reading a file starts the history anew, and the history keeps a bounded depth.
    ASSERT_TRUE(readChordDocumentFromText(doc, kExampleLf).ok());
    EXPECT_FALSE(doc.canUndo());
    for (std::size_t i = 0; i < kChordUndoDepth + 20; ++i) {
        doc.addDiagram("A", "", "11023333243151061X", 1);
        doc.removeDiagram(2);
    }
    int undone = 0;
    while (doc.undo())
        ++undone;
    EXPECT_EQ(undone, static_cast<int>(kChordUndoDepth));
}

} // namespace
} // namespace tonvela
