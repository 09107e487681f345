#include "platform/memory_policy.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstdint>

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

bool prefaultForWriting([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    if (!data || bytes < 64 * 1024)
        return false;
    static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    if (page == 0 || (page & (page - 1)) != 0)
        return false;
    // Only the whole pages inside the block: the pages at its edges may hold other blocks.
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
    // A hint: where the call fails the pages fault as usual.
    return end > begin && madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE) == 0;
#else
    return false;
#endif
}

} // namespace tonvela
