// Which files open through the MIDI reader: by their first bytes whatever their name, or by a
// MIDI file's name.

#include "playback/midi_file_reader.h"

#include "score/sheet_document.h"
#include "smf_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace tonvela {
namespace {

namespace fs = std::filesystem;

class MidiFileKindTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tonvela-kind-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string write(const std::string& name, const std::string& bytes)
    {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    fs::path dir;
};

std::string smallMidi()
{
    return test::smfFile({test::TrackBytes().on(0, 0, 60).off(96, 0, 60).end()});
}

// A RIFF MIDI file: the Standard MIDI File as the "data" chunk of an "RMID" form.
std::string riffMidi(const std::string& smf)
{
    auto le32 = [](std::size_t v) {
        return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 24)};
    };
    const std::string info = "INFO" + le32(3) + "abc" + std::string(1, '\0');
    const std::string body =
        "RMID" + std::string("LIST") + le32(info.size()) + info + "data" + le32(smf.size()) + smf;
    return "RIFF" + le32(body.size()) + body;
}

TEST_F(MidiFileKindTest, NamesOfMidiFilesInAnyLetterCase)
{
    for (const char* name : {"a.mid", "b.MID", "c.midi", "d.MiDi", "e.smf", "f.SMF", "/x/y/song.Mid"})
        EXPECT_TRUE(hasMidiFileName(name)) << name;
    for (const char* name : {"a.shd", "mid", "a.mid.shd", "/x.mid/song", "a.midx", "a.sm", ""})
        EXPECT_FALSE(hasMidiFileName(name)) << name;
}

TEST_F(MidiFileKindTest, ContentDecidesWhateverTheName)
{
    const std::string smf = smallMidi();
    EXPECT_TRUE(isMidiFile(write("song.shd", smf)));
    EXPECT_TRUE(isMidiFile(write("song", smf)));
    EXPECT_TRUE(isMidiFile(write("song.txt", riffMidi(smf))));
    // A damaged file with a MIDI name still goes to the MIDI reader, which says what is wrong.
    EXPECT_TRUE(isMidiFile(write("broken.smf", "MTh")));
    EXPECT_TRUE(isMidiFile(write("empty.MIDI", "")));
    // A sheet saved under a MIDI name is still a sheet; other files are not MIDI files.
    EXPECT_FALSE(isMidiFile(write("sheet.mid", "\r\n<staffdoc>\r\n</staffdoc>\r\n")));
    EXPECT_FALSE(isMidiFile(write("notes.txt", "MTrk and more")));
    EXPECT_FALSE(isMidiFile((dir / "missing").string()));
    EXPECT_TRUE(isMidiFile((dir / "missing.mid").string()));
}

TEST_F(MidiFileKindTest, ARiffMidiFileImportsItsStandardMidiFile)
{
    SheetDocument sheet;
    const LoadResult res = importMidiData(riffMidi(smallMidi()), sheet);
    ASSERT_TRUE(res.ok()) << res.error;
    ASSERT_EQ(sheet.trackCount(), 1);
    EXPECT_EQ(sheet.trackAt(0)->noteAt(0).effectiveKey(), 60);
    // A RIFF file without its data chunk is refused like any file that is no MIDI file.
    EXPECT_FALSE(importMidiData(std::string("RIFF\4\0\0\0RMID", 12), sheet).ok());
}

} // namespace
} // namespace tonvela
