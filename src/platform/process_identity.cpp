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

// The start time of a process in clock ticks since boot (field 22 of /proc/<pid>/stat), or 0
// when it cannot be read.
unsigned long long startTicksOf(long pid)
{
    const std::string stat = firstLineOf("/proc/" + std::to_string(pid) + "/stat");
    // The command name in parentheses may hold blanks; the fields after it are plain.
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    const char* p = stat.c_str() + close + 1;
    // After ")" come field 3 (the state) onwards; the start time is the 20th of them.
    for (int field = 3; field < 22 && *p; ++field) {
        while (*p == ' ')
            ++p;
        while (*p && *p != ' ')
            ++p;
    }
    return std::strtoull(p, nullptr, 10);
}

std::string currentBootId()
{
    return firstLineOf("/proc/sys/kernel/random/boot_id");
}

} // namespace

ProcessIdentity currentProcess()
{
    static const ProcessIdentity self{static_cast<long>(::getpid()), startTicksOf(::getpid()),
                                      currentBootId()};
    return self;
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
    const unsigned long long started = startTicksOf(owner.pid);
    return owner.startTicks == 0 || started == 0 || started == owner.startTicks;
}

} // namespace tonvela
