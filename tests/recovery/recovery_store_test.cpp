#include "platform/ended_process.h"
#include "recovery/recovery_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace tonvela;
using tonvela::test::endedProcess;
namespace fs = std::filesystem;

namespace {

RecoveryEntry entryOf(const ProcessIdentity& owner, int64_t savedAt = 1765275000)
{
    return {kRecoveryKindSheet, "/home/me/songs/a\\b\nc.shd", "a\\b\nc.shd", savedAt, owner};
}

std::string readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class RecoveryStoreTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tonvela-recovery-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        folder = (dir / "state" / "tonvela" / "recovery").string();
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
    std::string folder;
};

TEST(RecoveryFileText, RoundTripsEveryFieldAndTheDocumentByteForByte)
{
    RecoveryEntry e = entryOf({4242, 987654321ull, "boot-1"});
    e.kind = kRecoveryKindChord;
    const std::string document("<chorddoc>\r\n\\n\0\xff</chorddoc>", 27);
    RecoveryEntry back;
    std::string doc;
    std::string error;
    ASSERT_TRUE(parseRecoveryFile(recoveryFileText(e, document), back, doc, error)) << error;
    EXPECT_EQ(back.kind, e.kind);
    EXPECT_EQ(back.originalPath, e.originalPath);
    EXPECT_EQ(back.title, e.title);
    EXPECT_EQ(back.savedAt, e.savedAt);
    EXPECT_EQ(back.owner, e.owner);
    EXPECT_EQ(doc, document);
}

TEST(RecoveryFileText, KeepsTheRecordOfTheOriginalFileAndReadsFilesWithoutOne)
{
    RecoveryEntry e = entryOf({4242, 987654321ull, "boot-1"});
    e.original = {true, 4980, 1765274000123456789ll, "fnv1a64:0123456789abcdef"};
    RecoveryEntry back;
    std::string doc;
    std::string error;
    ASSERT_TRUE(parseRecoveryFile(recoveryFileText(e, "<staffdoc>"), back, doc, error)) << error;
    EXPECT_EQ(back.original, e.original);
    // A file of an earlier release has no record: it still reads, with the original unknown.
    ASSERT_TRUE(parseRecoveryFile(recoveryFileText(entryOf({1, 2, "b"}), "<staffdoc>"), back, doc, error));
    EXPECT_FALSE(back.original.known);
    // A record whose size is no number is damage, as any other header line.
    std::string bad = recoveryFileText(e, "<staffdoc>");
    bad.replace(bad.find("original-size=4980"), 18, "original-size=big");
    EXPECT_FALSE(parseRecoveryFile(bad, back, doc, error));
    EXPECT_NE(error.find("original-size"), std::string::npos) << error;
}

TEST(RecoveryFileText, DamagedTextsAreRefusedWithAReason)
{
    const std::string good = recoveryFileText(entryOf({7, 1, "b"}), "<staffdoc\r\n>\r\n</staffdoc>\r\n");
    RecoveryEntry e;
    std::string doc;
    std::string error;
    EXPECT_FALSE(parseRecoveryFile(good.substr(0, good.size() - 3), e, doc, error));
    EXPECT_NE(error.find("cut off"), std::string::npos) << error;
    EXPECT_TRUE(doc.empty());
    EXPECT_FALSE(parseRecoveryFile(good + "x", e, doc, error));
    EXPECT_NE(error.find("longer"), std::string::npos) << error;
    EXPECT_FALSE(parseRecoveryFile("<staffdoc\r\n>", e, doc, error));
    EXPECT_NE(error.find("not a recovery file"), std::string::npos) << error;
    // The header ends before its blank line.
    EXPECT_FALSE(parseRecoveryFile(good.substr(0, good.find("\n\n")), e, doc, error));
    EXPECT_NE(error.find("incomplete"), std::string::npos) << error;
    std::string badPid = good;
    badPid.replace(badPid.find("pid=7"), 5, "pid=7x");
    EXPECT_FALSE(parseRecoveryFile(badPid, e, doc, error));
    EXPECT_NE(error.find("\"pid\""), std::string::npos) << error;
    std::string badKind = good;
    badKind.replace(badKind.find("kind=sheet"), 10, "kind=movie");
    EXPECT_FALSE(parseRecoveryFile(badKind, e, doc, error));
    EXPECT_NE(error.find("movie"), std::string::npos) << error;
}

