#include "platform/midi_output.h"

namespace tonvela {

std::vector<std::string> deviceNames(const MidiOutput& output)
{
    std::vector<std::string> names;
    const int n = output.deviceCount();
    for (int i = 0; i < n; ++i)
        names.push_back(output.deviceName(i));
    return names;
}

} // namespace tonvela
