#pragma once

#include "platform/process_identity.h"

#include <sys/wait.h>
#include <unistd.h>

namespace tonvela::test {

// The identity of a process that has ended: a child of this one that exited and was reaped,
// with this process's boot and start time (as a writer of an earlier start would leave them).
inline ProcessIdentity endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    ProcessIdentity gone = currentProcess();
    gone.pid = child;
    return gone;
}

} // namespace tonvela::test
