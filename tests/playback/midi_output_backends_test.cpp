#include "audio/sound_font_builder.h"
#include "devices/alsa_seq_output.h"
#include "devices/alsa_seq_ports.h"
#include "devices/composite_midi_output.h"
#include "devices/fluid_synth_output.h"
#include "devices/system_midi_output.h"
#include "platform/clock.h"
#include "platform/notifier.h"
#include "playback/midi_port.h"
#include "support/recording_midi_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace tonvela {
namespace {

class MidiOutputBackendsTest : public ::testing::Test {
  protected:
    // The synthesizer rendering offline with a SoundFont the test built.
    FluidSynthOptions offline() const
    {
        FluidSynthOptions o;
        o.realTimeAudio = false;
        o.sampleRate = 44100;
        o.soundFont = font.path();
        return o;
    }
    // First frame whose left or right sample is clearly not silent, or -1.
    static int firstSound(const std::vector<float>& lr)
    {
        for (std::size_t i = 0; i < lr.size(); ++i)
            if (std::fabs(lr[i]) > 1e-4f)
                return static_cast<int>(i / 2);
        return -1;
    }
    VirtualClock clock;
    tonvela::testing::TemporarySoundFont font;
};

TEST_F(MidiOutputBackendsTest, SystemOutputListsTheBuiltInSynthesizerFirst)
{
    auto out = createSystemMidiOutput(clock);
    ASSERT_GE(out->deviceCount(), 1);
    EXPECT_EQ(out->deviceName(0), kBuiltInSynthName);
    EXPECT_EQ(out->deviceName(out->deviceCount()), "");
    if (!sequencerPresent()) {
        EXPECT_EQ(out->deviceCount(), 1); // no sequencer: no ports, no failure
    }
}

TEST_F(MidiOutputBackendsTest, CompositeNumbersDevicesAcrossBackendsAndRoutesMessages)
{
    std::vector<std::unique_ptr<MidiOutput>> backends;
    backends.push_back(std::make_unique<RecordingMidiOutput>(clock, std::vector<std::string>{"A"}));
    backends.push_back(std::make_unique<RecordingMidiOutput>(clock, std::vector<std::string>{"B", "C"}));
    CompositeMidiOutput out(std::move(backends));
    auto* first = static_cast<RecordingMidiOutput*>(out.backend(0));
    auto* second = static_cast<RecordingMidiOutput*>(out.backend(1));
    EXPECT_EQ(deviceNames(out), (std::vector<std::string>{"A", "B", "C"}));
    ASSERT_TRUE(out.open(2));
    EXPECT_EQ(second->openDevice(), 1);
    out.sendShortMessage(packShortMessage(0x90, 60, 100));
    ASSERT_TRUE(out.open(0));
    EXPECT_FALSE(second->isOpen());
    out.sendShortMessageAt(packShortMessage(0x80, 60, 0), 1234);
    EXPECT_EQ(second->messages.size(), 1u);
    ASSERT_EQ(first->messages.size(), 1u);
    EXPECT_EQ(first->messages[0].stampUs, 1234);
    EXPECT_FALSE(out.open(3));
    EXPECT_FALSE(out.isOpen());
}

TEST_F(MidiOutputBackendsTest, SoundFontIsFoundThroughTheEnvironmentFirst)
{
    ::unsetenv(kSoundFontEnvironment);
    const std::string installed = findSoundFont(); // whatever this machine has, maybe none
    ::setenv(kSoundFontEnvironment, font.path().c_str(), 1);
    EXPECT_EQ(findSoundFont(), font.path());
    ::setenv(kSoundFontEnvironment, "/nonexistent/file.sf2", 1);
    EXPECT_EQ(findSoundFont(), installed); // a missing file falls back to the installed ones
    ::setenv(kSoundFontEnvironment, "/tmp", 1);
    EXPECT_EQ(findSoundFont(), installed); // so does a folder
    ::unsetenv(kSoundFontEnvironment);
}

TEST_F(MidiOutputBackendsTest, SynthesizerWithoutSoundFontFailsToOpenWithAMessage)
{
    FluidSynthOptions o = offline();
    o.soundFont = "/nonexistent/none.sf2";
    FluidSynthOutput synth(&clock, o);
    EXPECT_FALSE(synth.open(0));
    EXPECT_FALSE(synth.lastError().empty());
    CollectingNotifier notifier;
    MidiPort port(synth, notifier, clock);
    EXPECT_FALSE(port.open(0));
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, "Could not create MIDI device");
}

