// Which thread calls what while a sheet plays: the rules written on MidiOutput, the built-in
// synthesizer and the playback driver, checked against what the driver does.

#include "scheduler_test_util.h"

#include "playback/playback_driver.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tonvela::testing {
namespace {

struct Call {
    std::string what;
    std::thread::id thread;
};

// Keeps every call with its thread and counts calls that overlap another one. The device list
// may be read from any thread and is counted apart.
class CallLog {
  public:
    void enter(const std::string& what)
    {
        if (m_inside.fetch_add(1) != 0)
            ++overlaps;
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back({what, std::this_thread::get_id()});
    }
    void leave() { m_inside.fetch_sub(1); }
    std::vector<Call> calls() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    std::atomic<int> overlaps{0};

  private:
    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
    std::atomic<int> m_inside{0};
};

class ThreadCheckingOutput : public MidiOutput {
  public:
    explicit ThreadCheckingOutput(CallLog& log) : m_log(log) {}
    int deviceCount() const override
    {
        ++listReads;
        return 1;
    }
    std::string deviceName(int device) const override
    {
        ++listReads;
        return device == 0 ? "Checker" : "";
    }
    bool open(int) override
    {
        call("open", [this] { m_open = true; });
        return true;
    }
    bool isOpen() const override
    {
        m_log.enter("isOpen");
        const bool open = m_open;
        m_log.leave();
        return open;
    }
    void close() override
    {
        call("close", [this] { m_open = false; });
    }
    void sendShortMessage(uint32_t) override
    {
        call("send", [] {});
    }
    void sendShortMessageAt(uint32_t, int64_t) override
    {
        call("send", [] {});
    }
    void setVolume(uint32_t) override
    {
        call("volume", [] {});
    }

    mutable std::atomic<int> listReads{0};

  private:
    template <typename F> void call(const char* what, F&& body)
    {
        m_log.enter(what);
        body();
        // A moment inside the call, so that a second thread calling at the same time is seen.
        std::this_thread::sleep_for(std::chrono::microseconds(20));
        m_log.leave();
    }
    CallLog& m_log;
    bool m_open = false;
};

// Clip slots whose calls are logged the same way; clips end at once.
class ThreadCheckingClips : public ClipSlots {
  public:
    explicit ThreadCheckingClips(CallLog& log) : m_log(log) {}
    int start(const std::string&, int64_t) override { return logged("clip start", 0); }
    Report report(int) const override { return logged("clip report", Report::Finished); }
    void stop(int) override { logged("clip stop", 0); }

  private:
    template <typename T> T logged(const char* what, T value) const
    {
        m_log.enter(what);
        m_log.leave();
        return value;
    }
    CallLog& m_log;
};

class PlaybackThreadsTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        std::vector<Note> notes;
        notes.reserve(5);
        for (int i = 0; i < 4; ++i)
            notes.push_back(makeNote(kTypeEighth, -i));
        Note clip = makeNote(kTypeAudioClip);
        clip.setFilename("clip.mp3");
        notes.insert(notes.begin(), clip);
        setNotes(*sheet.trackAt(0), notes);
    }

    // The device list is read on this thread all the while, as the sheet panel may.
    void readDeviceListUntil(const std::function<bool()>& done)
    {
        while (!done()) {
            EXPECT_EQ(deviceNames(output), std::vector<std::string>{"Checker"});
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Every call after the open came from one thread other than this one, and the close was the
    // last call.
    void expectHandedToThePlaybackThread() const
    {
        const std::vector<Call> calls = log.calls();
        ASSERT_GE(calls.size(), 3u);
        std::size_t open = 0;
        while (open < calls.size() && calls[open].what != "open")
            ++open;
        ASSERT_LT(open, calls.size());
        EXPECT_EQ(calls[open].thread, caller) << "opened on the caller's thread";
        std::size_t handedOver = open + 1;
        while (handedOver < calls.size() && calls[handedOver].thread == caller)
            ++handedOver; // the volume after the open, before the playback thread starts
        ASSERT_LT(handedOver, calls.size());
        const std::thread::id playback = calls[handedOver].thread;
        EXPECT_NE(playback, caller);
        int sends = 0;
        int clipCalls = 0;
        for (std::size_t i = handedOver; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].thread, playback) << calls[i].what << " (call " << i << ")";
            sends += calls[i].what == "send";
            clipCalls += calls[i].what.rfind("clip", 0) == 0;
        }
        EXPECT_GT(sends, 0);
        EXPECT_GT(clipCalls, 0);
        EXPECT_EQ(calls.back().what, "close");
        EXPECT_EQ(log.overlaps.load(), 0) << "no two calls at once";
        EXPECT_GT(output.listReads.load(), 0);
    }

    CallLog log;
    ThreadCheckingOutput output{log};
    ThreadCheckingClips clips{log};
    CollectingNotifier notifier;
    SteadyClock clock;
    SheetDocument sheet;
    std::thread::id caller = std::this_thread::get_id();
    PlaybackDriver::Options options{20'000, 1'000};
};

TEST_F(PlaybackThreadsTest, APlaybackThatEndsOpensOnTheCallersThreadAndSendsAndClosesOnItsOwn)
{
    PlaybackDriver driver(output, notifier, clock, clips, nullptr, options);
    ASSERT_TRUE(driver.play(sheet, PlayMode::Track, 0));
    readDeviceListUntil([&] { return !driver.isPlaying(); });
    ASSERT_TRUE(driver.wait(5'000'000));
    expectHandedToThePlaybackThread();
}

TEST_F(PlaybackThreadsTest, AStoppedPlaybackSilencesAndClosesOnThePlaybackThreadToo)
{
    PlaybackDriver driver(output, notifier, clock, clips, nullptr, options);
    ASSERT_TRUE(driver.play(sheet, PlayMode::Track, 0));
    const auto stopAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    readDeviceListUntil([&] { return std::chrono::steady_clock::now() >= stopAt; });
    driver.stop();
    expectHandedToThePlaybackThread();
    // A second playback opens again on the caller's thread, after the first thread is gone.
    ASSERT_TRUE(driver.play(sheet, PlayMode::Track, 0));
    driver.stop();
    EXPECT_EQ(log.overlaps.load(), 0);
}

} // namespace
} // namespace tonvela::testing
