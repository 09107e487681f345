#pragma once

#include "platform/clock.h"
#include "platform/notifier.h"
#include "playback/midi_port.h"
#include "playback/scheduler.h"
#include "score/sheet_document.h"
#include "support/recording_midi_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <vector>

namespace tonvela::testing {

// One message as a table row: its ideal time in milliseconds of the playback and its bytes.
struct TimedMessage {
    int64_t ms;
    int status;
    int data1;
    int data2;
    bool operator==(const TimedMessage& o) const
    {
        return ms == o.ms && status == o.status && data1 == o.data1 && data2 == o.data2;
    }
};
inline std::ostream& operator<<(std::ostream& os, const TimedMessage& m)
{
    return os << "{" << m.ms << " ms, 0x" << std::hex << m.status << std::dec << ", " << m.data1 << ", "
              << m.data2 << "}";
}

// A view that keeps what playback reports.
struct CollectingView : PlaybackView {
    std::vector<Progress> progressReports;
    std::vector<int64_t> progressTimes;
    std::vector<int> followed;
    int highlightCalls = 0;
    int endedCalls = 0;
    void progress(const Progress& p, int64_t atUs) override
    {
        progressReports.push_back(p);
        progressTimes.push_back(atUs);
    }
    void highlightsChanged(int, int64_t) override { ++highlightCalls; }
    void followMeasure(int m, int64_t) override { followed.push_back(m); }
    void ended() override { ++endedCalls; }
};

// A note as the editor would make it: a kind, a staff position, a program.
inline Note makeNote(int type, int line = 0, int flags = 0)
{
    Note n;
    n.type = type;
    n.setStaffPosition(line);
    n.dwFlag = flags;
    return n;
}

inline void setNotes(Track& track, const std::vector<Note>& notes)
{
    for (std::size_t i = 0; i < notes.size(); ++i) {
        track.noteAt(static_cast<int>(i)) = notes[i];
    }
    track.count = static_cast<int>(notes.size());
    track.rebuildChordLists();
}

// Drives a scheduler with a virtual clock and a recording output, one cycle per millisecond,
// as the real-time loop does.
class SchedulerHarness : public ::testing::Test {
  protected:
    VirtualClock clock{1'000'000};
    RecordingMidiOutput output{clock};
    CollectingNotifier notifier;
    MidiPort port{output, notifier, clock};
    ClipsEndAtOnce endAtOnce;
    ClipSlots* clips = &endAtOnce;
    CollectingView view;
    SheetDocument sheet;
    std::unique_ptr<Scheduler> scheduler;
    int64_t origin = 0;

    // Starts a playback; the clock then stands at playback time 0.
    bool start(PlayMode mode)
    {
        output.messages.clear();
        if (!port.open(0))
            return false;
        origin = clock.nowUs();
        scheduler = std::make_unique<Scheduler>(sheet, port, output, *clips, &view);
        return scheduler->begin(mode, origin);
    }
    int64_t nowMs() const { return (clock.nowUs() - origin) / 1000; }
    int64_t nowUs() const { return clock.nowUs() - origin; }
    // Cycles once per millisecond until the playback ends, `hook` runs before each cycle.
    // Returns the playback time at which it ended.
    int64_t runUntilEnd(const std::function<void(int64_t)>& hook = {}, int64_t limitMs = 600'000)
    {
        while (nowMs() < limitMs) {
            if (hook)
                hook(nowMs());
            if (!scheduler->cycle(nowUs()))
                return nowMs();
            clock.advanceMs(1);
        }
        return -1;
    }
    int64_t play(PlayMode mode = PlayMode::Track)
    {
        EXPECT_TRUE(start(mode));
        return runUntilEnd();
    }
    // Every message since the start, as table rows in time order (equal times in sending order).
    std::vector<TimedMessage> table() const
    {
        std::vector<TimedMessage> rows;
        for (const auto& m : output.messages)
            rows.push_back({(m.stampUs - origin) / 1000, m.status(), m.data1(), m.data2()});
        std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.ms < b.ms; });
        return rows;
    }
    // Only the note ons and offs.
    std::vector<TimedMessage> notes() const
    {
        std::vector<TimedMessage> rows;
        for (const auto& r : table())
            if ((r.status & 0xF0) == 0x80 || (r.status & 0xF0) == 0x90)
                rows.push_back(r);
        return rows;
    }
    // Each message reached the output no later than one cycle after its time.
    void expectSentOnTime() const
    {
        for (const auto& m : output.messages) {
            EXPECT_GE(m.stampUs, 0);
            EXPECT_LE(m.clockUs - m.stampUs, 1000) << "message 0x" << std::hex << m.message << " sent late";
        }
    }
};

inline TimedMessage on(int64_t ms, int key, int channel = 0)
{
    return {ms, 0x90 | channel, key, 127};
}
inline TimedMessage off(int64_t ms, int key, int channel = 0)
{
    return {ms, 0x80 | channel, key, 127};
}

} // namespace tonvela::testing
