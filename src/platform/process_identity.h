#pragma once

#include <string>

namespace tonvela {

// Which process wrote a file: its id, when it started (a reused id starts later) and the boot
// it ran in (ids and start times begin again at every boot). Recovery files and the temporary
// files of atomic writes carry it, so a later start tells the files of a running instance,
// which it never touches, from those of one that is gone.
struct ProcessIdentity {
    long pid = 0;
    unsigned long long startTicks = 0;
    std::string bootId;
    bool operator==(const ProcessIdentity&) const = default;
};

// This process.
ProcessIdentity currentProcess();
// The process with id `pid` as it is now (start time 0 when it cannot be read).
ProcessIdentity processIdentity(long pid);
// True while the process that `owner` names is running: same boot, the id in use, and (when
// the start time is known) started at the same moment.
bool processRunning(const ProcessIdentity& owner);

} // namespace tonvela
