#include "shell/documents/painter_thread.h"

#include "platform/sheet_lock.h"

#include <algorithm>

namespace tonvela {

PainterThread::PainterThread() : m_thread([this] { run(); }) {}

PainterThread::~PainterThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void PainterThread::enqueue(PaintTarget* target)
{
    {
        std::lock_guard lock(m_mutex);
        if (std::find(m_queue.begin(), m_queue.begin() + m_count, target) != m_queue.begin() + m_count)
            return;
        if (m_count >= kPaintQueueSize) {
            // Full with 32 distinct windows: the request takes the first slot and the other
            // queued windows keep theirs.
            m_queue[0] = target;
        } else {
            m_queue[static_cast<std::size_t>(m_count++)] = target;
        }
    }
    m_wake.notify_one();
}

void PainterThread::forget(PaintTarget* target)
{
    target->paintBlocked.store(true);
    {
        std::lock_guard lock(m_mutex);
        auto end = std::remove(m_queue.begin(), m_queue.begin() + m_count, target);
        m_count = static_cast<int>(end - m_queue.begin());
    }
    // The painter thread holds the sheet lock for a whole batch, so once we hold it no paint
    // of this target is running, and the blocked mark keeps later batches away from it.
    SheetLockGuard lock(sheetLock());
}

void PainterThread::run()
{
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || m_count > 0; });
            if (m_stop)
                return;
        }
        // The user-interface thread may hold the sheet lock while it queues a paint, so the
        // queue lock is never held while waiting for the sheet lock.
        SheetLockGuard sheet(sheetLock());
        std::array<PaintTarget*, kPaintQueueSize> batch{};
        int count = 0;
        {
            // Taken under the sheet lock, so forget() (which takes the sheet lock after
            // leaving the queue) never sees a target taken but not yet painted.
            std::lock_guard lock(m_mutex);
            count = m_count;
            std::copy(m_queue.begin(), m_queue.begin() + count, batch.begin());
            m_count = 0;
        }
        for (int i = 0; i < count; ++i) {
            PaintTarget* target = batch[static_cast<std::size_t>(i)];
            target->painting.store(true);
            if (!target->paintBlocked.load())
                target->paintOffscreen();
            target->painting.store(false);
        }
        if (count > 0)
            m_batches.fetch_add(1);
    }
}

} // namespace tonvela
