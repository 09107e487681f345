#include "ended_process.h"
#include "platform/process_identity.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tonvela;
using tonvela::test::endedProcess;

namespace {

TEST(ProcessIdentityTest, TellsARunningProcessFromAnEndedOrReusedOne)
{
    const ProcessIdentity self = currentProcess();
    EXPECT_EQ(self.pid, static_cast<long>(::getpid()));
    EXPECT_GT(self.startTicks, 0u);
    EXPECT_TRUE(processRunning(self));
    EXPECT_FALSE(processRunning(endedProcess()));
    // The same id, started at another moment: a reused id, not the writer.
    ProcessIdentity reused = self;
    reused.startTicks += 1;
    EXPECT_FALSE(processRunning(reused));
    // The writer ran in an earlier boot.
    ProcessIdentity earlierBoot = self;
    earlierBoot.bootId = "another-boot";
    EXPECT_FALSE(processRunning(earlierBoot));
    EXPECT_FALSE(processRunning(ProcessIdentity{}));
}

} // namespace
