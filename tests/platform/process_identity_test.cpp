#include "ended_process.h"
#include "platform/process_identity.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
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

TEST(ProcessIdentityTest, AKilledProcessThatIsStillAZombieCountsAsGone)
{
    // GIVEN a child killed with SIGKILL and not yet reaped: its id and start time still match.
    test::ZombieProcess zombie;
    ASSERT_TRUE(zombie.isZombie());
    EXPECT_GT(zombie.identity.startTicks, 0u);
    EXPECT_EQ(processIdentity(zombie.identity.pid), zombie.identity)
        << "the zombie keeps its id and start time";
    // THEN it counts as gone: its files may be recovered and its temporary files removed.
    EXPECT_FALSE(processRunning(zombie.identity));
    zombie.reap();
    EXPECT_FALSE(processRunning(zombie.identity));
}

TEST(ProcessIdentityTest, ALiveChildRuns)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::pause();
        ::_exit(0);
    }
    ASSERT_GT(child, 0);
    EXPECT_TRUE(processRunning(processIdentity(child)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_FALSE(processRunning(processIdentity(child)));
}

} // namespace
