#include "devices/composite_midi_output.h"

namespace tonvela {

CompositeMidiOutput::CompositeMidiOutput(std::vector<std::unique_ptr<MidiOutput>> backends)
    : m_backends(std::move(backends))
{
    for (auto& b : m_backends) {
        if (!b)
            continue;
        const int n = b->deviceCount();
        for (int i = 0; i < n; ++i)
            m_devices.push_back({b.get(), i});
    }
}

int CompositeMidiOutput::deviceCount() const
{
    return static_cast<int>(m_devices.size());
}

std::string CompositeMidiOutput::deviceName(int device) const
{
    if (device < 0 || device >= deviceCount())
        return {};
    const Entry& e = m_devices[static_cast<std::size_t>(device)];
    return e.backend->deviceName(e.localDevice);
}

bool CompositeMidiOutput::open(int device)
{
    close();
    if (device < 0 || device >= deviceCount())
        return false;
    const Entry& e = m_devices[static_cast<std::size_t>(device)];
    if (!e.backend->open(e.localDevice))
        return false;
    m_open = e.backend;
    return true;
}

bool CompositeMidiOutput::isOpen() const
{
    return m_open != nullptr && m_open->isOpen();
}

void CompositeMidiOutput::close()
{
    if (m_open)
        m_open->close();
    m_open = nullptr;
}

void CompositeMidiOutput::sendShortMessage(uint32_t message)
{
    if (m_open)
        m_open->sendShortMessage(message);
}

void CompositeMidiOutput::sendShortMessageAt(uint32_t message, int64_t clockUs)
{
    if (m_open)
        m_open->sendShortMessageAt(message, clockUs);
}

void CompositeMidiOutput::setVolume(uint32_t leftRight)
{
    if (m_open)
        m_open->setVolume(leftRight);
}

MidiOutput* CompositeMidiOutput::backend(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_backends.size()))
        return nullptr;
    return m_backends[static_cast<std::size_t>(index)].get();
}

} // namespace tonvela
