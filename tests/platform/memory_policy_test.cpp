#include "platform/memory_policy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/resource.h>
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

#if defined(__linux__)
long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// A large fresh block asked for at once: writing it all through afterwards takes (nearly) no
// page fault, where without the call every one of its 1024 pages faults; what a block holds
// stays as it was.
TEST(MemoryPolicyTest, PrefaultedBlocksAreWrittenWithoutFaultsAndKeepTheirContents)
{
    constexpr std::size_t kBlock = 4u * 1024u * 1024u;
    constexpr std::size_t kPages = kBlock / 4096;
    auto fresh = std::unique_ptr<char[]>(new char[kBlock]); // left uninitialised: no page touched
    if (!prefaultForWriting(fresh.get(), kBlock))
        GTEST_SKIP() << "this system does not prefault pages";
    const long before = minorFaults();
    std::memset(fresh.get(), 7, kBlock);
    // Under AddressSanitizer the writes also fault in the block's shadow, one page per eight
    // (128 here); a block that was not prefaulted takes all 1024 of its own on top.
    EXPECT_LT(minorFaults() - before, static_cast<long>(kPages / 4));

    std::memset(fresh.get() + 100, 3, 5000);
    EXPECT_TRUE(prefaultForWriting(fresh.get() + 1, kBlock - 1));
    EXPECT_EQ(fresh[99], 7);
    EXPECT_EQ(fresh[100], 3);
    EXPECT_EQ(fresh[5099], 3);
    EXPECT_EQ(fresh[kBlock - 1], 7);
    // Too small a block is left alone.
    EXPECT_FALSE(prefaultForWriting(fresh.get(), 1000));
    EXPECT_FALSE(prefaultForWriting(nullptr, kBlock));
}
#endif

} // namespace
} // namespace tonvela