TEST_F(RecoveryStoreTest, WritingCreatesAPrivateFolderAndReplacesTheFileWhole)
{
    const std::string file = newRecoveryFileName(folder);
    ASSERT_TRUE(writeRecoveryFile(file, entryOf(currentProcess()), std::string(5000, 'x')));
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_TRUE(writeRecoveryFile(file, entryOf(currentProcess()), "short"));
    RecoveryEntry e;
    std::string doc;
    std::string error;
    ASSERT_TRUE(parseRecoveryFile(readAll(file), e, doc, error)) << error;
    EXPECT_EQ(doc, "short");
    // Nothing but the file itself is left in the folder (no temporary file).
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_NE(newRecoveryFileName(folder), file);
    ASSERT_TRUE(removeRecoveryFile(file));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(removeRecoveryFile(file)) << "a file already gone is no failure";
}

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST_F(RecoveryStoreTest, RecoveryFilesAreTheUsersAloneWhateverTheUmaskAndWhoeverWroteThemBefore)
{
    const mode_t oldMask = ::umask(022);
    const std::string file = folder + "/a.recovery";
    ASSERT_TRUE(writeRecoveryFile(file, entryOf(endedProcess()), "doc"));
    EXPECT_EQ(modeOf(file), 0600u);
    // A file an earlier release left readable to others is made private when rewritten.
    ::chmod(file.c_str(), 0644);
    ASSERT_TRUE(writeRecoveryFile(file, entryOf(endedProcess()), "doc again"));
    EXPECT_EQ(modeOf(file), 0600u);
    // A claimed file is rewritten for its new owner, and stays private.
    ::chmod(file.c_str(), 0644);
    const std::vector<RecoveryFile> found = listRecoverableFiles(folder);
    ASSERT_EQ(found.size(), 1u);
    const std::string mine = newRecoveryFileName(folder);
    ASSERT_TRUE(claimRecoveryFile(found[0], mine));
    EXPECT_EQ(modeOf(mine), 0600u);
    ::umask(oldMask);
}

TEST_F(RecoveryStoreTest, AFolderThatIsASymbolicLinkIsRefusedAndNeitherFollowedNorChanged)
{
    // GIVEN the recovery folder is a link to a folder open to others.
    const fs::path target = dir / "shared";
    fs::create_directories(target);
    ::chmod(target.c_str(), 0755);
    fs::create_directories(fs::path(folder).parent_path());
    fs::create_symlink(target, folder);
    std::ofstream(target / "planted.recovery")
        << recoveryFileText(entryOf(endedProcess()), "<staffdoc\r\n>\r\n</staffdoc>\r\n");

    // THEN nothing is written through it, its target keeps its mode, and nothing is offered.
    const FileResult made = makePrivateFolder(folder);
    EXPECT_FALSE(made);
    EXPECT_NE(made.error.find("symbolic link"), std::string::npos) << made.error;
    EXPECT_NE(made.error.find(folder), std::string::npos) << made.error;
    const FileResult written = writeRecoveryFile(folder + "/a.recovery", entryOf(currentProcess()), "doc");
    EXPECT_FALSE(written);
    EXPECT_EQ(written.error, made.error);
    EXPECT_FALSE(fs::exists(target / "a.recovery"));
    EXPECT_EQ(modeOf(target.string()), 0755u);
    EXPECT_TRUE(fs::is_symlink(folder));
    EXPECT_TRUE(listRecoverableFiles(folder).empty());
}

