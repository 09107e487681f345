#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace tonvela {

// A re-entrant mutex that hands the lock to waiting threads in the order they asked for it.
//
// The sheet lock is taken by the user-interface thread (edits, relayout), the painter thread
// and the playback thread. A thread that relayouts in a loop releases the lock only for a
// moment between passes; with an ordinary mutex it takes the lock straight back and a waiting
// thread can starve for seconds. Here every lock request draws a ticket and tickets are
// served in order, so no waiter waits longer than the holders ahead of it.
//
// Thread rules: any thread; the owning thread may lock again (a load relayouts while it holds
// the lock) and must unlock as often as it locked.
class SheetMutex {
  public:
    void lock();
    bool try_lock();
    void unlock();

  private:
    std::mutex m_guard;
    std::condition_variable m_turn;
    std::thread::id m_owner;
    int m_depth = 0;
    uint64_t m_nextTicket = 0;
    uint64_t m_serving = 0;
};

// The process-wide sheet lock. It guards every sheet's note arrays against the painter and
// playback threads. Never hold it while waiting for user input; the audio thread never takes it.
SheetMutex& sheetLock();

using SheetLockGuard = std::lock_guard<SheetMutex>;

} // namespace tonvela
