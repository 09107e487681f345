#include "shell_test_support.h"

#include "editor/commands.h"
#include "harmony/chord_document.h"
#include "harmony/chord_document_file.h"
#include "platform/atomic_file.h"
#include "platform/ended_process.h"
#include "recovery/recovery_store.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "shell/documents/chord_window.h"
#include "shell/recovery/autosave.h"
#include "shell/recovery/recovery_dialog.h"
#include "shell/recovery/recovery_offer.h"

#include <QDir>
#include <QListWidget>
#include <QPushButton>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace tonvela::test {
namespace {

namespace fs = std::filesystem;

std::string slurp(const std::string& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class RecoveryTest : public ShellTest {
  protected:
    RecoveryTest()
    {
        folder = file("state/tonvela/recovery");
        makeAutosave(std::chrono::milliseconds(50));
    }
    void makeAutosave(std::chrono::milliseconds interval)
    {
        autosave = std::make_unique<Autosave>(
            folder, [this] { return window->documents(); }, interval);
        followDocuments(*window, *autosave);
    }
    static void addNote(SheetWindow* w, int line)
    {
        Track& t = *w->sheet().trackAt(0);
        Note n;
        n.type = kTypeQuarter;
        n.setStaffPosition(line);
        w->editor().edit(SnapshotKind::Insert, 0, [&] { t.insertNote(n, t.count); });
    }
    // The recovery file of a document once the autosave wrote it; empty when none came.
    std::string awaitFile(const DocumentWindow& d, int timeoutMs = 3000)
    {
        waitUntil([&] { return !autosave->fileOf(d).empty() && fs::exists(autosave->fileOf(d)); }, timeoutMs);
        autosave->flush();
        const std::string f = autosave->fileOf(d);
        return !f.empty() && fs::exists(f) ? f : std::string();
    }
    RecoveryFile parsed(const std::string& f)
    {
        RecoveryFile r;
        r.file = f;
        EXPECT_TRUE(parseRecoveryFile(slurp(f), r.entry, r.document, r.damage)) << r.damage;
        return r;
    }
    // A recovery file as an instance that is gone left it.
    // The original file's record is the file as it is now, as when a document opened from it
    // had its first edit.
    std::string leftBehind(const std::string& name, const std::string& kind, const std::string& path,
                           const std::string& title, const std::string& document)
    {
        return leftBehind(name, {kind, path, title, 1765275000, endedProcess(), stampOfFile(path)}, document);
    }
    std::string leftBehind(const std::string& name, RecoveryEntry entry, const std::string& document)
    {
        const std::string f = folder + "/" + name + kRecoveryFileSuffix;
        entry.owner = endedProcess();
        EXPECT_TRUE(writeRecoveryFile(f, entry, document));
        return f;
    }
    // What an instance killed now leaves: its document's recovery file, taken over by an
    // ended process, and a new main window with its own autosave.
    RecoveryFile killAndRestart(const DocumentWindow& d)
    {
        RecoveryFile kept = parsed(awaitFile(d));
        autosave.reset();
        makeWindow();
        makeAutosave(std::chrono::milliseconds(50));
        leftBehind("killed", kept.entry, kept.document);
        window->showAtSavedPlacement();
        return kept;
    }
    std::vector<std::string> recoverAll()
    {
        std::vector<std::string> offered;
        offerRecovery(*window, *autosave, [&](const std::vector<RecoveryFile>& files) {
            for (const RecoveryFile& f : files)
                offered.push_back(recoveryFileLine(f).toStdString());
            return RecoveryAnswer::Recover;
        });
        return offered;
    }
    std::size_t filesIn(const std::string& dirPath) const
    {
        if (!fs::exists(dirPath))
            return 0;
        std::size_t n = 0;
        for (const auto& e : fs::directory_iterator(dirPath))
            n += e.is_regular_file() ? 1 : 0;
        return n;
    }

    std::string folder;
    std::unique_ptr<Autosave> autosave;
};

TEST_F(RecoveryTest, AnEditIsKeptWithinTheIntervalAsTheSheetFileWithItsTitleAndPath)
{
    window->showAtSavedPlacement();
    ASSERT_TRUE(window->openFile(example()));
    SheetWindow* w = window->activeSheet();
    ASSERT_NE(w, nullptr);
    autosave->saveNow();
    autosave->flush();
    EXPECT_TRUE(autosave->fileOf(*w).empty()) << "an unmodified document has no recovery file";
    EXPECT_EQ(filesIn(folder), 0u);

    addNote(w, 3);
    const std::string f = awaitFile(*w);
    ASSERT_FALSE(f.empty()) << "no recovery file within the interval";
    const RecoveryFile r = parsed(f);
    EXPECT_EQ(r.entry.kind, kRecoveryKindSheet);
    EXPECT_EQ(r.entry.originalPath, example());
    EXPECT_EQ(r.entry.title, "ode_to_joy.shd");
    EXPECT_EQ(r.entry.owner, currentProcess());
    EXPECT_EQ(r.document, sheetToText(w->sheet()));

    // The next edit reaches the same file.
    addNote(w, 5);
    ASSERT_TRUE(waitUntil([&] {
        autosave->flush();
        return parsed(f).document == sheetToText(w->sheet());
    }));
    EXPECT_EQ(filesIn(folder), 1u);
}

TEST_F(RecoveryTest, AFolderThatCannotBeWrittenIsReportedOnce)
{
    std::ofstream(file("blocker")) << "a file where the folder would go";
    folder = file("blocker/recovery");
    makeAutosave(std::chrono::milliseconds(20));
    std::vector<std::string> reports;
    autosave->onFailure = [&reports](const std::string& message) { reports.push_back(message); };
    window->showAtSavedPlacement();
    SheetWindow* w = window->newSheet();
    addNote(w, 1);
    ASSERT_TRUE(waitUntil([&] { return !reports.empty(); }));
    addNote(w, 2);
    waitUntil([] { return false; }, 200); // passes that fail again
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("Sheet 1"), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find("blocker"), std::string::npos) << reports[0];
    EXPECT_TRUE(w->isModified()) << "the document itself is untouched";
}

TEST_F(RecoveryTest, ARecoveryFolderThatIsALinkIsRefusedWithOneMessageAndItsTargetIsLeftAlone)
{
    const std::string target = file("elsewhere");
    fs::create_directories(target);
    fs::permissions(target, fs::perms(0755));
    folder = file("linked-state/recovery");
    fs::create_directories(file("linked-state"));
    fs::create_symlink(target, folder);
    makeAutosave(std::chrono::milliseconds(20));
    std::vector<std::string> reports;
    autosave->onFailure = [&reports](const std::string& message) { reports.push_back(message); };

    // At start-up, before any document is modified.
    EXPECT_FALSE(autosave->prepareFolder());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("symbolic link"), std::string::npos) << reports[0];
    // Edits later are not kept there and say nothing more.
    window->showAtSavedPlacement();
    SheetWindow* w = window->newSheet();
    addNote(w, 1);
    waitUntil([] { return false; }, 300);
    autosave->flush();
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_TRUE(fs::is_empty(target));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0755));
    EXPECT_TRUE(fs::is_symlink(folder));
}

