#pragma once

#include <mutex>

namespace tonvela {

// The process-wide sheet lock. It guards every sheet's note arrays against the painter thread,
// which paints under it. Re-entrant: a load relayouts while it already holds the lock.
// Never hold it while waiting for user input; the audio thread never takes it.
std::recursive_mutex& sheetLock();

using SheetLockGuard = std::lock_guard<std::recursive_mutex>;

} // namespace tonvela
