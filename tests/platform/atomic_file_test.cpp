#include "platform/atomic_file.h"
#include "platform/ended_process.h"
#include "platform/process_identity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace tonvela;
namespace test = tonvela::test;
namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tonvela-atomic-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(AtomicFileTest, WritesAndReadsBackBinaryContent)
{
    const std::string p = (dir / "f.bin").string();
    const std::string data("a\0b\r\n\xff", 6);
    ASSERT_TRUE(writeFileAtomically(p, data));
    std::string back;
    ASSERT_TRUE(readWholeFile(p, back, 100));
    EXPECT_EQ(back, data);
}

TEST_F(AtomicFileTest, ReadRefusesFilesOverTheLimitAndFolders)
{
    const std::string p = (dir / "big").string();
    ASSERT_TRUE(writeFileAtomically(p, std::string(1000, 'z')));
    std::string out = "stale";
    const FileResult r = readWholeFile(p, out, 999);
    EXPECT_FALSE(r);
    EXPECT_NE(r.error.find("too large"), std::string::npos);
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(readWholeFile(dir.string(), out, 1000));
}

TEST_F(AtomicFileTest, WriteIntoAMissingFolderFailsWithTheName)
{
    const FileResult r = writeFileAtomically((dir / "no" / "such.shd").string(), "x");
    EXPECT_FALSE(r);
    EXPECT_NE(r.error.find("such.shd"), std::string::npos);
    EXPECT_FALSE(writeFileAtomically("", "x"));
}

TEST_F(AtomicFileTest, RefusesToReplaceAnythingButARegularFile)
{
    // A link to a device or a folder must never end up replaced by a regular file.
    const std::string link = (dir / "null.shd").string();
    fs::create_symlink("/dev/null", link);
    const FileResult r = writeFileAtomically(link, "data");
    EXPECT_FALSE(r);
    EXPECT_NE(r.error.find("not a regular file"), std::string::npos);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_FALSE(writeFileAtomically(dir.string(), "data"));
    EXPECT_TRUE(fs::is_directory(dir));
}

TEST_F(AtomicFileTest, APrivateFileIsTheUsersAloneAndALinkInItsPlaceIsReplacedNotFollowed)
{
    const mode_t oldMask = ::umask(022);
    const std::string p = (dir / "private").string();
    std::ofstream(p) << "old";
    fs::permissions(p, fs::perms(0644));
    ASSERT_TRUE(writeFileAtomically(p, "new", FileAccess::Private));
    EXPECT_EQ(fs::status(p).permissions() & fs::perms::all, fs::perms(0600));
    const std::string other = (dir / "other.txt").string();
    std::ofstream(other) << "someone's notes";
    const std::string link = (dir / "link").string();
    fs::create_symlink(other, link);
    ASSERT_TRUE(writeFileAtomically(link, "copy", FileAccess::Private));
    EXPECT_FALSE(fs::is_symlink(link));
    std::string back;
    ASSERT_TRUE(readWholeFile(other, back, 100));
    EXPECT_EQ(back, "someone's notes");
    // The usual access keeps following a link and the mode of the file it saves over.
    ASSERT_TRUE(writeFileAtomically(p, "again"));
    EXPECT_EQ(fs::status(p).permissions() & fs::perms::all, fs::perms(0600));
    ::umask(oldMask);
}

// A temporary file as a write by `writer` that never finished leaves it.
std::string leftoverOf(const fs::path& folder, const ProcessIdentity& writer)
{
    const fs::path p = folder / (std::string(kAtomicTemporaryPrefix) + std::to_string(writer.pid) + "-" +
                                 std::to_string(writer.startTicks) + "-a1B2c3");
    std::ofstream(p) << std::string(4096, 'x');
    return p.string();
}

TEST_F(AtomicFileTest, LeftoversOfWritersThatAreGoneAreRemovedAndEverythingElseIsKept)
{
    // GIVEN the temporary files of a killed write, of a writer that is a zombie, of a write
    // running now in this process, of an earlier release (no writer named), and the user's files.
    const std::string ended = leftoverOf(dir, test::endedProcess());
    test::ZombieProcess zombie;
    const std::string ofZombie = leftoverOf(dir, zombie.identity);
    const std::string running = leftoverOf(dir, currentProcess());
    const std::string oldRelease = (dir / ".tonvela-save-Qx81Zp").string();
    std::ofstream(oldRelease) << "old";
    fs::last_write_time(oldRelease, fs::file_time_type::clock::now() - std::chrono::hours(2));
    const std::string freshOldRelease = (dir / ".tonvela-save-Tr93Kd").string();
    std::ofstream(freshOldRelease) << "a write of an earlier release, maybe running";
    const std::string song = (dir / "song.shd").string();
    std::ofstream(song) << "<staffdoc>";
    const std::string lookalike = (dir / ".tonvela-save-notes.txt").string();
    std::ofstream(lookalike) << "mine";
    fs::create_directory(dir / (std::string(kAtomicTemporaryPrefix) + "1-2-abcdef"));
    fs::create_symlink(song, dir / (std::string(kAtomicTemporaryPrefix) + "1-3-abcdef"));

    // WHEN the folder is swept
    EXPECT_EQ(removeLeftoverTemporaryFiles(dir.string()), 3);

    // THEN only the leftovers of writers that are gone went.
    EXPECT_FALSE(fs::exists(ended));
    EXPECT_FALSE(fs::exists(ofZombie));
    EXPECT_FALSE(fs::exists(oldRelease));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::exists(freshOldRelease));
    EXPECT_TRUE(fs::exists(song));
    EXPECT_TRUE(fs::exists(lookalike));
    EXPECT_TRUE(fs::is_directory(dir / (std::string(kAtomicTemporaryPrefix) + "1-2-abcdef")));
    EXPECT_TRUE(fs::is_symlink(dir / (std::string(kAtomicTemporaryPrefix) + "1-3-abcdef")));
    EXPECT_EQ(removeLeftoverTemporaryFiles((dir / "none").string()), 0);
}

TEST_F(AtomicFileTest, AWriteKilledHalfwayLeavesAFileNamedAfterItsWriterThatTheNextSweepRemoves)
{
    // GIVEN a child whose write dies halfway: past its file size limit the kernel ends it with
    // SIGXFSZ in the middle of writing the temporary file.
    const std::string target = (dir / "song.shd").string();
    std::ofstream(target) << "the saved song";
    const pid_t child = ::fork();
    if (child == 0) {
        rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_DFL);
        writeFileAtomically(target, std::string(8192, 'n'));
        ::_exit(0);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename() != "song.shd")
            left.push_back(e.path().filename().string());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].rfind(std::string(kAtomicTemporaryPrefix) + std::to_string(child) + "-", 0), 0u)
        << left[0];

    // THEN the next start's sweep removes it, and the saved song is as it was.
    EXPECT_EQ(removeLeftoverTemporaryFiles(dir.string()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    std::string back;
    ASSERT_TRUE(readWholeFile(target, back, 100));
    EXPECT_EQ(back, "the saved song");
}
