#include "platform/sheet_lock.h"

namespace tonvela {

std::recursive_mutex& sheetLock()
{
    static std::recursive_mutex lock;
    return lock;
}

} // namespace tonvela
