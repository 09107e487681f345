// Clips in playback: the scheduler's clip rule through the engine's slots, and offline
// rendering with the clips mixed in. Built only where the playback code is part of the build.

#include "audio/audio_test_util.h"
#include "audio/sound_engine.h"
#include "audio/sound_font_builder.h"
#include "audio/wave_file.h"
#include "devices/fluid_synth_output.h"
#include "platform/clock.h"
#include "platform/notifier.h"
#include "playback/clip_slots.h"
#include "playback/midi_port.h"
#include "score/note.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"
#include "score/track.h"
#include "support/recording_midi_output.h"

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

TEST_F(ClipSlotsTest, InRealTimeAClipSoundsAtItsTimeAndTheNextNoteFollowsItsEnd)
{
    // GIVEN the engine's mixer pulled one millisecond at a time along a virtual clock, and a
    // playback stepped 50 ms ahead of that clock, as the playback thread steps it
    constexpr int kRate = 8000;
    constexpr int64_t kLookaheadUs = 50'000;
    CollectingNotifier notifier;
    audio::SoundEngine engine(notifier);
    auto sink = std::make_unique<tonvela::testing::PulledSink>(kRate);
    tonvela::testing::PulledSink* pulled = sink.get();
    ASSERT_EQ(engine.initAudio(std::move(sink)), 0);
    VirtualClock clock(1'000'000);
    EngineClipSlots clips(engine, &clock);
    RecordingMidiOutput output(clock);
    MidiPort port(output, notifier, clock);
    ASSERT_TRUE(port.open(0));

    // a quarter note, a clip of 0.3 s at half scale, a quarter note
    const std::string clipFile = path("clip.wav");
    ASSERT_TRUE(audio::writeWav(clipFile, std::vector<float>(3 * kRate / 10, 0.5f), 1, kRate).ok);
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& track = *sheet.trackAt(0);
    Note clip = makeNote(kTypeAudioClip);
    clip.setFilename(clipFile);
    track.insertNote(makeNote(kTypeQuarter, 0), 0);
    track.insertNote(clip, 1);
    track.insertNote(makeNote(kTypeQuarter, -1), 2);

    const int64_t t0 = clock.nowUs();
    const int64_t origin = t0 + kLookaheadUs;
    Scheduler scheduler(sheet, port, output, clips, nullptr);
    ASSERT_TRUE(scheduler.begin(PlayMode::Track, origin));

    // WHEN it plays
    std::vector<float> heard;
    bool clipBegun = false;
    for (int ms = 0; ms < 3000; ++ms) {
        const std::vector<float> out = pulled->pull(kRate / 1000);
        heard.insert(heard.end(), out.begin(), out.end());
        clock.advanceMs(1);
        const bool alive = scheduler.cycle(clock.nowUs() + kLookaheadUs - origin);
        // The clip's thread runs in real time: let it fill its ring before the sound moves on,
        // as a decoder far faster than the sound does.
        const int slot = scheduler.state(0).clipSlot;
        if (slot >= 0 && !clipBegun) {
            ASSERT_TRUE(eventually([&] { return engine.playing(slot) || engine.finished(slot); }, 3000));
            clipBegun = true;
        }
        if (!alive)
            break;
    }
    engine.shutdown();

    // THEN the clip sounds from 500 ms of the playback (550 ms after the mixer's start) for its
    // 0.3 s, not one lookahead early
    std::size_t first = 0;
    while (2 * first < heard.size() && std::abs(heard[2 * first]) < 0.25f)
        ++first;
    EXPECT_EQ(first, static_cast<std::size_t>(550 * kRate / 1000));
    const std::size_t end = first + 3 * kRate / 10;
    ASSERT_LT(2 * end, heard.size());
    EXPECT_NEAR(heard[2 * (end - 1)], 0.5f, 1e-3f);
    EXPECT_EQ(heard[2 * end], 0.0f);

    // and the second note starts where the clip ends, at 800 ms
    const int second = soundingPitch(track.noteAt(2), track);
    int64_t secondOnMs = -1;
    for (const auto& m : output.messages)
        if (m.status() == 0x90 && m.data1() == second)
            secondOnMs = (m.stampUs - origin) / 1000;
    EXPECT_EQ(secondOnMs, 800);
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
