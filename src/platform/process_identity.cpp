#include "platform/process_identity.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <signal.h>
#include <unistd.h>

namespace tonvela {
namespace {

std::string firstLineOf(const std::string& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// What /proc/<pid>/stat says of a process: its state letter (field 3) and its start time in
// clock ticks since boot (field 22). State 0 when the process is not there.
struct ProcStat {
    char state = 0;
    unsigned long long startTicks = 0;
};

ProcStat procStatOf(long pid)
{
    const std::string stat = firstLineOf("/proc/" + std::to_string(pid) + "/stat");
    // The command name in parentheses may hold blanks; the fields after it are plain.
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return {};
    ProcStat out;
    const char* p = stat.c_str() + close + 1;
    while (*p == ' ')
        ++p;
    out.state = *p;
    // After ")" come field 3 (the state) onwards; the start time is the 20th of them.
    for (int field = 3; field < 22 && *p; ++field) {
        while (*p == ' ')
            ++p;
        while (*p && *p != ' ')
            ++p;
    }
    out.startTicks = std::strtoull(p, nullptr, 10);
    return out;
}

std::string currentBootId()
{
    return firstLineOf("/proc/sys/kernel/random/boot_id");
}

} // namespace

ProcessIdentity currentProcess()
{
    // Read once; a child made by fork reads its own.
    static thread_local ProcessIdentity self;
    const long pid = static_cast<long>(::getpid());
    if (self.pid != pid)
        self = processIdentity(pid);
    return self;
}

ProcessIdentity processIdentity(long pid)
{
    return {pid, procStatOf(pid).startTicks, currentBootId()};
}

bool processRunning(const ProcessIdentity& owner)
{
    if (owner.pid <= 0)
        return false;
    const std::string boot = currentBootId();
    if (!owner.bootId.empty() && !boot.empty() && owner.bootId != boot)
        return false;
    if (::kill(static_cast<pid_t>(owner.pid), 0) != 0 && errno != EPERM)
        return false;
    const ProcStat now = procStatOf(owner.pid);
    // A killed process that its parent has not reaped yet (a zombie, or one being reaped) is
    // gone, though its id and start time are still there.
    if (now.state == 'Z' || now.state == 'X')
        return false;
    return owner.startTicks == 0 || now.startTicks == 0 || now.startTicks == owner.startTicks;
}

} // namespace tonvela
