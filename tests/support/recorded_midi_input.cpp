#include "support/recorded_midi_input.h"

#include "platform/midi_output.h"

#include <thread>

namespace tonvela {

RecordedMidiInput::RecordedMidiInput(std::vector<std::string> ports) : m_ports(std::move(ports)) {}

std::string RecordedMidiInput::portName(int port) const
{
    if (port < 0 || port >= portCount())
        return {};
    return m_ports[static_cast<std::size_t>(port)];
}

bool RecordedMidiInput::open(int port, Receiver receiver)
{
    close();
    if (failOpen || port < 0 || port >= portCount() || !receiver)
        return false;
    openPort = port;
    opened.push_back(port);
    m_receiver = std::move(receiver);
    return true;
}

void RecordedMidiInput::close()
{
    if (openPort < 0)
        return;
    openPort = -1;
    m_receiver = nullptr;
    ++closes;
}

void RecordedMidiInput::play(const std::vector<MidiInputEvent>& events)
{
    for (const MidiInputEvent& e : events)
        if (m_receiver)
            m_receiver(e);
}

void RecordedMidiInput::replay(const std::vector<MidiInputEvent>& events)
{
    std::thread reader([this, &events] { play(events); });
    reader.join();
}

MidiInputEvent noteOnAt(int key, int64_t timeUs, int velocity)
{
    return {packShortMessage(0x90, key, velocity), timeUs};
}

MidiInputEvent noteOffAt(int key, int64_t timeUs)
{
    return {packShortMessage(0x80, key, 0), timeUs};
}

} // namespace tonvela
