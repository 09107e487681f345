#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tonvela {

// Something the painter thread paints: a document window's off-screen image.
class PaintTarget {
  public:
    virtual ~PaintTarget() = default;
    // Called on the painter thread with the sheet lock held.
    virtual void paintOffscreen() = 0;

    // Set by the painter thread while it paints this target.
    std::atomic<bool> painting{false};
    // Set before the target is destroyed; the painter thread then skips it.
    std::atomic<bool> paintBlocked{false};
};

inline constexpr int kPaintQueueSize = 32;

// The thread that paints queued document windows into their off-screen images, so layout
// and drawing of a large sheet never stall the user-interface thread's event handling.
//
// It sleeps until a request arrives, then takes the process-wide sheet lock for the whole
// batch and paints every queued target that is not blocked. The queue holds 32 entries; a
// target already queued is not queued twice, and a request arriving with 32 distinct targets
// queued takes the first slot.
//
// Thread rules: enqueue and forget are called from the user-interface thread; everything else
// runs on the painter thread.
class PainterThread {
  public:
    PainterThread();
    ~PainterThread();
    PainterThread(const PainterThread&) = delete;
    PainterThread& operator=(const PainterThread&) = delete;

    void enqueue(PaintTarget* target);
    // Marks the target blocked, takes it out of the queue and returns once no paint of it is
    // in progress. Call before destroying the target.
    void forget(PaintTarget* target);

    // Batches painted so far (for tests and measurements).
    int batches() const { return m_batches.load(); }

  private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::array<PaintTarget*, kPaintQueueSize> m_queue{};
    int m_count = 0;
    bool m_stop = false;
    std::atomic<int> m_batches{0};
    std::thread m_thread;
};

} // namespace tonvela
