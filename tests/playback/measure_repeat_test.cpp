// Measure repeats come from the score's own division into measures: the measure the sheet
// shows with a number is the measure that playback, offline rendering and the MIDI writer
// repeat, whether or not a window ever laid the sheet out.

#include "scheduler_test_util.h"

#include "devices/fluid_synth_output.h"
#include "drawing/recording_canvas.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "playback/midi_file_writer.h"
#include "playback/offline_render.h"
#include "score/play_time.h"
#include "score/sounding_pitch.h"

#include <cmath>
#include <map>
#include <set>

namespace tonvela::testing {
namespace {

class MeasureRepeatTest : public SchedulerHarness {
  protected:
    // Quarter notes of the given (white) keys on track 0; four fill a measure of 4/4.
    void fillMeasures(std::initializer_list<int> keys)
    {
        std::vector<Note> ns;
        for (int key : keys) {
            Note n = makeNote(kTypeQuarter);
            n.setNameFromKey(key);
            ns.push_back(n);
        }
        setNotes(*sheet.trackAt(0), ns);
        sheet.trackAt(1)->count = 0;
    }

    std::vector<int> playedKeys()
    {
        std::vector<int> keys;
        for (const auto& m : notes())
            if ((m.status & 0xF0) == 0x90)
                keys.push_back(m.data1);
        return keys;
    }
};

TEST_F(MeasureRepeatTest, TheMeasureTheSheetShowsAsMarkedIsTheOneThatPlaysTwice)
{
    // GIVEN three measures laid out in a view, as a window shows them
    fillMeasures({60, 62, 64, 65, 67, 69, 71, 72, 74, 76, 77, 79});
    SheetViewState view(sheet);
    view.setClientSize(1200, 600);
    layoutRows(view);
    Track& t = *sheet.trackAt(0);
    // The sheet draws measure number layout.measureIndex + 1: notes 4..7 are its measure 2.
    for (int i = 0; i < 12; ++i)
        ASSERT_EQ(view.noteLayout(0, i).measureIndex + 1, i / 4 + 1) << i;
    ASSERT_EQ(view.measures(0)[2].firstNote, 4);

    // WHEN measure 2 is marked and the track plays
    t.measureRepeats.set(2, true);
    play();

    // THEN exactly the notes shown as measure 2 play twice
    EXPECT_EQ(playedKeys(),
              (std::vector<int>{60, 62, 64, 65, 67, 69, 71, 72, 67, 69, 71, 72, 74, 76, 77, 79}));
    for (int i = 0; i < t.count; ++i)
        EXPECT_EQ(t.measureDivision().measureOf(i), view.noteLayout(0, i).measureIndex + 1)
            << "layout and playback read one division";
}

TEST_F(MeasureRepeatTest, AStaffBreakAfterAFullMeasureStartsTheNextMeasureForBoth)
{
    // 4/4: C D E F, staff break, G A B C: the break opens measure 2 in the sheet and in playback.
    fillMeasures({60, 62, 64, 65, 67, 69, 71, 72});
    Track& t = *sheet.trackAt(0);
    t.insertNote(makeNote(kTypeStaffBreak), 4);
    sheet.trackAt(0)->measureRepeats.set(1, true);
    SheetViewState view(sheet);
    view.setClientSize(1200, 600);
    layoutRows(view);
    EXPECT_EQ(view.noteLayout(0, 5).measureIndex, 1);
    EXPECT_TRUE(view.measures(0)[2].startsRow);
    play();
    EXPECT_EQ(playedKeys(), (std::vector<int>{60, 62, 64, 65, 60, 62, 64, 65, 67, 69, 71, 72}));
}

TEST_F(MeasureRepeatTest, TheMeasureDrawnUnderTheMarkedNumberIsTheOneThePlaybackRepeats)
{
    // GIVEN one track in 4/4, two measures a row:
    //   1: dotted half, quarter | 2: quarter, quarter, bar line, whole (the bar restarts the count)
    //   3: a chord of two halves, a half | 4: eight eighths
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    Note chordMember = makeNote(kTypeHalf, -9);
    chordMember.chordparent = 6;
    std::vector<Note> ns = {makeNote(kTypeHalf, -2, kFlagDot),
                            makeNote(kTypeQuarter, -3),
                            makeNote(kTypeQuarter, -4),
                            makeNote(kTypeQuarter, -5),
                            makeNote(kTypeBar, 0),
                            makeNote(kTypeWhole, -6),
                            makeNote(kTypeHalf, -7),
                            chordMember,
                            makeNote(kTypeHalf, -8)};
    for (int k = 0; k < 8; ++k)
        ns.push_back(makeNote(kTypeEighth, k + 1));
    setNotes(t, ns);
    SheetViewState view(sheet);
    view.setClientSize(600, 800);
    layoutRows(view);
    ASSERT_EQ(view.layout().measuresPerRow, 2);
    RecordingCanvas canvas(600, 800);
    drawSheet(view, canvas, false);

    // The sheet shows measure 3 opening row 1 with the chord and the half note.
    const MeasureRecord& m3 = view.measures(0)[3];
    ASSERT_EQ(m3.firstNote, 6);
    ASSERT_EQ(m3.rowIndex, 1);
    std::set<int> shownInThree;
    for (int i = 0; i < t.count; ++i)
        if (view.noteLayout(0, i).measureIndex + 1 == 3) {
            EXPECT_EQ(view.noteLayout(0, i).rowIndex, 1) << i;
            shownInThree.insert(i);
        }
    ASSERT_EQ(shownInThree, (std::set<int>{6, 7, 8}));
    bool numberDrawn = false;
    for (const auto& c : canvas.callsOf(RecordingCanvas::Kind::Text))
        numberDrawn = numberDrawn || (c.text == "3" && c.v[1] == view.scaled(view.row(1).top - 18));
    EXPECT_TRUE(numberDrawn) << "measure number 3 heads row 1";
    std::set<std::pair<int, int>> glyphsDrawn;
    for (const auto& c : canvas.callsOf(RecordingCanvas::Kind::Glyph))
        glyphsDrawn.emplace(c.v[1], c.v[2]);
    for (int i : shownInThree)
        EXPECT_TRUE(
            glyphsDrawn.count({view.scaled(view.noteLayout(0, i).x), view.scaled(view.noteLayout(0, i).y)}))
            << i;

    // WHEN measure 3, as the sheet numbers it, is marked and the track plays
    t.measureRepeats.set(3, true);
    play();

    // THEN the notes drawn in measure 3 and no others sound twice, one after the other
    std::map<int, int> timesPlayed;
    std::vector<std::pair<int64_t, int>> ons;
    for (const auto& m : notes())
        if ((m.status & 0xF0) == 0x90)
            ons.emplace_back(m.ms, m.data1);
    std::map<int, int> keyOf;
    for (int i = 0; i < t.count; ++i)
        if (t.noteAt(i).type != kTypeBar)
            keyOf[soundingPitch(t.noteAt(i), t)] = i;
    ASSERT_EQ(keyOf.size(), static_cast<std::size_t>(t.count - 1)) << "every note has a key of its own";
    for (const auto& [ms, key] : ons)
        ++timesPlayed[keyOf.at(key)];
    for (int i = 0; i < t.count; ++i) {
        if (t.noteAt(i).type == kTypeBar)
            continue;
        EXPECT_EQ(timesPlayed[i], shownInThree.count(i) ? 2 : 1) << "note " << i;
    }
    // Measures 1 and 2 take 2 + 3 seconds at 120 bpm; measure 3 (2 s) plays at 5 s and again
    // at 7 s; measure 4 follows at 9 s.
    std::vector<int64_t> startsOfThree;
    for (const auto& [ms, key] : ons)
        if (keyOf.at(key) == 6)
            startsOfThree.push_back(ms);
    EXPECT_EQ(startsOfThree, (std::vector<int64_t>{5000, 7000}));
    EXPECT_EQ(ons.back().first, 9000 + 7 * 250);
    EXPECT_EQ(scheduler->playLength(0), 11000);
}

// Seven measures of 4/4 laid out three to a row, as a window of 800 pixels shows them: each
// measure has four quarter notes of keys of its own. Every walk of the track (playback, its
// length, the play time, the MIDI writer) must play the marked measures twice, whether a
// measure lies inside a row, ends a row or ends the track.
class MeasureRepeatEverywhereTest : public MeasureRepeatTest {
  protected:
    // White keys from 36 up, four a measure.
    static int keyOf(int measure, int k)
    {
        static constexpr int kSteps[7] = {0, 2, 4, 5, 7, 9, 11};
        const int n = 4 * (measure - 1) + k;
        return 36 + 12 * (n / 7) + kSteps[n % 7];
    }

