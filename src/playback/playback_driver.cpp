#include "playback/playback_driver.h"

#include "platform/clock.h"
#include "platform/sheet_lock.h"
#include "score/sheet_document.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace tonvela {
namespace {

// After the last note the port stays open this long so that releases ring out; after Stop,
// this long.
constexpr int64_t kCloseAfterEndMs = 200;
constexpr int64_t kCloseAfterStopMs = 100;
constexpr int64_t kWaitSliceMs = 10;

// Holds the sheet lock for one cycle. The lock serves waiters in order, so a thread that
// relayouts in a loop cannot keep the playback thread out for longer than one pass.
class CycleLock {
  public:
    CycleLock() { sheetLock().lock(); }
    ~CycleLock() { sheetLock().unlock(); }
    CycleLock(const CycleLock&) = delete;
    CycleLock& operator=(const CycleLock&) = delete;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// OrderedMidiOutput

bool OrderedMidiOutput::open(int device)
{
    m_pending.clear();
    return m_target.open(device);
}

void OrderedMidiOutput::close()
{
    flush();
    m_target.close();
}

void OrderedMidiOutput::sendShortMessage(uint32_t message)
{
    m_target.sendShortMessage(message);
}

void OrderedMidiOutput::sendShortMessageAt(uint32_t message, int64_t clockUs)
{
    m_pending.push_back({clockUs, message});
}

void OrderedMidiOutput::flush()
{
    std::stable_sort(m_pending.begin(), m_pending.end(),
                     [](const Pending& a, const Pending& b) { return a.clockUs < b.clockUs; });
    for (const Pending& p : m_pending)
        m_target.sendShortMessageAt(p.message, p.clockUs);
    m_pending.clear();
}

// ---------------------------------------------------------------------------------------------
// PlaybackDriver

PlaybackDriver::PlaybackDriver(MidiOutput& output, Notifier& notifier, Clock& clock, ClipSlots& clips,
                               PlaybackView* view)
    : PlaybackDriver(output, notifier, clock, clips, view, Options{})
{
}

PlaybackDriver::PlaybackDriver(MidiOutput& output, Notifier& notifier, Clock& clock, ClipSlots& clips,
                               PlaybackView* view, Options options)
    : m_target(output), m_ordered(output), m_port(m_ordered, notifier, clock), m_clock(clock), m_clips(clips),
      m_view(view), m_options(options), m_marks(options.marks ? options.marks : &m_ownMarks)
{
    m_options.lookaheadUs = std::max<int64_t>(m_options.lookaheadUs, 0);
    m_options.periodUs = std::clamp<int64_t>(m_options.periodUs, 100, 100'000);
}

PlaybackDriver::~PlaybackDriver()
{
    stop();
}

bool PlaybackDriver::play(SheetDocument& sheet, PlayMode mode, int device, double from)
{
    stop();
    if (!m_port.open(device))
        return false;
    m_sheet = &sheet;
    m_scheduler = std::make_unique<Scheduler>(sheet, m_port, m_ordered, m_clips, m_view, m_marks);
    m_scheduler->setChordSymbols(m_chordSymbols);
    // Time 0 lies one lookahead ahead, so the first notes too reach the device before their time.
    m_originUs = m_clock.nowUs() + m_options.lookaheadUs;
    bool started = false;
    {
        const SheetLockGuard lock(sheetLock());
        started = m_scheduler->begin(mode, m_originUs);
        // The start is placed before the first cycle, so nothing before it sounds.
        if (started && from > 0.0)
            m_scheduler->seek(std::min(from, 1.0), 0);
    }
    if (!started) {
        m_port.close();
        m_scheduler.reset();
        return false;
    }
    m_stop.store(false, std::memory_order_release);
    m_seekPending.store(false, std::memory_order_release);
    m_running.store(true, std::memory_order_release);
    m_thread = std::thread([this] { run(); });
    return true;
}

void PlaybackDriver::run()
{
    bool stopped = false;
    for (;;) {
        if (m_stop.load(std::memory_order_acquire)) {
            stopped = true;
            break;
        }
        const int64_t now = m_clock.nowUs();
        bool alive = false;
        {
            const CycleLock lock;
            if (m_seekPending.exchange(false, std::memory_order_acq_rel))
                m_scheduler->seek(m_seekTo.load(std::memory_order_acquire), now - m_originUs);
            alive = m_scheduler->cycle(now + m_options.lookaheadUs - m_originUs);
        }
        m_ordered.flush();
        if (!alive)
            break;
        m_clock.sleepUs(m_options.periodUs);
    }
    if (stopped) {
        {
            const CycleLock lock;
            m_scheduler->stopPlayback(m_clock.nowUs() - m_originUs);
        }
        m_ordered.flush();
        m_clock.sleepMs(kCloseAfterStopMs);
    } else {
        // Let the last notes ring out, unless a Stop comes first.
        for (int64_t waited = 0; waited < kCloseAfterEndMs && !m_stop.load(std::memory_order_acquire);
             waited += kWaitSliceMs)
            m_clock.sleepMs(kWaitSliceMs);
    }
    m_port.close();
    finish();
}

void PlaybackDriver::finish()
{
    {
        const std::lock_guard<std::mutex> lock(m_doneMutex);
        m_running.store(false, std::memory_order_release);
    }
    m_done.notify_all();
}

void PlaybackDriver::stop()
{
    if (!m_thread.joinable())
        return;
    m_stop.store(true, std::memory_order_release);
    m_thread.join();
    m_scheduler.reset();
    m_sheet = nullptr;
}

void PlaybackDriver::seek(double f)
{
    m_seekTo.store(f, std::memory_order_release);
    m_seekPending.store(true, std::memory_order_release);
}

bool PlaybackDriver::wait(int64_t timeoutUs)
{
    std::unique_lock<std::mutex> lock(m_doneMutex);
    const auto ended = [this] { return !m_running.load(std::memory_order_acquire); };
    if (timeoutUs < 0)
        m_done.wait(lock, ended);
    else if (!m_done.wait_for(lock, std::chrono::microseconds(timeoutUs), ended))
        return false;
    lock.unlock();
    if (m_thread.joinable())
        m_thread.join();
    return true;
}

} // namespace tonvela
