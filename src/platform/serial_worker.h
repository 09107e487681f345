#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tonvela {

// One thread that runs jobs one after another, in the order they were posted: work that must
// not take the user-interface thread's time and must stay in order (a write of a file and its
// later removal).
//
// Thread rules: post and flush from any thread but the worker's own; the destructor runs every
// job still queued, then joins.
class SerialWorker {
  public:
    SerialWorker();
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void post(std::function<void()> job);
    // Waits until every job posted so far has run.
    void flush();
    // Jobs posted and not yet finished.
    int pending() const;

  private:
    void run();

    mutable std::mutex m_guard;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_jobs;
    int m_running = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace tonvela