    void SetUp() override
    {
        sheet.setTrackCount(1);
        std::vector<Note> ns;
        for (int m = 1; m <= 7; ++m)
            for (int k = 0; k < 4; ++k) {
                Note n = makeNote(kTypeQuarter);
                n.setNameFromKey(keyOf(m, k));
                ns.push_back(n);
            }
        setNotes(*sheet.trackAt(0), ns);
        SheetViewState view(sheet);
        view.setClientSize(800, 600);
        layoutRows(view);
        // The layout the cases rely on: three measures a row, the 3rd ends row 0, the 7th is
        // alone on row 2.
        ASSERT_EQ(view.layout().measuresPerRow, 3);
        ASSERT_TRUE(view.measures(0)[3].lastOnRow);
        ASSERT_FALSE(view.measures(0)[2].lastOnRow);
        ASSERT_EQ(view.measuresInUse(0), 7);
        ASSERT_EQ(view.measures(0)[7].rowIndex, 2);
    }

    // The onsets (ms, key) of measures played in the given order, a quarter every 500 ms.
    static std::vector<std::pair<int64_t, int>> onsetsOf(const std::vector<int>& measures)
    {
        std::vector<std::pair<int64_t, int>> out;
        int64_t ms = 0;
        for (const int m : measures)
            for (int k = 0; k < 4; ++k, ms += 500)
                out.emplace_back(ms, keyOf(m, k));
        return out;
    }

