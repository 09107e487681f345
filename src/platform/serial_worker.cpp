#include "platform/serial_worker.h"

namespace tonvela {

SerialWorker::SerialWorker() : m_thread([this] { run(); }) {}

SerialWorker::~SerialWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_guard);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void SerialWorker::post(std::function<void()> job)
{
    {
        std::lock_guard<std::mutex> lock(m_guard);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void SerialWorker::flush()
{
    std::unique_lock<std::mutex> lock(m_guard);
    m_idle.wait(lock, [this] { return m_jobs.empty() && m_running == 0; });
}

int SerialWorker::pending() const
{
    std::lock_guard<std::mutex> lock(m_guard);
    return static_cast<int>(m_jobs.size()) + m_running;
}

void SerialWorker::run()
{
    std::unique_lock<std::mutex> lock(m_guard);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_jobs.empty())
            return; // stopping, and nothing left to do
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        ++m_running;
        lock.unlock();
        job();
        job = nullptr; // what the job holds goes on this thread, outside the lock
        lock.lock();
        --m_running;
        if (m_jobs.empty())
            m_idle.notify_all();
    }
}

} // namespace tonvela