TEST_F(RecoveryTest, SaveCloseAndACleanExitRemoveTheFiles)
{
    window->showAtSavedPlacement();
    SheetWindow* saved = window->newSheet();
    SheetWindow* closed = window->newSheet();
    SheetWindow* kept = window->newSheet();
    ChordWindow* chord = window->newChordDocument();
    for (SheetWindow* w : {saved, closed, kept})
        addNote(w, 1);
    ASSERT_TRUE(chord->document().addDiagram("A", "m", "x0x2x2x1x0xx", 1));
    const std::string savedFile = awaitFile(*saved);
    const std::string closedFile = awaitFile(*closed);
    const std::string keptFile = awaitFile(*kept);
    const std::string chordFile = awaitFile(*chord);
    ASSERT_FALSE(savedFile.empty() || closedFile.empty() || keptFile.empty() || chordFile.empty());
    EXPECT_EQ(parsed(chordFile).entry.kind, kRecoveryKindChord);
    EXPECT_EQ(parsed(chordFile).document, chordDocumentToText(chord->document()));
    EXPECT_EQ(parsed(savedFile).entry.originalPath, "") << "an untitled sheet has no path";

    window->activate(saved);
    dialogs.answers.push_back(FileChoice{file("saved.shd"), 0});
    ASSERT_TRUE(window->command(kCmdSave));
    autosave->flush();
    EXPECT_FALSE(fs::exists(savedFile)) << "a save removes the file at once";
    EXPECT_TRUE(autosave->fileOf(*saved).empty());

    notifier.answers = {Notifier::Answer::No}; // close without saving
    ASSERT_TRUE(closed->parentWidget()->close());
    autosave->flush();
    EXPECT_FALSE(fs::exists(closedFile)) << "a close removes the file";
    EXPECT_TRUE(fs::exists(keptFile));

    // Undo back to the saved state: nothing to recover any more.
    addNote(saved, 2);
    ASSERT_FALSE(awaitFile(*saved).empty());
    const std::string again = autosave->fileOf(*saved);
    saved->command(kCmdUndo);
    ASSERT_FALSE(saved->isModified());
    EXPECT_TRUE(waitUntil([&] {
        autosave->flush();
        return !fs::exists(again);
    }));

    autosave.reset(); // a clean exit
    EXPECT_FALSE(fs::exists(keptFile));
    EXPECT_FALSE(fs::exists(chordFile));
    EXPECT_EQ(filesIn(folder), 0u);
}