TEST_F(MidiOutputBackendsTest, StampedNoteStartsWithinOneBlockOfItsSample)
{
    FluidSynthOutput synth(&clock, offline());
    ASSERT_TRUE(synth.open(0)) << synth.lastError();
    EXPECT_EQ(synth.soundFontPath(), font.path());
    EXPECT_EQ(synth.deviceName(0), kBuiltInSynthName);

    // An audio period of 1024 frames; the note belongs at frame 700 of it.
    std::vector<float> lr(2 * 4096, 0.0f);
    ASSERT_TRUE(synth.sendAtFrame(packShortMessage(0xC0, 0), 0));
    ASSERT_TRUE(synth.sendAtFrame(packShortMessage(0x90, 60, 127), 700));
    synth.renderInterleaved(lr.data(), 1024);
    synth.renderInterleaved(lr.data() + 2048, 3072);
    const int first = firstSound(lr);
    ASSERT_GE(first, 0) << "the note was never heard";
    EXPECT_GE(first, 700 - 64);
    EXPECT_LT(first, 700 + 64 + 64);
    EXPECT_EQ(synth.renderedFrames(), 4096);
}

TEST_F(MidiOutputBackendsTest, ClockStampsMapToSamplePositionsFromTheOpen)
{
    clock.setUs(5'000'000);
    FluidSynthOutput synth(&clock, offline());
    ASSERT_TRUE(synth.open(0)) << synth.lastError();
    // 50 ms after the open is frame 2205 at 44.1 kHz.
    synth.sendShortMessageAt(packShortMessage(0x90, 60, 127), 5'050'000);
    std::vector<float> lr(2 * 8192, 0.0f);
    synth.render(lr.data(), lr.data() + 8192, 8192);
    std::vector<float> left(lr.begin(), lr.begin() + 8192);
    int first = -1;
    for (int i = 0; i < 8192 && first < 0; ++i)
        if (std::fabs(left[static_cast<std::size_t>(i)]) > 1e-4f)
            first = i;
    EXPECT_GE(first, 2205 - 64);
    EXPECT_LT(first, 2205 + 128);
}

TEST_F(MidiOutputBackendsTest, ClosedSynthesizerRendersSilenceAndDropsMessages)
{
    FluidSynthOutput synth(&clock, offline());
    std::vector<float> lr(2 * 2048, 1.0f);
    synth.renderInterleaved(lr.data(), 2048); // never opened: no SoundFont is loaded for this
    EXPECT_EQ(firstSound(lr), -1);
    EXPECT_TRUE(synth.soundFontPath().empty());
    EXPECT_FALSE(synth.sendAtFrame(packShortMessage(0x90, 60, 127), 0));

    ASSERT_TRUE(synth.open(0));
    synth.sendShortMessage(packShortMessage(0x90, 60, 127));
    synth.renderInterleaved(lr.data(), 2048);
    EXPECT_GE(firstSound(lr), 0);
    synth.close();
    std::fill(lr.begin(), lr.end(), 1.0f);
    synth.renderInterleaved(lr.data(), 2048);
    EXPECT_EQ(firstSound(lr), -1);
}

TEST_F(MidiOutputBackendsTest, RealTimeSynthesizerOpensEvenWithoutAnAudioDevice)
{
    FluidSynthOptions options;
    options.soundFont = font.path();
    FluidSynthOutput synth(&clock, options); // real-time: the null output where no device opens
    ASSERT_TRUE(synth.open(0)) << synth.lastError();
    synth.setVolume(kFullVolume);
    synth.sendShortMessage(packShortMessage(0x90, 60, 100));
    synth.sendShortMessage(packShortMessage(0x80, 60, 0));
    synth.close();
    EXPECT_FALSE(synth.isOpen());
}

} // namespace
} // namespace tonvela
