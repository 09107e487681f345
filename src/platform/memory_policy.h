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

} // namespace tonvela