TEST_F(RecoveryTest, RecoverOpensTheDocumentsModifiedWithTheirPathsAndSetsDamagedFilesAside)
{
    const std::string song = file("song.shd");
    SheetDocument original;
    ASSERT_TRUE(loadSheet(original, "ode", example()).ok());
    ASSERT_TRUE(saveSheet(original, "song.shd", song));
    const std::string before = slurp(song);
    // The recovered state has one note more than the file.
    Track& t = *original.trackAt(0);
    Note n;
    n.type = kTypeHalf;
    n.setStaffPosition(4);
    t.insertNote(n, t.count);
    const std::string edited = sheetToText(original);
    leftBehind("a", kRecoveryKindSheet, song, "song.shd", edited);
    ChordDocument chords;
    ASSERT_TRUE(chords.addDiagram("E", "m", "110210310433532610", 1));
    leftBehind("b", kRecoveryKindChord, "", "Chord 1", chordDocumentToText(chords));
    std::ofstream(folder + "/c" + kRecoveryFileSuffix) << "tonvela-recovery 1\nkind=sheet\n";
    // A file of the running instance is not offered.
    const std::string mine = folder + "/mine" + kRecoveryFileSuffix;
    ASSERT_TRUE(
        writeRecoveryFile(mine, {kRecoveryKindSheet, "", "Sheet 9", 1, currentProcess()}, "<staffdoc\r\n>"));

    window->showAtSavedPlacement();
    std::vector<std::string> offered;
    const int opened = offerRecovery(*window, *autosave, [&](const std::vector<RecoveryFile>& files) {
        for (const RecoveryFile& f : files)
            offered.push_back(recoveryFileLine(f).toStdString());
        return RecoveryAnswer::Recover;
    });
    EXPECT_EQ(opened, 2);
    ASSERT_EQ(offered.size(), 3u);
    EXPECT_NE(offered[0].find("cannot be read"), std::string::npos) << offered[0];
    EXPECT_NE(offered[1].find("song.shd (" + song + ")"), std::string::npos) << offered[1];
    EXPECT_NE(offered[2].find("Chord 1 (never saved)"), std::string::npos) << offered[2];

    ASSERT_EQ(window->sheetWindows().size(), 1u);
    SheetWindow* w = window->sheetWindows()[0];
    EXPECT_TRUE(w->isModified());
    EXPECT_EQ(w->path(), song);
    EXPECT_EQ(title(w), "song.shd*");
    EXPECT_EQ(sheetToText(w->sheet()), edited);
    ASSERT_EQ(window->chordWindows().size(), 1u);
    ChordWindow* c = window->chordWindows()[0];
    EXPECT_TRUE(c->isModified());
    EXPECT_EQ(c->path(), "");
    EXPECT_EQ(c->document().diagramCount(), 1);

    // The damaged file is kept aside, and said so.
    EXPECT_TRUE(fs::exists(folder + "/damaged/c" + kRecoveryFileSuffix));
    ASSERT_EQ(errorCount(), 1) << errorsText();
    EXPECT_NE(errorsText().find(folder + "/damaged"), std::string::npos) << errorsText();
    EXPECT_NE(errorsText().find("incomplete"), std::string::npos) << errorsText();
    // The recovered documents go on in their recovery files, now this instance's own.
    EXPECT_EQ(filesIn(folder), 3u) << "two recovered files and the running instance's";
    EXPECT_TRUE(fs::exists(mine));
    EXPECT_EQ(parsed(autosave->fileOf(*w)).entry.owner, currentProcess());
    EXPECT_TRUE(listRecoverableFiles(folder).empty());

    // Save writes the original file, without asking, and the recovery file goes.
    window->activate(w);
    const std::string recovered = autosave->fileOf(*w);
    ASSERT_TRUE(window->command(kCmdSave));
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(slurp(song), edited);
    EXPECT_NE(slurp(song), before);
    autosave->flush();
    EXPECT_FALSE(fs::exists(recovered));
}

