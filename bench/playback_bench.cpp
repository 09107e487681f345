// Playback figures: timing of messages on the real clock (idle and while another thread
// relayouts the largest sheet), placement of note onsets in rendered audio, render speed, and
// the cost of one scheduler cycle for 15 tracks.

#include "bench_sheets.h"

#include "editor/layout.h"
#include "editor/sheet_view_state.h"

#include "devices/fluid_synth_output.h"
#include "platform/clock.h"
#include "platform/notifier.h"
#include "platform/sheet_lock.h"
#include "playback/midi_port.h"
#include "playback/offline_render.h"
#include "playback/playback_driver.h"
#include "score/duration.h"
#include "score/sheet_document.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

using namespace tonvela;

namespace {

// A sheet that plays `seconds` on `tracks` tracks: quarters and eighths, a chord of three
// every fourth step, a rest now and then.
std::unique_ptr<SheetDocument> makeTimedSheet(int tracks, int seconds)
{
    auto sheet = std::make_unique<SheetDocument>();
    sheet->setTrackCount(tracks);
    for (int t = 0; t < tracks; ++t) {
        Track& track = *sheet->trackAt(t);
        int i = 0;
        int ms = 0;
        for (int k = 0; ms < seconds * 1000; ++k) {
            const bool eighth = (k + t) % 3 == 0;
            Note n;
            n.type = eighth ? kTypeEighth : kTypeQuarter;
            n.setStaffPosition(-((k * 3 + t) % 14) + 4);
            n.iid = t * 8;
            if (k % 13 == 12)
                n.dwFlag |= kFlagRest;
            track.noteAt(i++) = n;
            if (k % 4 == 0 && !(n.dwFlag & kFlagRest)) {
                const int root = i - 1;
                for (int m = 1; m <= 2; ++m) {
                    Note member = n;
                    member.setStaffPosition(n.line - 2 * m);
                    member.chordparent = static_cast<int16_t>(root);
                    track.noteAt(i++) = member;
                }
            }
            ms += eighth ? 250 : 500;
        }
        track.count = i;
        track.rebuildChordLists();
    }
    return sheet;
}

// A device with a queue: each stamped message leaves at its time (or at once when it came
// late), as an ALSA sequencer queue or the synthesizer's sample clock would play it. Keeps how
// far from its ideal time each note on and note off left.
class TimingDevice : public MidiOutput {
  public:
    explicit TimingDevice(const Clock& clock) : m_clock(clock), m_thread([this] { run(); }) {}
    ~TimingDevice() override
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_quit = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    int deviceCount() const override { return 1; }
    std::string deviceName(int) const override { return "timing"; }
    bool open(int) override { return m_open = true; }
    bool isOpen() const override { return m_open; }
    void close() override { m_open = false; }
    void setVolume(uint32_t) override {}
    void sendShortMessage(uint32_t m) override { sendShortMessageAt(m, m_clock.nowUs()); }
    void sendShortMessageAt(uint32_t m, int64_t atUs) override
    {
        const int64_t now = m_clock.nowUs();
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_queue.push_back({atUs, m});
            m_minLeadUs = std::min(m_minLeadUs, atUs - now);
        }
        m_cv.notify_all();
    }
    // Errors in microseconds, in the order the messages were due.
    std::vector<int64_t> errors()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_errors;
    }
    int64_t minLeadUs()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_minLeadUs;
    }
    void waitEmpty()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [this] { return m_queue.empty(); });
    }

  private:
    struct Item {
        int64_t atUs;
        uint32_t message;
    };
    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_cv.wait(lock, [this] { return m_quit || !m_queue.empty(); });
            if (m_quit)
                return;
            const Item item = m_queue.front();
            const int64_t now = m_clock.nowUs();
            if (item.atUs - now > 300) {
                // Sleep most of the way, then watch the clock for the rest.
                m_cv.wait_for(lock, std::chrono::microseconds(item.atUs - now - 250),
                              [this] { return m_quit; });
                continue;
            }
            lock.unlock();
            int64_t t = m_clock.nowUs();
            while (t < item.atUs)
                t = m_clock.nowUs();
            lock.lock();
            m_queue.pop_front();
            const int kind = statusOf(item.message) & 0xF0;
            if (kind == 0x90 || kind == 0x80)
                m_errors.push_back(t - item.atUs);
            m_cv.notify_all();
        }
    }
    const Clock& m_clock;
    bool m_open = false;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Item> m_queue;
    std::vector<int64_t> m_errors;
    int64_t m_minLeadUs = INT64_MAX;
    bool m_quit = false;
    std::thread m_thread;
};

