#include "platform/memory_policy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tonvela {
namespace {

// Sanitizers bring allocators of their own, which glibc's settings do not reach.
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// A layout-sized block comes from the heap and stays there once freed, so the next layout of
// the same size touches no fresh page (glibc's default maps blocks of this size on their own
// and unmaps them at free).
TEST(MemoryPolicyTest, FreedLayoutSizedBlocksStayWithTheProcess)
{
    ASSERT_TRUE(keepFreedMemoryForReuse());
    constexpr std::size_t kBlock = 8u * 1024u * 1024u;
    const std::size_t mappedBefore = mallinfo2().hblkhd;
    {
        auto block = std::make_unique<char[]>(kBlock);
        std::memset(block.get(), 1, kBlock);
        EXPECT_EQ(mallinfo2().hblkhd, mappedBefore) << "the block got a mapping of its own";
    }
    // Freed, it is kept for reuse instead of going back to the kernel.
    EXPECT_GE(mallinfo2().fordblks, kBlock);
}
#endif

} // namespace
} // namespace tonvela