TEST_F(RecoveryTest, DiscardRemovesTheFilesAndLaterKeepsThem)
{
    const std::string sheetFile = leftBehind("a", kRecoveryKindSheet, "", "Sheet 1", slurp(example()));
    const std::string damaged = folder + "/z" + kRecoveryFileSuffix;
    std::ofstream(damaged) << "tonvela-recovery 1\nkind=sheet\nlength=5\n\nab";
    window->showAtSavedPlacement();

    int asked = 0;
    auto answer = [&](RecoveryAnswer a) {
        return [&asked, a](const std::vector<RecoveryFile>&) {
            ++asked;
            return a;
        };
    };
    EXPECT_EQ(offerRecovery(*window, *autosave, answer(RecoveryAnswer::Later)), 0);
    EXPECT_TRUE(fs::exists(sheetFile));
    EXPECT_TRUE(fs::exists(damaged));
    EXPECT_TRUE(window->documents().empty());
    EXPECT_TRUE(notifier.messages.empty());

    EXPECT_EQ(offerRecovery(*window, *autosave, answer(RecoveryAnswer::Discard)), 0);
    EXPECT_FALSE(fs::exists(sheetFile));
    EXPECT_FALSE(fs::exists(damaged));
    EXPECT_TRUE(fs::exists(folder + "/damaged/z" + kRecoveryFileSuffix)) << "a damaged file is never deleted";
    EXPECT_EQ(errorCount(), 1) << errorsText();
    EXPECT_TRUE(window->documents().empty());
    EXPECT_EQ(asked, 2);

    // Nothing left: no question at all.
    EXPECT_EQ(offerRecovery(*window, *autosave, answer(RecoveryAnswer::Recover)), 0);
    EXPECT_EQ(asked, 2);
}

