// Offline rendering: a rendered sheet has its note onsets where the sheet puts them.

#include "scheduler_test_util.h"

#include "audio/sound_font_builder.h"
#include "audio/wave_file.h"
#include "devices/fluid_synth_output.h"
#include "playback/offline_render.h"

#include <cmath>

namespace tonvela::testing {
namespace {

// The sheets play through a sine SoundFont the test builds, so that onsets and lengths do not
// depend on the machine's SoundFonts.
class RenderOnsetTest : public ::testing::Test {
  protected:
    RenderOptions renderOptions() const
    {
        RenderOptions o;
        o.soundFont = font.path();
        return o;
    }

    // Onsets: the first sample above a threshold after at least `quietMs` below it.
    static std::vector<double> onsetsMs(const RenderedAudio& a, double quietMs = 150)
    {
        float peak = 0;
        for (const float s : a.samples)
            peak = std::max(peak, std::fabs(s));
        const float threshold = peak * 0.02f;
        const auto quietFrames = static_cast<int64_t>(quietMs * a.sampleRate / 1000.0);
        std::vector<double> onsets;
        int64_t quiet = quietFrames; // the start counts as silence
        for (int64_t f = 0; f < a.frames(); ++f) {
            const float v = std::max(std::fabs(a.samples[static_cast<std::size_t>(2 * f)]),
                                     std::fabs(a.samples[static_cast<std::size_t>(2 * f + 1)]));
            if (v > threshold) {
                if (quiet >= quietFrames)
                    onsets.push_back(static_cast<double>(f) * 1000.0 / a.sampleRate);
                quiet = 0;
            } else {
                ++quiet;
            }
        }
        return onsets;
    }

    TemporarySoundFont font;
    SheetDocument sheet;
};

TEST_F(RenderOnsetTest, NoteOnsetsLieWithinOneSynthesizerBlockOfTheirTimes)
{
    // Short notes of one key with long rests between, at times that fall inside 64-frame
    // blocks. One key and program give every onset the same attack, so the distances between
    // onsets show where the synthesizer placed the note ons.
    Track& t = *sheet.trackAt(0);
    t.iid = 0;
    std::vector<Note> ns;
    const int types[] = {kTypeSixteenth, kTypeThirtySecond, kTypeSixteenth, kTypeThirtySecond};
    for (int i = 0; i < 4; ++i) {
        Note n = makeNote(types[i], 0);
        n.iid = 0;
        ns.push_back(n);
        ns.push_back(makeNote(kTypeHalf, 0, kFlagRest));
        ns.push_back(makeNote(kTypeSixteenth, 0, kFlagRest));
    }
    setNotes(t, ns);
    sheet.trackAt(1)->count = 0;

    RenderOptions options = renderOptions();
    options.tailMs = 300;
    const RenderedAudio audio = renderSheet(sheet, options);
    ASSERT_TRUE(audio.ok) << audio.error;
    // Expected: each note starts after the previous note, a half rest and a sixteenth rest.
    std::vector<double> expected;
    double at = 0;
    for (int i = 0; i < 4; ++i) {
        expected.push_back(at);
        at += (types[i] == kTypeSixteenth ? 125 : 62.5) + 1000 + 125;
    }
    const std::vector<double> found = onsetsMs(audio);
    ASSERT_EQ(found.size(), expected.size());
    const double blockMs = 64.0 * 1000.0 / audio.sampleRate;
    const double frameMs = 1000.0 / audio.sampleRate;
    // The first onset: the note on at sample 0, heard once the sample's attack rises.
    EXPECT_GE(found[0], 0.0);
    EXPECT_LE(found[0], 10.0);
    for (std::size_t i = 1; i < expected.size(); ++i) {
        const double shift = (found[i] - found[0]) - expected[i];
        EXPECT_GE(shift, -blockMs - frameMs) << "onset " << i << " at " << found[i] << " ms";
        EXPECT_LE(shift, blockMs + frameMs) << "onset " << i << " at " << found[i] << " ms";
    }
    EXPECT_GE(audio.playedMs, static_cast<int64_t>(at));
    EXPECT_LT(audio.playedMs, static_cast<int64_t>(at) + 5);
}

TEST_F(RenderOnsetTest, RenderedLengthIsThePlayTimeAndTheTail)
{
    setNotes(*sheet.trackAt(0), {makeNote(kTypeWhole, 0), makeNote(kTypeHalf, -2)});
    RenderOptions options = renderOptions();
    options.tailMs = 500;
    const RenderedAudio audio = renderSheet(sheet, options);
    ASSERT_TRUE(audio.ok) << audio.error;
    EXPECT_NEAR(static_cast<double>(audio.frames()) / audio.sampleRate, 3.5, 0.01);
    const std::string wav = audio::encodeWav(audio.samples, 2, audio.sampleRate);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.size(), 44 + audio.samples.size() * 2);
}

TEST_F(RenderOnsetTest, OneTrackRendersAloneAndTheSelectionIsKept)
{
    setNotes(*sheet.trackAt(0), {makeNote(kTypeQuarter, 0)});
    setNotes(*sheet.trackAt(1), {makeNote(kTypeHalf, 0, kFlagRest), makeNote(kTypeQuarter, 0)});
    sheet.selectedTrack = 0;
    RenderOptions options = renderOptions();
    options.mode = PlayMode::Track;
    options.track = 1;
    options.tailMs = 200;
    const RenderedAudio audio = renderSheet(sheet, options);
    ASSERT_TRUE(audio.ok) << audio.error;
    const auto found = onsetsMs(audio);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NEAR(found[0], 1000.0, 10.0);
    EXPECT_EQ(sheet.selectedTrack, 0);
}

TEST_F(RenderOnsetTest, RefusesSheetsThatPlayLongerThanTheLimit)
{
    Note n = makeNote(kTypeWhole, 0);
    n.loopTo = 0;
    n.loopCount = 100000;
    setNotes(*sheet.trackAt(0), {n});
    const RenderedAudio audio = renderSheet(sheet, renderOptions());
    EXPECT_FALSE(audio.ok);
    EXPECT_NE(audio.error.find("longer than"), std::string::npos) << audio.error;
}

TEST_F(RenderOnsetTest, EmptySheetIsRefusedWithAMessage)
{
    SheetDocument empty;
    empty.setTrackCount(1);
    const RenderedAudio audio = renderSheet(empty, renderOptions());
    EXPECT_FALSE(audio.ok);
    EXPECT_EQ(audio.error, "the sheet has no notes to play");
}

} // namespace
} // namespace tonvela::testing
