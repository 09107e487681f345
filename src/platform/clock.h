#pragma once

#include <atomic>
#include <cstdint>

namespace tonvela {

// The time source of playback and paint throttling, in microseconds since an arbitrary start.
// The steady clock is the real one; tests and offline rendering advance a virtual clock.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual int64_t nowUs() const = 0;
    int64_t nowMs() const { return nowUs() / 1000; }
    // Waits until the clock has advanced by `us` (a virtual clock just advances).
    virtual void sleepUs(int64_t us) = 0;
    void sleepMs(int64_t ms) { sleepUs(ms * 1000); }
};

class SteadyClock : public Clock {
  public:
    int64_t nowUs() const override;
    void sleepUs(int64_t us) override;
};

// Time moves only when told; sleeping advances it. Safe to read from any thread.
class VirtualClock : public Clock {
  public:
    explicit VirtualClock(int64_t startUs = 0) : m_now(startUs) {}
    int64_t nowUs() const override { return m_now.load(std::memory_order_acquire); }
    void sleepUs(int64_t us) override { advanceUs(us); }
    void advanceUs(int64_t us) { m_now.fetch_add(us, std::memory_order_acq_rel); }
    void advanceMs(int64_t ms) { advanceUs(ms * 1000); }
    void setUs(int64_t us) { m_now.store(us, std::memory_order_release); }

  private:
    std::atomic<int64_t> m_now;
};

} // namespace tonvela