TEST_F(RecoveryTest, AtStartUpLeftoversOfKilledWritesGoFromTheRecoveryFolderAndTheOpenDocumentsFolders)
{
    // GIVEN temporary files of writes killed halfway beside a document and in the recovery
    // folder, and one of a write running now.
    fs::create_directories(file("songs"));
    const std::string song = file("songs/song.shd");
    fs::copy_file(example(), song);
    makePrivateFolder(folder);
    const auto leftover = [](const std::string& in, const ProcessIdentity& writer) {
        const std::string p = in + "/" + kAtomicTemporaryPrefix + std::to_string(writer.pid) + "-" +
                              std::to_string(writer.startTicks) + "-Zq81xP";
        std::ofstream(p) << std::string(2048, 'x');
        return p;
    };
    const std::string besideSong = leftover(file("songs"), endedProcess());
    const std::string inRecovery = leftover(folder, endedProcess());
    const std::string running = leftover(file("songs"), currentProcess());
    const std::string elsewhere = leftover(dir.path().toStdString(), endedProcess());
    window->showAtSavedPlacement();
    ASSERT_TRUE(window->openFile(song));

    removeLeftoverWrites(*window, *autosave);

    EXPECT_FALSE(fs::exists(besideSong));
    EXPECT_FALSE(fs::exists(inRecovery));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::exists(elsewhere)) << "no document is open there";
    EXPECT_TRUE(fs::exists(song));
}

// Runs in another current folder for the life of the object.
class InFolder {
  public:
    explicit InFolder(const std::string& folder) : m_old(QDir::currentPath())
    {
        QDir::setCurrent(QString::fromStdString(folder));
    }
    ~InFolder() { QDir::setCurrent(m_old); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

  private:
    QString m_old;
};

TEST_F(RecoveryTest, ASheetOpenedByARelativePathIsRecoveredIntoItsOwnFileNotANamesakeOfTheNewStartFolder)
{
    // GIVEN work/song.shd opened as "song.shd" from work/, edited, and the instance killed.
    fs::create_directories(file("work"));
    fs::create_directories(file("other"));
    const std::string song = file("work/song.shd");
    const std::string namesake = file("other/song.shd");
    fs::copy_file(example(), song);
    std::ofstream(namesake) << "<staffdoc\r\n>\r\n</staffdoc>\r\n";
    const std::string namesakeBefore = slurp(namesake);
    std::string edited;
    {
        InFolder work(file("work"));
        window->showAtSavedPlacement();
        ASSERT_TRUE(window->openFile("song.shd"));
        SheetWindow* w = window->activeSheet();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->path(), song) << "the document holds the whole path";
        addNote(w, 3);
        edited = sheetToText(w->sheet());
        EXPECT_EQ(killAndRestart(*w).entry.originalPath, song);
    }
    // WHEN the next start runs in other/ and the user recovers and saves.
    InFolder other(file("other"));
    recoverAll();
    ASSERT_EQ(window->sheetWindows().size(), 1u);
    SheetWindow* w = window->sheetWindows()[0];
    EXPECT_EQ(w->path(), song);
    window->activate(w);
    ASSERT_TRUE(window->command(kCmdSave));
    // THEN the edits reach work/song.shd, and the namesake is untouched.
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(slurp(song), edited);
    EXPECT_EQ(slurp(namesake), namesakeBefore);
}

TEST_F(RecoveryTest, ARecoveryFileOfAnEarlierReleaseWithARelativePathRecoversUntitled)
{
    fs::create_directories(file("other"));
    const std::string namesake = file("other/song.shd");
    std::ofstream(namesake) << "<staffdoc\r\n>\r\n</staffdoc>\r\n";
    const std::string before = slurp(namesake);
    InFolder other(file("other"));
    leftBehind("old", {kRecoveryKindSheet, "song.shd", "song.shd", 1765275000, {}, {}}, slurp(example()));
    window->showAtSavedPlacement();
    const std::vector<std::string> offered = recoverAll();
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_NE(offered[0].find("song (recovered)"), std::string::npos) << offered[0];
    ASSERT_EQ(window->sheetWindows().size(), 1u);
    SheetWindow* w = window->sheetWindows()[0];
    EXPECT_EQ(w->path(), "");
    EXPECT_EQ(title(w), "song (recovered)*");
    window->activate(w);
    EXPECT_FALSE(window->command(kCmdSave)) << "the save dialog was cancelled";
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].suggested, QStringLiteral("song (recovered).shd"));
    EXPECT_EQ(slurp(namesake), before);
}

