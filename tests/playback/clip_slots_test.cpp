// Clips in playback: the scheduler's clip rule through the engine's slots, and offline
// rendering with the clips mixed in. Built only where the playback code is part of the build.

#include "audio/audio_test_util.h"
#include "audio/sound_engine.h"
#include "audio/sound_font_builder.h"
#include "platform/clock.h"
#include "platform/fluid_synth_output.h"
#include "platform/notifier.h"
#include "playback/clip_slots.h"
#include "score/note.h"
#include "score/sheet_document.h"
#include "score/track.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tonvela {
namespace {

using tonvela::testing::eventually;

Note makeNote(int type, int line = 0)
{
    Note n;
    n.type = type;
    n.setStaffPosition(line);
    n.layout.width = static_cast<int16_t>(n.kindWidth());
    return n;
}

class ClipSlotsTest : public tonvela::testing::AudioFilesTest {
  protected:
    // Root-mean-square level of the left channel between two times.
    static double level(const RenderedAudio& audio, double fromMs, double toMs)
    {
        const auto a = static_cast<std::size_t>(fromMs * audio.sampleRate / 1000.0);
        const auto b =
            std::min(static_cast<std::size_t>(toMs * audio.sampleRate / 1000.0), audio.samples.size() / 2);
        double sum = 0;
        for (std::size_t i = a; i < b; ++i)
            sum += static_cast<double>(audio.samples[2 * i]) * audio.samples[2 * i];
        return b > a ? std::sqrt(sum / static_cast<double>(b - a)) : 0.0;
    }
};

TEST_F(ClipSlotsTest, ReportsFollowTheEngineSlotFromStartToEnd)
{
    CollectingNotifier notifier;
    audio::SoundEngine engine(notifier);
    auto sink = createNullSink();
    ASSERT_TRUE(sink->open({}));
    ASSERT_EQ(engine.initAudio(std::move(sink)), 0);
    EngineClipSlots clips(engine);

    const int missing = clips.start(path("none.mp3"), 0);
    ASSERT_TRUE(eventually([&] { return clips.report(missing) == ClipSlots::Report::Finished; }, 2000));

    const int slot = clips.start(mp3("clip.mp3", 0.4), 0);
    ASSERT_TRUE(eventually([&] { return clips.report(slot) == ClipSlots::Report::Playing; }, 3000));
    ASSERT_TRUE(eventually([&] { return clips.report(slot) == ClipSlots::Report::Idle; }, 3000));

    const int wave = clips.start(tone("clip.wav", 3.0), 0);
    ASSERT_TRUE(eventually([&] { return clips.report(wave) == ClipSlots::Report::Playing; }, 3000));
    clips.stop(wave);
    EXPECT_EQ(clips.report(wave), ClipSlots::Report::Idle);

    // A clip stopped while it still fills its ring never starts sounding.
    const int filling = clips.start(mp3("long.mp3", 5.0), 0);
    clips.stop(filling);
    ASSERT_TRUE(eventually([&] { return !engine.streamActive(filling); }, 2000));
    EXPECT_NE(clips.report(filling), ClipSlots::Report::Playing);
}

TEST_F(ClipSlotsTest, OfflineClipsPlayUntilTheClockPassesTheirEndAndAreCutWhereStopped)
{
    VirtualClock clock(0);
    OfflineClipSlots clips(clock, 8000);
    const int slot = clips.start(tone("half.wav", 0.5, 1, 8000), 100'000);
    EXPECT_EQ(clips.report(slot), ClipSlots::Report::Playing);
    clock.setUs(599'000);
    EXPECT_EQ(clips.report(slot), ClipSlots::Report::Playing);
    clock.setUs(600'000);
    EXPECT_EQ(clips.report(slot), ClipSlots::Report::Idle);
    EXPECT_EQ(clips.report(clips.start(path("none.mp3"), 0)), ClipSlots::Report::Finished);

    const int cut = clips.start(tone("half.wav", 0.5, 1, 8000), 1'000'000);
    clock.setUs(1'200'000);
    clips.stop(cut);
    std::vector<float> out;
    clips.mixInto(out);
    EXPECT_EQ(out.size(), static_cast<std::size_t>(2 * 8000 * 1.2)); // the cut clip ends at 1.2 s
    EXPECT_GT(std::abs(out[2 * 1000 + 2 * 20]), 0.0f);               // the first clip from 0.1 s on
    EXPECT_EQ(out[2 * 700], 0.0f);                                   // nothing before it
}

TEST_F(ClipSlotsTest, ASheetWithAClipBetweenTwoNotesRendersTheClipsAudioBetweenThem)
{
    const tonvela::testing::TemporarySoundFont font;
    // GIVEN a quarter note, a one-second clip, a quarter note (120 bpm: 500 ms each)
    const std::string clipFile = tone("clip.wav", 1.0, 2, 44100, 16, 1000, 0.8);
    SheetDocument sheet;
    Track& track = sheet.trackCount() > 0 ? *sheet.trackAt(0) : sheet.addTrack();
    Note clip = makeNote(kTypeAudioClip);
    clip.setFilename(clipFile);
    track.insertNote(makeNote(kTypeQuarter), 0);
    track.insertNote(clip, 1);
    track.insertNote(makeNote(kTypeQuarter), 2);

    // WHEN it is rendered offline
    RenderOptions options;
    options.soundFont = font.path();
    options.mode = PlayMode::Track;
    options.track = 0;
    options.tailMs = 200;
    const RenderedAudio audio = renderSheetWithClips(sheet, options);
    ASSERT_TRUE(audio.ok) << audio.error;

    // THEN the clip's tone fills 500..1500 ms and the second note starts after it
    EXPECT_NEAR(level(audio, 600, 1400), 0.8 / std::sqrt(2.0), 0.08);
    EXPECT_GE(audio.playedMs, 2000);
    EXPECT_LE(audio.playedMs, 2020);
    EXPECT_GT(level(audio, 1550, 1950), 0.005); // the second note sounds
    EXPECT_LT(level(audio, 1550, 1950), 0.4);   // and the clip's loud tone is over
    EXPECT_GT(level(audio, 50, 450), 0.005);    // the first note sounds before the clip
    EXPECT_LT(level(audio, 50, 450), 0.4);
}

} // namespace
} // namespace tonvela
