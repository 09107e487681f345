#include "cli_test_util.h"
#include "playback/smf_builder.h"

using tonvela::test::smfFile;
using tonvela::test::TrackBytes;
using tonvela::testing::CliTest;
using tonvela::testing::readFile;
using tonvela::testing::writeFile;

namespace {

class MidiCliTest : public CliTest {
  protected:
    // Two chunks: a conductor track at 100 bpm, and a melody of a chord and a note.
    std::string smallMidi(const std::string& name)
    {
        const TrackBytes conductor = TrackBytes().tempo(0, 600000).end();
        const TrackBytes melody = TrackBytes()
                                      .meta(0, 0x03, "Melody")
                                      .program(0, 2, 40)
                                      .on(0, 2, 60)
                                      .on(0, 2, 64)
                                      .off(96, 2, 60)
                                      .off(0, 2, 64)
                                      .on(0, 2, 67)
                                      .off(192, 2, 67)
                                      .end();
        writeFile(path(name), smfFile({conductor, melody}));
        return path(name);
    }
    static std::string q(const std::string& p) { return "'" + p + "'"; }
};

TEST_F(MidiCliTest, InfoDescribesTheFileAndTheImportedSheet)
{
    const std::string mid = smallMidi("song.mid");
    auto r = run("info " + q(mid));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(
        r.out.find("MIDI file: format 1, 2 track chunks, division 96 ticks per quarter note, 3 note-ons"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Chunk 1: 0 note-ons, no notes, not imported"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Chunk 2 \"Melody\": 3 note-ons, imported as track 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("tempo 100"), std::string::npos) << r.out;

    r = run("info --json " + q(mid));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string compact = [&] {
        std::string s;
        for (char c : r.out)
            if (c != ' ' && c != '\n')
                s += c;
        return s;
    }();
    EXPECT_NE(compact.find("\"midi\":{\"format\":1,\"tracks\":2,\"division\":96,\"noteOns\":3}"),
              std::string::npos)
        << r.out;
    EXPECT_NE(compact.find("\"kind\":\"sheet\""), std::string::npos);
    EXPECT_NE(compact.find("\"chordRoots\":1"), std::string::npos) << r.out;
}

TEST_F(MidiCliTest, ConvertImportsExportsAllTracksOrOne)
{
    const std::string mid = smallMidi("song.mid");
    auto r = run("convert " + q(mid) + " " + q(path("song.shd")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(path("song.shd")).rfind("<staffdoc", 0), 0u);

    r = run("convert " + q(path("song.shd")) + " " + q(path("all.mid")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string all = readFile(path("all.mid"));
    ASSERT_GE(all.size(), 14u);
    EXPECT_EQ(all.substr(0, 4), "MThd");

    // Two tracks in a sheet, then only the second written.
    writeFile(path("two.mid"), smfFile({TrackBytes().on(0, 0, 60).off(96, 0, 60).end(),
                                        TrackBytes().on(0, 1, 50).off(192, 1, 50).end()}));
    r = run("convert " + q(path("two.mid")) + " " + q(path("second.mid")) + " --track 2");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string second = readFile(path("second.mid"));
    EXPECT_EQ(static_cast<unsigned char>(second[11]), 1u); // one track chunk
    EXPECT_NE(second.find(std::string("\x91\x32\x7F", 3)), std::string::npos);
    EXPECT_EQ(second.find(std::string("\x91\x3C\x7F", 3)), std::string::npos);

    r = run("info --json " + q(path("second.mid")));
    EXPECT_NE(r.out.find("\"noteOns\": 1"), std::string::npos) << r.out;
}

TEST_F(MidiCliTest, BadInputAndBadTrackNumbersFailWithAMessageAndWriteNothing)
{
    writeFile(path("broken.mid"), "MThd\0\0");
    auto r = run("convert " + q(path("broken.mid")) + " " + q(path("out.shd")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("broken.mid"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(path("out.shd")));

    writeFile(path("zero.mid"), smfFile({TrackBytes().on(0, 0, 60).off(96, 0, 60).end()}, 0));
    r = run("info " + q(path("zero.mid")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("division of 0"), std::string::npos) << r.err;

    const std::string mid = smallMidi("song.mid");
    r = run("convert " + q(mid) + " " + q(path("x.mid")) + " --track 3");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("--track 3"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(path("x.mid")));
    r = run("convert " + q(mid) + " " + q(path("x.mid")) + " --track two");
    EXPECT_EQ(r.exitCode, 1);

    r = run("convert " + q(mid) + " " + q(path("no/such/dir/x.mid")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.empty());
}

TEST_F(MidiCliTest, DevicesListsTheBuiltInSynthesizerAsDeviceZero)
{
    auto r = run("devices");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("0: Built-in Synthesizer (FluidSynth)\n", 0), 0u) << r.out;
    r = run("devices --json");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"name\": \"Built-in Synthesizer (FluidSynth)\""), std::string::npos) << r.out;
    EXPECT_EQ(run("devices --bogus").exitCode, 1);
}

} // namespace
