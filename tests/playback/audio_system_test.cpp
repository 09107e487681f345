// The sound output playback uses: the synthesizer and the clip slots on one engine.

#include "audio/audio_test_util.h"
#include "audio/sound_engine.h"
#include "platform/clock.h"
#include "platform/notifier.h"
#include "playback/audio_system.h"
#include "playback/scheduler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tonvela {
namespace {

class AudioSystemTest : public tonvela::testing::AudioFilesTest {
  protected:
    // Polls a slot until it reports `wanted`; false after `limitMs`.
    bool waitFor(ClipSlots& slots, int slot, ClipSlots::Report wanted, int limitMs)
    {
        for (int waited = 0; waited < limitMs; waited += 10) {
            if (slots.report(slot) == wanted)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return slots.report(slot) == wanted;
    }

    CollectingNotifier notifier;
    SteadyClock clock;
};

TEST_F(AudioSystemTest, TheSynthesizerIsDeviceZeroAndTheEngineRuns)
{
    AudioSystem sound(notifier, clock);
    ASSERT_GE(sound.midiOutput().deviceCount(), 1);
    EXPECT_FALSE(sound.midiOutput().deviceName(0).empty());
    EXPECT_TRUE(sound.engine().running()) << "a null sink keeps time where no device opens";
    EXPECT_GT(sound.engine().sampleRate(), 0);
}

TEST_F(AudioSystemTest, AClipPlaysThroughItsSlotAndFinishes)
{
    const std::string clip = tone("short.wav", 0.3);
    AudioSystem sound(notifier, clock);
    ClipSlots& slots = sound.clipSlots();
    const int slot = slots.start(clip, clock.nowUs());
    ASSERT_GE(slot, 0);
    // A short clip starts at once (it is drained) and then leaves the playing state, which
    // ends the clip note.
    ASSERT_TRUE(waitFor(slots, slot, ClipSlots::Report::Playing, 2000));
    bool ended = false;
    for (int waited = 0; waited < 5000 && !ended; waited += 10) {
        ended = slots.report(slot) != ClipSlots::Report::Playing;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(ended);
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(AudioSystemTest, StoppingAClipSilencesItPromptly)
{
    const std::string clip = tone("long.wav", 5.0);
    AudioSystem sound(notifier, clock);
    ClipSlots& slots = sound.clipSlots();
    const int slot = slots.start(clip, clock.nowUs());
    ASSERT_GE(slot, 0);
    ASSERT_TRUE(waitFor(slots, slot, ClipSlots::Report::Playing, 5000));
    slots.stop(slot);
    EXPECT_NE(slots.report(slot), ClipSlots::Report::Playing);
}

} // namespace
} // namespace tonvela