// What a relayout costs the playback: the editor's layout pass over the whole largest sheet,
// laid out afresh in a loop, under the sheet lock, as the window does on every resize and zoom
// (an edit lays out only what it changed).
// With `yieldBetween`, the thread gives up the processor between passes, as a user-interface
// thread does when it goes back to its event loop.
void relayoutLoop(SheetDocument& sheet, std::atomic<bool>& quit, std::atomic<int64_t>& longestHoldUs,
                  bool yieldBetween)
{
    SteadyClock clock;
    SheetViewState view(sheet);
    view.setClientSize(1000, 800);
    while (!quit.load()) {
        const int64_t begin = clock.nowUs();
        {
            const SheetLockGuard lock(sheetLock());
            view.setLayout(nullptr);
            layoutRows(view);
            benchmark::DoNotOptimize(view.rowsInUse());
        }
        longestHoldUs.store(std::max(longestHoldUs.load(), clock.nowUs() - begin));
        if (yieldBetween)
            std::this_thread::yield();
    }
}

int64_t percentile(std::vector<int64_t> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

void realClockTiming(benchmark::State& state, bool underLoad, bool yieldBetween = false)
{
    const int seconds = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto sheet = makeTimedSheet(15, seconds);
        auto largest = bench::makeLargestSheet();
        std::atomic<bool> quit{false};
        std::atomic<int64_t> longestHold{0};
        std::thread load;
        if (underLoad)
            load = std::thread([&] { relayoutLoop(*largest, quit, longestHold, yieldBetween); });

        SteadyClock clock;
        TimingDevice device(clock);
        CollectingNotifier notifier;
        ClipsEndAtOnce clips;
        PlaybackDriver driver(device, notifier, clock, clips, nullptr);
        driver.play(*sheet, PlayMode::All, 0);
        driver.wait();
        device.waitEmpty();
        quit.store(true);
        if (load.joinable())
            load.join();

        const std::vector<int64_t> errors = device.errors();
        state.counters["messages"] = static_cast<double>(errors.size());
        state.counters["median_ms"] = static_cast<double>(percentile(errors, 0.5)) / 1000.0;
        state.counters["p99_ms"] = static_cast<double>(percentile(errors, 0.99)) / 1000.0;
        state.counters["max_ms"] = static_cast<double>(percentile(errors, 1.0)) / 1000.0;
        state.counters["first_ms"] = errors.empty() ? 0.0 : static_cast<double>(errors.front()) / 1000.0;
        state.counters["last_ms"] = errors.empty() ? 0.0 : static_cast<double>(errors.back()) / 1000.0;
        state.counters["min_lead_ms"] = static_cast<double>(device.minLeadUs()) / 1000.0;
        if (underLoad)
            state.counters["relayout_hold_ms"] = static_cast<double>(longestHold.load()) / 1000.0;
    }
}

void BM_TimingRealClockIdle(benchmark::State& state)
{
    realClockTiming(state, false);
}
void BM_TimingRealClockWhileRelayouting(benchmark::State& state)
{
    realClockTiming(state, true);
}
void BM_TimingRealClockWhileRelayoutingWithEventLoop(benchmark::State& state)
{
    realClockTiming(state, true, true);
}
BENCHMARK(BM_TimingRealClockIdle)->Arg(60)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_TimingRealClockWhileRelayouting)
    ->Arg(60)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK(BM_TimingRealClockWhileRelayoutingWithEventLoop)
    ->Arg(60)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// A device that takes everything and keeps nothing.
class NullDevice : public MidiOutput {
  public:
    int deviceCount() const override { return 1; }
    std::string deviceName(int) const override { return "null"; }
    bool open(int) override { return m_open = true; }
    bool isOpen() const override { return m_open; }
    void close() override { m_open = false; }
    void sendShortMessage(uint32_t) override { ++sent; }
    void sendShortMessageAt(uint32_t, int64_t) override { ++sent; }
    void setVolume(uint32_t) override {}
    long long sent = 0;

