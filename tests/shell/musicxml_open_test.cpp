#include "shell_test_support.h"

#include "editor/commands.h"
#include "interchange/left_out_names_score.h"
#include "score/sheet_document.h"
#include "shell/message_box_notifier.h"

#include <QFile>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <fstream>
#include <functional>

namespace tonvela::test {
namespace {

class MusicXmlOpenTest : public ShellTest {
  protected:
    // A copy of a test score in the temporary folder, under `name`.
    std::string copyOf(const std::string& score, const std::string& name)
    {
        const std::string to = file(name);
        EXPECT_TRUE(QFile::copy(QString::fromStdString(std::string(TONVELA_TEST_DATA) + "/musicxml/" + score),
                                QString::fromStdString(to)));
        return to;
    }
};

TEST_F(MusicXmlOpenTest, OpenImportsAScoreIntoAnUntitledUnmodifiedSheetAndWarnsWhatWasLeftOut)
{
    window->showAtSavedPlacement();
    const std::string path = copyOf("Reunion.mxl", "Reunion.mxl");
    dialogs.answers.push_back(FileChoice{path, 1});
    window->command(kCmdOpen);
    ASSERT_EQ(window->sheetWindows().size(), 1u) << errorsText();
    EXPECT_EQ(errorCount(), 0) << errorsText();
    SheetWindow* w = window->activeSheet();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(title(w), "Reunion.mxl"); // no "*": nothing changed since the import
    EXPECT_TRUE(w->sheet().path.empty());
    EXPECT_EQ(w->sheet().trackCount(), 2); // the piano's two staves
    EXPECT_FALSE(w->sheet().canUndo());
    // One box: what was left out, under the file's name. Both voices of each staff are kept,
    // so no note of a voice is named as left out; notes in unison of the two voices are.
    ASSERT_EQ(notifier.warnings.size(), 1u);
    EXPECT_EQ(notifier.warnings[0].text.rfind("Some of " + path + " was left out:\n", 0), 0u)
        << notifier.warnings[0].text;
    EXPECT_EQ(notifier.warnings[0].text.find("or later voice"), std::string::npos);
    EXPECT_NE(notifier.warnings[0].text.find("notes in unison with another voice"), std::string::npos);
    EXPECT_NE(notifier.warnings[0].text.find("Left out, as the sheet cannot hold them:"), std::string::npos);

    // A score named .xml is known by its root element; the same file is not opened twice.
    const std::string xml = copyOf("Unclaimed_Gift.musicxml", "gift.xml");
    ASSERT_TRUE(window->openFile(xml)) << errorsText();
    EXPECT_EQ(window->sheetWindows().size(), 2u);
    EXPECT_EQ(title(window->activeSheet()), "gift.xml");
}

TEST_F(MusicXmlOpenTest, ADamagedScoreIsAnErrorNamingWhatIsWrong)
{
    window->showAtSavedPlacement();
    const std::string path = file("broken.musicxml");
    std::ofstream(path) << "<?xml version=\"1.0\"?><score-partwise><part-list></score-partwise>";
    EXPECT_FALSE(window->openFile(path));
    EXPECT_EQ(errorCount(), 1);
    EXPECT_NE(errorsText().find("Could not import " + path + ": the MusicXML file is not well-formed XML"),
              std::string::npos)
        << errorsText();
    EXPECT_TRUE(window->mdiArea()->subWindowList().isEmpty());
}

TEST_F(MusicXmlOpenTest, TenThousandDistinctLeftOutNamesShowOneShortBoxAtOnceAndTheWindowAnswers)
{
    // GIVEN a score of 10 000 notes, each with a notation of its own 2000-character name, and a
    // window that shows real message boxes.
    const std::string path = file("flood.musicxml");
    std::ofstream(path, std::ios::binary) << tonvela::testing::scoreWithDistinctLeftOutNames(10000, 2000);
    MessageBoxNotifier boxes;
    ShellServices services{
        settings,  boxes, dialogs, player, clock, [this] { return devices; }, [](const QString&) {},
        [](int) {}};
    MainWindow boxed(services);
    boxes.setParent(&boxed);
    boxed.showAtSavedPlacement();

    QElapsedTimer sinceOpen;
    qint64 shownAfterMs = -1;
    int boxesSeen = 0;
    QString text;
    bool windowAnswered = false;
    std::function<void()> watch = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(5, &boxed, watch);
            return;
        }
        if (shownAfterMs < 0)
            shownAfterMs = sinceOpen.elapsed();
        ++boxesSeen;
        text = box->text();
        // While the box stands the window still paints.
        windowAnswered = !boxed.grab().isNull();
        box->button(QMessageBox::Ok)->click();
    };
    QTimer::singleShot(0, &boxed, watch);

    // WHEN it is opened
    sinceOpen.start();
    ASSERT_TRUE(boxed.openFile(path));

    // THEN one box came up at once, short, and the sheet holds every note.
    std::printf("[ measured ] the box stood %lld ms after Open began\n",
                static_cast<long long>(shownAfterMs));
    EXPECT_EQ(boxesSeen, 1);
    EXPECT_GE(shownAfterMs, 0);
    EXPECT_LT(shownAfterMs, 10000) << "the box came up after minutes of text shaping";
    EXPECT_TRUE(windowAnswered);
    const QStringList lines = text.split(QLatin1Char('\n'));
    EXPECT_LE(lines.size(), kMaxMessageLines);
    for (const QString& line : lines)
        EXPECT_LE(line.size(), kMaxMessageLineCharacters) << line.left(80).toStdString();
    EXPECT_TRUE(text.startsWith(QString::fromStdString("Some of " + path + " was left out:")))
        << text.left(200).toStdString();
    ASSERT_NE(boxed.activeSheet(), nullptr);
    EXPECT_GE(boxed.activeSheet()->sheet().trackAt(0)->count, 10000);
}

} // namespace
} // namespace tonvela::test
