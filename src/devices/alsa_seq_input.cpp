#include "devices/alsa_seq_input.h"

#include "devices/alsa_seq_ports.h"

#include "platform/clock.h"
#include "platform/midi_output.h"

#include <alsa/asoundlib.h>

#include <poll.h>
#include <unistd.h>

#include <vector>

namespace tonvela {
namespace {

constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
// How long the reader waits on the sequencer before it looks whether it must stop.
constexpr int kPollMs = 100;

// The channel message an event carries, packed; 0 for events that carry none.
uint32_t messageOf(const snd_seq_event_t& ev)
{
    const auto& n = ev.data.note;
    const auto& c = ev.data.control;
    switch (ev.type) {
    case SND_SEQ_EVENT_NOTEON:
        return packShortMessage(0x90 | (n.channel & 0x0F), n.note, n.velocity);
    case SND_SEQ_EVENT_NOTEOFF:
        return packShortMessage(0x80 | (n.channel & 0x0F), n.note, n.velocity);
    case SND_SEQ_EVENT_KEYPRESS:
        return packShortMessage(0xA0 | (n.channel & 0x0F), n.note, n.velocity);
    case SND_SEQ_EVENT_CONTROLLER:
        return packShortMessage(0xB0 | (c.channel & 0x0F), static_cast<int>(c.param), c.value);
    case SND_SEQ_EVENT_PGMCHANGE:
        return packShortMessage(0xC0 | (c.channel & 0x0F), c.value);
    default:
        return 0;
    }
}

} // namespace

AlsaSeqInput::AlsaSeqInput(const Clock& clock) : m_clock(clock)
{
    refresh();
}

AlsaSeqInput::~AlsaSeqInput()
{
    close();
}

void AlsaSeqInput::refresh()
{
    m_ports.clear();
    for (const SequencerPort& p : listSequencerPorts(kReadable, SND_SEQ_OPEN_INPUT)) {
        std::string shown = p.clientName;
        if (!p.name.empty() && shown != p.name)
            shown += shown.empty() ? p.name : ": " + p.name;
        m_ports.push_back({p.client, p.port, shown});
    }
}

std::string AlsaSeqInput::portName(int port) const
{
    if (port < 0 || port >= portCount())
        return {};
    return m_ports[static_cast<std::size_t>(port)].name;
}

bool AlsaSeqInput::open(int port, Receiver receiver)
{
    close();
    if (port < 0 || port >= portCount() || !receiver || !sequencerPresent())
        return false;
    const Port& source = m_ports[static_cast<std::size_t>(port)];
    if (snd_seq_open(&m_seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0 || !m_seq) {
        m_seq = nullptr;
        return false;
    }
    snd_seq_set_client_name(m_seq, "Tonvela");
    const int own = snd_seq_create_simple_port(
        m_seq, "Tonvela MIDI Input", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (own < 0 || snd_seq_connect_from(m_seq, own, source.client, source.port) < 0) {
        snd_seq_close(m_seq);
        m_seq = nullptr;
        return false;
    }
    m_receiver = std::move(receiver);
    m_stop.store(false);
    m_reader = std::thread([this] { readLoop(); });
    return true;
}

void AlsaSeqInput::close()
{
    if (!m_seq)
        return;
    m_stop.store(true);
    if (m_reader.joinable())
        m_reader.join();
    snd_seq_close(m_seq);
    m_seq = nullptr;
    m_receiver = nullptr;
}

void AlsaSeqInput::readLoop()
{
    const int count = snd_seq_poll_descriptors_count(m_seq, POLLIN);
    std::vector<pollfd> fds(static_cast<std::size_t>(count > 0 ? count : 0));
    if (count > 0)
        snd_seq_poll_descriptors(m_seq, fds.data(), static_cast<unsigned>(count), POLLIN);
    while (!m_stop.load()) {
        if (!fds.empty() && ::poll(fds.data(), fds.size(), kPollMs) <= 0)
            continue;
        if (fds.empty())
            ::usleep(kPollMs * 1000);
        snd_seq_event_t* ev = nullptr;
        // Every event waiting now; -EAGAIN once they are all read.
        while (!m_stop.load() && snd_seq_event_input(m_seq, &ev) >= 0 && ev) {
            if (const uint32_t message = messageOf(*ev))
                m_receiver(MidiInputEvent{message, m_clock.nowUs()});
        }
    }
}

} // namespace tonvela
