#include "cli_test_util.h"
#include "playback/smf_builder.h"

#include <sstream>

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
    EXPECT_NE(compact.find("\"midi\":{\"format\":1,\"tracks\":2,\"division\":96,\"noteOns\":3,"),
              std::string::npos)
        << r.out;
    EXPECT_NE(compact.find("\"tempoBpm\":100,\"tempoChanges\":0"), std::string::npos) << r.out;
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

// Two beats at 60 bpm, then four at 128: 2 s and 1.875 s. Notes of a quarter on every beat.
std::string tempoChangeMidi()
{
    const TrackBytes conductor = TrackBytes().tempo(0, 1000000).tempo(192, 468750).end(384);
    TrackBytes melody = TrackBytes().meta(0, 0x03, "Tune");
    for (int i = 0; i < 6; ++i)
        melody.on(0, 0, 60 + 2 * i).off(96, 0, 60 + 2 * i);
    return smfFile({conductor, melody.end()});
}

TEST_F(MidiCliTest, InfoSaysWhenTheFileChangesTempo)
{
    writeFile(path("change.mid"), tempoChangeMidi());
    auto r = run("info " + q(path("change.mid")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Tempo: changes 1 time, between 60 and 128 beats per minute; the sheet plays at 60"),
              std::string::npos)
        << r.out;
    r = run("info --json " + q(path("change.mid")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"tempoChanges\": 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"minTempoBpm\": 60"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"maxTempoBpm\": 128"), std::string::npos) << r.out;
}

TEST_F(MidiCliTest, MidiFilesOpenByTheirContentWhateverTheirNameAndByTheirName)
{
    const std::string bytes = tempoChangeMidi();
    for (const char* name : {"a.smf", "b.MIDI", "c.Mid", "no_extension", "d.txt", "e.shd"}) {
        writeFile(path(name), bytes);
        auto r = run("convert " + q(path(name)) + " " + q(path("out.shd")));
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
        r = run("info --json " + q(path(name)));
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
        EXPECT_NE(r.out.find("\"noteOns\": 6"), std::string::npos) << name << ": " << r.out;
    }
    // A damaged file named as a MIDI file gets the MIDI reader's message, in any letter case.
    for (const char* name : {"broken.SMF", "broken.midi"}) {
        writeFile(path(name), "MTh");
        const auto r = run("convert " + q(path(name)) + " " + q(path("out2.shd")));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("MThd"), std::string::npos) << name << ": " << r.err;
    }
}

bool haveSoundFont()
{
    return std::filesystem::exists("/usr/share/sounds/sf2/TimGM6mb.sf2") ||
           std::filesystem::exists("/usr/share/sounds/sf2/FluidR3_GM.sf2");
}

TEST_F(MidiCliTest, PlayAndRenderOfTheEventsFollowTheFilesTempoChanges)
{
    if (!haveSoundFont())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    writeFile(path("change"), tempoChangeMidi());
    // Rendered: 3.875 s of music, then the 1.5 s tail.
    auto r = run("render " + q(path("change")) + " -o " + q(path("events.wav")) + " --events");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const double seconds = static_cast<double>(readFile(path("events.wav")).size() - 44) / 4 / 44100 - 1.5;
    EXPECT_NEAR(seconds, 3.875, 0.02);

    // Played in real time: the last note off 3875 ms after the first note on.
    r = run("play " + q(path("change")) + " --events --print");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    double firstOn = -1;
    double lastOff = -1;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        double ms = 0;
        if (std::sscanf(line.c_str(), "midi %lf", &ms) != 1)
            continue;
        if (line.find("note on") != std::string::npos && firstOn < 0)
            firstOn = ms;
        if (line.find("note off") != std::string::npos)
            lastOff = std::max(lastOff, ms);
    }
    EXPECT_NEAR(lastOff - firstOn, 3875, 5) << r.out;
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