    std::vector<std::pair<int64_t, int>> scheduledOnsets()
    {
        play();
        std::vector<std::pair<int64_t, int>> out;
        for (const auto& m : notes())
            if ((m.status & 0xF0) == 0x90)
                out.emplace_back(m.ms, m.data1);
        return out;
    }

    // The MIDI writer's note ons, at 96 ticks a quarter (500 ms at 120 bpm).
    std::vector<std::pair<int64_t, int>> writtenOnsets()
    {
        TrackExport ex;
        std::string error;
        EXPECT_TRUE(buildTrackExport(*sheet.trackAt(0), ex, error)) << error;
        std::vector<std::pair<int64_t, int>> out;
        for (const ExportEvent& e : ex.events)
            if (e.on && !e.rest)
                out.emplace_back(e.tick * 500 / 96, e.key);
        return out;
    }
};

TEST_F(MeasureRepeatEverywhereTest, AMarkedMeasurePlaysTwiceInsideARowAtARowEndAndAtTheEndOfTheTrack)
{
    struct Case {
        const char* where;
        std::vector<int> marks;
        std::vector<int> played;
    };
    const std::vector<Case> cases = {
        {"inside a row", {2}, {1, 2, 2, 3, 4, 5, 6, 7}},
        {"at a row end", {3}, {1, 2, 3, 3, 4, 5, 6, 7}},
        {"last of the track", {7}, {1, 2, 3, 4, 5, 6, 7, 7}},
        {"all three", {2, 3, 7}, {1, 2, 2, 3, 3, 4, 5, 6, 7, 7}},
        {"first and last", {1, 7}, {1, 1, 2, 3, 4, 5, 6, 7, 7}},
    };
    Track& t = *sheet.trackAt(0);
    for (const Case& c : cases) {
        t.measureRepeats.assign(c.marks);
        const auto expected = onsetsOf(c.played);
        const int64_t length = 2000 * static_cast<int64_t>(c.played.size());
        EXPECT_EQ(scheduledOnsets(), expected) << c.where;
        EXPECT_EQ(scheduler->playLength(0), length) << c.where;
        EXPECT_EQ(writtenOnsets(), expected) << c.where;
        EXPECT_EQ(totalPlayMs(t), length) << c.where;
        EXPECT_EQ(playTimeText(t, t.count - 1), formatPlayTime(length)) << c.where;
        EXPECT_EQ(t.measureRepeats.measures(), c.marks) << "walking uses up no mark";
    }
}

TEST_F(MeasureRepeatEverywhereTest, SeekingIntoTheRepeatOfTheLastMeasurePlaysItsSecondPassOnly)
{
    sheet.trackAt(0)->measureRepeats.assign({7});
    ASSERT_TRUE(start(PlayMode::Track));
    // 16 s long; 15 s is the third quarter of the second pass of measure 7.
    EXPECT_EQ(scheduler->leadLength(), 16000);
    const int64_t end = runUntilEnd([&](int64_t ms) {
        if (ms == 10)
            scheduler->seek(15000.0 / 16000.0, ms * 1000);
    });
    std::vector<int> after;
    for (const auto& m : notes())
        if ((m.status & 0xF0) == 0x90 && m.ms >= 10)
            after.push_back(m.data1);
    EXPECT_EQ(after, (std::vector<int>{keyOf(7, 2), keyOf(7, 3)})) << "no third pass after the seek";
    EXPECT_EQ(end, 10 + 1000);
}

TEST_F(MeasureRepeatTest, ABarLineThatOpensTheNextMeasureDoesNotHideTheRepeatFromTheMidiWriter)
{
    // 4/4: C D E F, then a bar line and G A B C, as the example sheets write their measures;
    // the bar line is the first note of measure 2. Measure 1 is marked.
    fillMeasures({60, 62, 64, 65, 67, 69, 71, 72});
    Track& t = *sheet.trackAt(0);
    t.insertNote(makeNote(kTypeBar), 4);
    t.divideIntoMeasures();
    ASSERT_EQ(t.measureDivision().measureOf(4), 2);
    t.measureRepeats.set(1, true);
    const std::vector<int> expected{60, 62, 64, 65, 60, 62, 64, 65, 67, 69, 71, 72};
    play();
    EXPECT_EQ(playedKeys(), expected);
    TrackExport ex;
    std::string error;
    ASSERT_TRUE(buildTrackExport(t, ex, error)) << error;
    std::vector<int> written;
    for (const ExportEvent& e : ex.events)
        if (e.on)
            written.push_back(e.key);
    EXPECT_EQ(written, expected);
}

TEST_F(MeasureRepeatTest, AClipThatOpensTheNextMeasureDoesNotHideTheRepeat)
{
    // 2/4: C D | clip E F with measure 1 marked; the clip (no file: skipped at once) is the
    // first note of measure 2, and the repeat goes back before it.
    fillMeasures({60, 62, 64, 65});
    Track& t = *sheet.trackAt(0);
    t.timeSig = kTimeSig24;
    t.insertNote(makeNote(kTypeAudioClip), 2);
    t.divideIntoMeasures();
    ASSERT_EQ(t.measureDivision().measureOf(2), 2);
    t.measureRepeats.set(1, true);
    play();
    EXPECT_EQ(playedKeys(), (std::vector<int>{60, 62, 60, 62, 64, 65}));
}

TEST_F(MeasureRepeatTest, ATieOverARepeatSignIsStruckAgainEverywhere)
{
    // 2/4: C F~ | F~ G with measure 1 marked: the repeat goes back between the two tied F, so
    // the second F is its own note on every pass: C F C F F G, a quarter each.
    std::vector<Note> ns;
    for (const auto& [key, tie] :
         std::vector<std::pair<int, bool>>{{60, false}, {65, true}, {65, true}, {67, false}}) {
        Note n = makeNote(kTypeQuarter, 0, tie ? kFlagTie : 0);
        n.setNameFromKey(key);
        n.dwFlag = tie ? kFlagTie : 0;
        ns.push_back(n);
    }
    setNotes(*sheet.trackAt(0), ns);
    sheet.trackAt(1)->count = 0;
    Track& t = *sheet.trackAt(0);
    t.timeSig = kTimeSig24;
    t.measureRepeats.set(1, true);
    play();
    std::vector<std::pair<int64_t, int>> ons;
    for (const auto& m : notes())
        if ((m.status & 0xF0) == 0x90)
            ons.emplace_back(m.ms, m.data1);
    const std::vector<std::pair<int64_t, int>> expected{{0, 60},    {500, 65},  {1000, 60},
                                                        {1500, 65}, {2000, 65}, {2500, 67}};
    EXPECT_EQ(ons, expected);
    TrackExport ex;
    std::string error;
    ASSERT_TRUE(buildTrackExport(t, ex, error)) << error;
    std::vector<std::pair<int64_t, int>> written;
    for (const ExportEvent& e : ex.events)
        if (e.on)
            written.emplace_back(e.tick * 500 / 96, e.key);
    EXPECT_EQ(written, expected);

    // Without the mark the two F sound as one half note.
    t.measureRepeats.clear();
    play();
    std::vector<int> keys;
    for (const auto& m : notes())
        if ((m.status & 0xF0) == 0x90)
            keys.push_back(m.data1);
    EXPECT_EQ(keys, (std::vector<int>{60, 65, 67}));
}

class MeasureRepeatRenderTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (findSoundFont().empty())
            GTEST_SKIP() << "no General MIDI SoundFont installed (scripts/setup.sh installs one)";
    }

