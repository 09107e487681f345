#include "platform/sheet_lock.h"

namespace tonvela {

void SheetMutex::lock()
{
    const std::thread::id me = std::this_thread::get_id();
    std::unique_lock<std::mutex> guard(m_guard);
    if (m_depth > 0 && m_owner == me) {
        ++m_depth;
        return;
    }
    const uint64_t ticket = m_nextTicket++;
    m_turn.wait(guard, [&] { return m_serving == ticket; });
    m_owner = me;
    m_depth = 1;
}

bool SheetMutex::try_lock()
{
    const std::thread::id me = std::this_thread::get_id();
    std::lock_guard<std::mutex> guard(m_guard);
    if (m_depth > 0 && m_owner == me) {
        ++m_depth;
        return true;
    }
    // Free only when nobody holds it and nobody is queued for it.
    if (m_nextTicket != m_serving)
        return false;
    ++m_nextTicket;
    m_owner = me;
    m_depth = 1;
    return true;
}

void SheetMutex::unlock()
{
    std::lock_guard<std::mutex> guard(m_guard);
    if (--m_depth > 0)
        return;
    m_owner = std::thread::id();
    ++m_serving;
    m_turn.notify_all();
}

SheetMutex& sheetLock()
{
    static SheetMutex lock;
    return lock;
}

} // namespace tonvela