TEST_F(RecoveryTest, ARecoveredDocumentWhoseOriginalChangedSinceOpensUntitledAndSaveAsksForAPlace)
{
    // GIVEN song.shd opened, edited, the instance killed; then another program rewrote the file.
    const std::string song = file("song.shd");
    fs::copy_file(example(), song);
    window->showAtSavedPlacement();
    ASSERT_TRUE(window->openFile(song));
    SheetWindow* opened = window->activeSheet();
    addNote(opened, 3);
    const std::string edited = sheetToText(opened->sheet());
    const RecoveryFile kept = killAndRestart(*opened);
    EXPECT_TRUE(kept.entry.original.known) << "the file was recorded as it was opened";
    EXPECT_EQ(kept.entry.original, stampOfFile(song));
    std::ofstream(song, std::ios::app) << "<!-- written by another program -->\r\n";
    const std::string theirs = slurp(song);

    // WHEN the user recovers
    const std::vector<std::string> offered = recoverAll();
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_NE(offered[0].find("changed since"), std::string::npos) << offered[0];
    EXPECT_NE(offered[0].find("song (recovered)"), std::string::npos) << offered[0];

    // THEN the document is untitled under a name of its own, and Save asks where to.
    ASSERT_EQ(window->sheetWindows().size(), 1u);
    SheetWindow* w = window->sheetWindows()[0];
    EXPECT_EQ(w->path(), "");
    EXPECT_EQ(title(w), "song (recovered)*");
    EXPECT_EQ(sheetToText(w->sheet()), edited);
    window->activate(w);
    dialogs.answers.push_back(FileChoice{file("song-mine.shd"), 0});
    ASSERT_TRUE(window->command(kCmdSave));
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(dialogs.asked[0].saving);
    EXPECT_EQ(slurp(song), theirs);
    EXPECT_EQ(slurp(file("song-mine.shd")), edited);
}

TEST_F(RecoveryTest, LeftoversOfAKilledSaveBesideTheOriginalOfARecoveryFileGoWhateverTheAnswer)
{
    const std::string song = file("song.shd");
    fs::copy_file(example(), song);
    const ProcessIdentity gone = endedProcess();
    const std::string leftover = file(std::string(kAtomicTemporaryPrefix) + std::to_string(gone.pid) + "-" +
                                      std::to_string(gone.startTicks) + "-Ab12Cd");
    std::ofstream(leftover) << "half a save";
    leftBehind("a", kRecoveryKindSheet, song, "song.shd", slurp(example()));
    window->showAtSavedPlacement();
    offerRecovery(*window, *autosave, [](const std::vector<RecoveryFile>&) { return RecoveryAnswer::Later; });
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_TRUE(fs::exists(song));
}

TEST_F(RecoveryTest, APlantedRecoveryFileNamingAFileThatIsNoSheetNeverOverwritesIt)
{
    const std::string notes = file("notes.txt");
    std::ofstream(notes) << "my notes\n";
    // Its record even matches the file as it is.
    leftBehind("planted", kRecoveryKindSheet, notes, "notes.txt", slurp(example()));
    window->showAtSavedPlacement();
    const std::vector<std::string> offered = recoverAll();
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_NE(offered[0].find("notes (recovered)"), std::string::npos) << offered[0];
    ASSERT_EQ(window->sheetWindows().size(), 1u);
    SheetWindow* w = window->sheetWindows()[0];
    EXPECT_EQ(w->path(), "");
    window->activate(w);
    EXPECT_FALSE(window->command(kCmdSave));
    EXPECT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(slurp(notes), "my notes\n");
}