    // Onsets: the first sample above 2 % of the peak after at least 150 ms of quiet.
    static std::vector<double> onsetsMs(const RenderedAudio& a)
    {
        float peak = 0;
        for (const float s : a.samples)
            peak = std::max(peak, std::fabs(s));
        const auto quietFrames = static_cast<int64_t>(150 * a.sampleRate / 1000.0);
        std::vector<double> onsets;
        int64_t quiet = quietFrames;
        for (int64_t f = 0; f < a.frames(); ++f) {
            const float v = std::max(std::fabs(a.samples[static_cast<std::size_t>(2 * f)]),
                                     std::fabs(a.samples[static_cast<std::size_t>(2 * f + 1)]));
            if (v > peak * 0.02f) {
                if (quiet >= quietFrames)
                    onsets.push_back(static_cast<double>(f) * 1000.0 / a.sampleRate);
                quiet = 0;
            } else {
                ++quiet;
            }
        }
        return onsets;
    }

    SheetDocument sheet;
};

TEST_F(MeasureRepeatRenderTest, OfflineRenderPlaysTheMarkedMeasureTwiceInsideAndAtTheEnd)
{
    // 2/4: a sixteenth and rests fill each of three measures, so every measure is one onset a
    // second. Marking the second or the last one gives four onsets a second apart, and the
    // playback ends after four seconds, not three.
    Track& t = *sheet.trackAt(0);
    t.timeSig = kTimeSig24;
    std::vector<Note> ns;
    for (int m = 0; m < 3; ++m) {
        ns.push_back(makeNote(kTypeSixteenth, 0));
        ns.push_back(makeNote(kTypeSixteenth, 0, kFlagRest));
        ns.push_back(makeNote(kTypeEighth, 0, kFlagRest));
        ns.push_back(makeNote(kTypeQuarter, 0, kFlagRest));
    }
    setNotes(t, ns);
    sheet.trackAt(1)->count = 0;
    for (const int marked : {2, 3}) {
        t.measureRepeats.assign({marked});
        RenderOptions options;
        options.tailMs = 300;
        const RenderedAudio audio = renderSheet(sheet, options);
        ASSERT_TRUE(audio.ok) << audio.error;
        EXPECT_EQ(audio.playedMs, 4000) << "measure " << marked << " marked";
        const std::vector<double> onsets = onsetsMs(audio);
        ASSERT_EQ(onsets.size(), 4u) << "measure " << marked << " marked";
        for (std::size_t k = 0; k < onsets.size(); ++k)
            EXPECT_NEAR(onsets[k], 1000.0 * static_cast<double>(k), 5.0) << k;
    }
}

} // namespace
} // namespace tonvela::testing