  private:
    bool m_open = false;
};

void BM_SchedulerCycle15Tracks(benchmark::State& state)
{
    auto sheet = bench::makeLargestSheet();
    VirtualClock clock;
    NullDevice device;
    CollectingNotifier notifier;
    MidiPort port(device, notifier, clock);
    ClipsEndAtOnce clips;
    device.open(0);
    auto scheduler = std::make_unique<Scheduler>(*sheet, port, device, clips, nullptr);
    scheduler->begin(PlayMode::All, 0);
    int64_t now = 0;
    for (auto _ : state) {
        if (!scheduler->cycle(now * 1000)) { // one cycle a millisecond
            state.PauseTiming();
            scheduler = std::make_unique<Scheduler>(*sheet, port, device, clips, nullptr);
            scheduler->begin(PlayMode::All, 0);
            now = 0;
            state.ResumeTiming();
        }
        ++now;
    }
    state.counters["messages_per_cycle"] =
        benchmark::Counter(static_cast<double>(device.sent), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SchedulerCycle15Tracks)->Unit(benchmark::kMicrosecond);

void BM_RenderSixtySecondsFourTracks(benchmark::State& state)
{
    if (findSoundFont().empty()) {
        state.SkipWithError("no SoundFont");
        return;
    }
    auto sheet = makeTimedSheet(4, 60);
    double renderedSeconds = 0;
    for (auto _ : state) {
        RenderOptions options;
        options.tailMs = 0;
        const RenderedAudio audio = renderSheet(*sheet, options);
        renderedSeconds += static_cast<double>(audio.frames()) / audio.sampleRate;
    }
    state.counters["x_real_time"] = benchmark::Counter(renderedSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderSixtySecondsFourTracks)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Onsets of one key at times that fall anywhere inside 64-frame blocks; the error is how far
// each onset lies from where its time puts it, taking the first onset as the reference.
void BM_RenderedOnsetPlacement(benchmark::State& state)
{
    if (findSoundFont().empty()) {
        state.SkipWithError("no SoundFont");
        return;
    }
    SheetDocument sheet;
    Track& track = *sheet.trackAt(0);
    std::vector<double> expected;
    int i = 0;
    double at = 0;
    for (int k = 0; k < 24; ++k) {
        Note n;
        n.type = k % 2 ? kTypeThirtySecond : kTypeSixteenth;
        n.dwFlag = k % 3 == 0 ? kFlagDot : 0;
        n.setStaffPosition(0);
        track.noteAt(i++) = n;
        expected.push_back(at);
        at += static_cast<double>(usAtTempo(lengthTicks(n), 120)) / 1000.0;
        Note rest;
        rest.type = kTypeHalf;
        rest.dwFlag = kFlagRest;
        track.noteAt(i++) = rest;
        at += 1000;
    }
    track.count = i;
    double worstFrames = 0;
    for (auto _ : state) {
        RenderOptions options;
        options.tailMs = 200;
        const RenderedAudio a = renderSheet(sheet, options);
        float peak = 0;
        for (const float s : a.samples)
            peak = std::max(peak, std::fabs(s));
        std::vector<double> onsets;
        int64_t quiet = 1 << 30;
        for (int64_t f = 0; f < a.frames(); ++f) {
            const float v = std::fabs(a.samples[static_cast<std::size_t>(2 * f)]);
            if (v > peak * 0.02f) {
                if (quiet > 4410)
                    onsets.push_back(static_cast<double>(f));
                quiet = 0;
            } else {
                ++quiet;
            }
        }
        if (onsets.size() != expected.size()) {
            state.SkipWithError("onsets not found");
            return;
        }
        for (std::size_t k = 1; k < onsets.size(); ++k) {
            const double want = expected[k] * a.sampleRate / 1000.0;
            worstFrames = std::max(worstFrames, std::fabs((onsets[k] - onsets[0]) - want));
        }
    }
    state.counters["worst_error_frames"] = worstFrames;
    state.counters["block_frames"] = 64;
}
BENCHMARK(BM_RenderedOnsetPlacement)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