TEST_F(RecoveryStoreTest, TellsWhetherTheOriginalFileIsAsTheDocumentLastSawIt)
{
    fs::create_directories(dir);
    const std::string song = (dir / "song.shd").string();
    std::ofstream(song) << "<staffdoc\r\n>\r\n</staffdoc>\r\n";
    RecoveryEntry e = entryOf(endedProcess());
    e.originalPath = song;
    e.original = stampOfFile(song);
    ASSERT_TRUE(e.original.known);
    EXPECT_EQ(e.original.size, 27);
    EXPECT_EQ(e.original.hash.rfind("fnv1a64:", 0), 0u);
    EXPECT_EQ(e.original.hash.size(), 8u + 16u);
    EXPECT_EQ(originalState(e), OriginalState::Unchanged);

    // Written again with other content of the same size.
    std::ofstream(song) << "<staffdoc\r\n>\r\n</STAFFDOC>\r\n";
    fs::last_write_time(song, fs::last_write_time(song)); // same size, time as it is
    EXPECT_EQ(originalState(e), OriginalState::Changed);
    // The same content again, but written anew since.
    std::ofstream(song) << "<staffdoc\r\n>\r\n</staffdoc>\r\n";
    fs::last_write_time(song, fs::file_time_type::clock::now() + std::chrono::seconds(5));
    EXPECT_EQ(originalState(e), OriginalState::Changed);
    // Another file in its place: a link to someone's notes.
    fs::remove(song);
    std::ofstream((dir / "notes.txt").string()) << "notes";
    fs::create_symlink(dir / "notes.txt", song);
    EXPECT_EQ(originalState(e), OriginalState::Changed);
    fs::remove(song);
    EXPECT_EQ(originalState(e), OriginalState::Missing);

    RecoveryEntry untitled = e;
    untitled.originalPath.clear();
    EXPECT_EQ(originalState(untitled), OriginalState::Untitled);
    // A relative path names a file in whatever folder a start runs in.
    RecoveryEntry relative = e;
    relative.originalPath = "song.shd";
    EXPECT_EQ(originalState(relative), OriginalState::Unknown);
    // No record (an earlier release's file) while a file is there.
    std::ofstream(song) << "x";
    RecoveryEntry unrecorded = e;
    unrecorded.original = {};
    EXPECT_EQ(originalState(unrecorded), OriginalState::Unknown);
    EXPECT_FALSE(stampOfFile((dir / "none").string()).known);
    EXPECT_FALSE(stampOfFile(dir.string()).known);

    // The listing says it for every file it offers.
    ASSERT_TRUE(writeRecoveryFile(folder + "/a.recovery", e, "doc"));
    const std::vector<RecoveryFile> found = listRecoverableFiles(folder);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].original, OriginalState::Changed);
    EXPECT_FALSE(found[0].keepsItsPath());
}

TEST_F(RecoveryStoreTest, ListsFilesOfEndedInstancesAndDamagedOnesButNeverALiveInstancesFiles)
{
    const ProcessIdentity gone = endedProcess();
    ASSERT_TRUE(writeRecoveryFile(folder + "/b.recovery", entryOf(gone, 200), "later"));
    ASSERT_TRUE(writeRecoveryFile(folder + "/a.recovery", entryOf(gone, 100), "earlier"));
    ASSERT_TRUE(writeRecoveryFile(folder + "/live.recovery", entryOf(currentProcess()), "mine"));
    std::ofstream(folder + "/broken.recovery") << "tonvela-recovery 1\nkind=sheet\nlength=99\n\nshort";
    std::ofstream(folder + "/newer.recovery") << "tonvela-recovery 2\nwhatever comes\n";
    std::ofstream(folder + "/notes.txt") << "not ours";
    std::ofstream(folder + "/.tonvela-save-123456") << "a write in progress";

    const std::vector<RecoveryFile> found = listRecoverableFiles(folder);
    std::vector<std::string> names;
    for (const RecoveryFile& f : found)
        names.push_back(fs::path(f.file).filename().string());
    // The damaged file has no time and comes first; the others oldest first.
    ASSERT_EQ(names, (std::vector<std::string>{"broken.recovery", "a.recovery", "b.recovery"}));
    EXPECT_TRUE(found[0].damaged());
    EXPECT_NE(found[0].damage.find("cut off"), std::string::npos) << found[0].damage;
    EXPECT_FALSE(found[1].damaged());
    EXPECT_EQ(found[1].document, "earlier");
    EXPECT_EQ(found[2].entry.owner, gone);
    EXPECT_TRUE(listRecoverableFiles(folder + "/none").empty());
}

