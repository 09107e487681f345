#pragma once

#include "platform/process_identity.h"

#include <chrono>
#include <fstream>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
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

// The state letter of a process (field 3 of /proc/<pid>/stat), or 0.
inline char processState(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const auto close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() ? 0 : line[close + 2];
}

// A child of this process killed with SIGKILL and not yet reaped: a zombie, whose id and start
// time still match those it had while it ran. Reaped when the object goes.
class ZombieProcess {
  public:
    ZombieProcess()
    {
        m_pid = ::fork();
        if (m_pid == 0) {
            ::pause();
            ::_exit(0);
        }
        identity = processIdentity(m_pid);
        ::kill(m_pid, SIGKILL);
        for (int i = 0; i < 500 && processState(m_pid) != 'Z'; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~ZombieProcess() { reap(); }
    ZombieProcess(const ZombieProcess&) = delete;
    ZombieProcess& operator=(const ZombieProcess&) = delete;

    bool isZombie() const { return m_pid > 0 && processState(m_pid) == 'Z'; }
    void reap()
    {
        if (m_pid > 0) {
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_pid = 0;
        }
    }

    ProcessIdentity identity; // as it was while the child ran

  private:
    pid_t m_pid = 0;
};

} // namespace tonvela::test