TEST_F(RecoveryTest, ARecoveredDocumentWhoseOriginalIsGoneIsWrittenAgainAtItsPath)
{
    const std::string song = file("song.shd");
    fs::copy_file(example(), song);
    window->showAtSavedPlacement();
    ASSERT_TRUE(window->openFile(song));
    SheetWindow* opened = window->activeSheet();
    addNote(opened, 3);
    const std::string edited = sheetToText(opened->sheet());
    killAndRestart(*opened);
    fs::remove(song);
    recoverAll();
    ASSERT_EQ(window->sheetWindows().size(), 1u);
    SheetWindow* w = window->sheetWindows()[0];
    EXPECT_EQ(w->path(), song);
    EXPECT_EQ(title(w), "song.shd*");
    window->activate(w);
    ASSERT_TRUE(window->command(kCmdSave));
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(slurp(song), edited);
}

TEST_F(RecoveryTest, ADocumentSavedAfterItOpenedIsRecordedAsSavedSoItsRecoveryMayWriteIt)
{
    const std::string song = file("song.shd");
    fs::copy_file(example(), song);
    window->showAtSavedPlacement();
    ASSERT_TRUE(window->openFile(song));
    SheetWindow* w = window->activeSheet();
    addNote(w, 3);
    ASSERT_TRUE(window->command(kCmdSave)); // the file changes, by this document's own save
    addNote(w, 4);
    const std::string edited = sheetToText(w->sheet());
    EXPECT_EQ(killAndRestart(*w).entry.original, stampOfFile(song));
    recoverAll();
    ASSERT_EQ(window->sheetWindows().size(), 1u);
    EXPECT_EQ(window->sheetWindows()[0]->path(), song);
}

TEST(AutosaveInterval, TakesTheSettingFromOneTo25SecondsElse25)
{
    MemorySettingsStore store;
    EXPECT_EQ(autosaveInterval(store), std::chrono::seconds(25));
    const std::pair<const char*, int> cases[] = {{"1", 1},  {"12", 12}, {"25", 25},  {"26", 25},
                                                 {"0", 25}, {"-3", 25}, {"soon", 25}};
    for (const auto& [value, seconds] : cases) {
        store.values[kKeyAutosaveSeconds] = value;
        EXPECT_EQ(autosaveInterval(store), std::chrono::seconds(seconds)) << value;
    }
}

TEST_F(RecoveryTest, TheDialogAnswersWithTheButtonPressedAndLaterWhenClosed)
{
    std::vector<RecoveryFile> files(1);
    files[0].entry = {kRecoveryKindSheet, "/music/song.shd", "song.shd", 1765275000, endedProcess()};
    for (const RecoveryAnswer a : {RecoveryAnswer::Recover, RecoveryAnswer::Discard, RecoveryAnswer::Later}) {
        RecoveryDialog dialog(files, window.get());
        ASSERT_EQ(dialog.list()->count(), 1);
        EXPECT_TRUE(dialog.list()->item(0)->text().startsWith(QStringLiteral("song.shd (/music/song.shd)")));
        QTimer::singleShot(0, &dialog, [&dialog, a] { dialog.button(a)->click(); });
        dialog.exec();
        EXPECT_EQ(dialog.answer(), a);
    }
    EXPECT_EQ(RecoveryDialog(files).button(RecoveryAnswer::Recover)->text(), QStringLiteral("Recover"));
    EXPECT_EQ(RecoveryDialog(files).button(RecoveryAnswer::Discard)->text(), QStringLiteral("Discard"));
    EXPECT_EQ(RecoveryDialog(files).button(RecoveryAnswer::Later)->text(), QStringLiteral("Later"));
    EXPECT_TRUE(RecoveryDialog(files).button(RecoveryAnswer::Recover)->isDefault());

    // Escape (or the window's close button) loses nothing.
    RecoveryDialog dialog(files, window.get());
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.reject(); });
    dialog.exec();
    EXPECT_EQ(dialog.answer(), RecoveryAnswer::Later);
}

} // namespace
} // namespace tonvela::test
