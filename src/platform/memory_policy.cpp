#include "platform/memory_policy.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tonvela {

bool keepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    // Setting either value turns off glibc's own moving threshold, so both are set.
    const bool mapped = mallopt(M_MMAP_THRESHOLD, static_cast<int>(kKeptFreeMemory / 2)) == 1;
    const bool trimmed = mallopt(M_TRIM_THRESHOLD, static_cast<int>(kKeptFreeMemory)) == 1;
    return mapped && trimmed;
#else
    return false;
#endif
}

} // namespace tonvela