TEST_F(RecoveryStoreTest, AFileOfAKilledInstanceThatIsStillAZombieIsOffered)
{
    test::ZombieProcess zombie;
    ASSERT_TRUE(zombie.isZombie());
    ASSERT_TRUE(writeRecoveryFile(folder + "/z.recovery", entryOf(zombie.identity), "kept"));
    const std::vector<RecoveryFile> found = listRecoverableFiles(folder);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].document, "kept");
}

TEST_F(RecoveryStoreTest, AClaimTakesTheFileOnceAndMakesThisProcessItsOwner)
{
    const ProcessIdentity gone = endedProcess();
    ASSERT_TRUE(writeRecoveryFile(folder + "/old.recovery", entryOf(gone), "doc"));
    const std::vector<RecoveryFile> found = listRecoverableFiles(folder);
    ASSERT_EQ(found.size(), 1u);
    const std::string mine = newRecoveryFileName(folder);
    ASSERT_TRUE(claimRecoveryFile(found[0], mine));
    EXPECT_FALSE(fs::exists(found[0].file));
    EXPECT_TRUE(listRecoverableFiles(folder).empty()) << "a live instance's file is not offered";
    RecoveryEntry e;
    std::string doc;
    std::string error;
    ASSERT_TRUE(parseRecoveryFile(readAll(mine), e, doc, error));
    EXPECT_EQ(e.owner, currentProcess());
    EXPECT_EQ(e.title, found[0].entry.title);
    EXPECT_EQ(doc, "doc");
    // A second instance that listed the same file finds it taken.
    EXPECT_FALSE(claimRecoveryFile(found[0], newRecoveryFileName(folder)));
}

TEST_F(RecoveryStoreTest, ADamagedFileIsSetAsideNotDeleted)
{
    ASSERT_TRUE(makePrivateFolder(folder));
    const std::string file = folder + "/bad.recovery";
    std::ofstream(file) << "garbage";
    std::string error;
    const std::string moved = setDamagedFileAside(file, folder, error);
    ASSERT_FALSE(moved.empty()) << error;
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(readAll(moved), "garbage");
    EXPECT_EQ(fs::path(moved).parent_path(), fs::path(folder) / kDamagedRecoveryFolder);
    EXPECT_TRUE(listRecoverableFiles(folder).empty());
}

TEST(RecoveryFolderPath, FollowsXdgStateHomeAndFallsBackToHome)
{
    const char* oldState = std::getenv("XDG_STATE_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string savedState = oldState ? oldState : "";
    const std::string savedHome = oldHome ? oldHome : "";
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_STATE_HOME", "/var/state", 1);
    EXPECT_EQ(recoveryFolderPath(), "/var/state/tonvela/recovery");
    ::setenv("XDG_STATE_HOME", "relative/state", 1); // not absolute: ignored
    EXPECT_EQ(recoveryFolderPath(), "/home/someone/.local/state/tonvela/recovery");
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(recoveryFolderPath(), "/home/someone/.local/state/tonvela/recovery");
    oldState ? ::setenv("XDG_STATE_HOME", savedState.c_str(), 1) : ::unsetenv("XDG_STATE_HOME");
    oldHome ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

} // namespace
