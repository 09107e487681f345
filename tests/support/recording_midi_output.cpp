#include "support/recording_midi_output.h"

#include "platform/clock.h"

namespace tonvela {

RecordingMidiOutput::RecordingMidiOutput(const Clock& clock, std::vector<std::string> devices)
    : m_clock(clock), m_devices(std::move(devices))
{
}

int RecordingMidiOutput::deviceCount() const
{
    return static_cast<int>(m_devices.size());
}

std::string RecordingMidiOutput::deviceName(int device) const
{
    if (device < 0 || device >= deviceCount())
        return {};
    return m_devices[static_cast<std::size_t>(device)];
}

bool RecordingMidiOutput::open(int device)
{
    close();
    if (failOpen || device < 0 || device >= deviceCount())
        return false;
    m_openDevice = device;
    ++opens;
    return true;
}

void RecordingMidiOutput::close()
{
    if (m_openDevice >= 0)
        ++closes;
    m_openDevice = -1;
}

void RecordingMidiOutput::sendShortMessage(uint32_t message)
{
    if (m_openDevice < 0) {
        ++droppedWhileClosed;
        return;
    }
    messages.push_back({m_clock.nowUs(), -1, message, m_openDevice});
}

void RecordingMidiOutput::sendShortMessageAt(uint32_t message, int64_t clockUs)
{
    if (m_openDevice < 0) {
        ++droppedWhileClosed;
        return;
    }
    messages.push_back({m_clock.nowUs(), clockUs, message, m_openDevice});
}

void RecordingMidiOutput::setVolume(uint32_t leftRight)
{
    if (m_openDevice >= 0)
        volumes.push_back(leftRight);
}

} // namespace tonvela
