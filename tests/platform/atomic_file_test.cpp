#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace tonvela;
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
