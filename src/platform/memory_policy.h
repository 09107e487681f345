#pragma once

// How the process's allocator treats memory it gets back.
//
// A view lays a large sheet out again in whole megabytes at a time (a window resize, a zoom, a
// print job): every note's place, the measures, the rows. glibc hands blocks of that size to the
// kernel as soon as they are freed and takes them back page by page, one page fault each, at the
// next layout; on a virtual machine those faults cost more than the layout itself. The programs
// (desktop, command line, benchmarks) therefore keep freed memory for reuse up to a bound.
//
// Thread rules: call once from main() before any thread starts.

#include <cstddef>

namespace tonvela {

// Freed memory up to this much stays with the process for the next allocation.
inline constexpr std::size_t kKeptFreeMemory = 64u * 1024u * 1024u;

// Blocks below kKeptFreeMemory / 2 come from the heap (not from fresh mappings of their own),
// and free memory at the heap's top is returned to the system only beyond kKeptFreeMemory.
// Returns false when the allocator refused the settings (another C library); nothing else
// changes then.
bool keepFreedMemoryForReuse();

// Asks the system for the pages of a large block about to be written all through (a loader's
// array) at once, in one call, instead of one page fault per page as the writes reach them;
// on a virtual machine each fault costs several microseconds. Blocks under 64 KiB, and systems
// without the call, are left to fault as usual; the contents never change. True when the
// pages were asked for. Any thread.
bool prefaultForWriting(void* data, std::size_t bytes);

} // namespace tonvela
