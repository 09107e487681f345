#include "devices/alsa_seq_output.h"

#include "devices/alsa_seq_ports.h"

#include "platform/clock.h"

#include <alsa/asoundlib.h>

#include <unistd.h>

namespace tonvela {
namespace {

constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

} // namespace

AlsaSeqOutput::AlsaSeqOutput(const Clock* clock) : m_clock(clock)
{
    for (const SequencerPort& p : listSequencerPorts(kWritable, SND_SEQ_OPEN_OUTPUT))
        m_ports.push_back({p.client, p.port, p.name});
}

AlsaSeqOutput::~AlsaSeqOutput()
{
    close();
}

std::string AlsaSeqOutput::deviceName(int device) const
{
    if (device < 0 || device >= deviceCount())
        return {};
    return m_ports[static_cast<std::size_t>(device)].name;
}

bool AlsaSeqOutput::open(int device)
{
    close();
    if (device < 0 || device >= deviceCount() || !sequencerPresent())
        return false;
    const Port& target = m_ports[static_cast<std::size_t>(device)];
    if (snd_seq_open(&m_seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0 || !m_seq) {
        m_seq = nullptr;
        return false;
    }
    snd_seq_set_client_name(m_seq, "Tonvela");
    m_ownPort = snd_seq_create_simple_port(m_seq, "Tonvela Output",
                                           SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                           SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (m_ownPort < 0 || snd_seq_connect_to(m_seq, m_ownPort, target.client, target.port) < 0) {
        close();
        return false;
    }
    m_queue = snd_seq_alloc_named_queue(m_seq, "Tonvela playback");
    if (m_queue >= 0) {
        snd_seq_start_queue(m_seq, m_queue, nullptr);
        snd_seq_drain_output(m_seq);
    }
    m_originUs = m_clock ? m_clock->nowUs() : 0;
    return true;
}

void AlsaSeqOutput::close()
{
    if (!m_seq)
        return;
    if (m_queue >= 0) {
        snd_seq_stop_queue(m_seq, m_queue, nullptr);
        snd_seq_drain_output(m_seq);
        snd_seq_free_queue(m_seq, m_queue);
    }
    snd_seq_close(m_seq);
    m_seq = nullptr;
    m_ownPort = -1;
    m_queue = -1;
}

void AlsaSeqOutput::send(uint32_t message, int64_t queueUs)
{
    if (!m_seq)
        return;
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, m_ownPort);
    snd_seq_ev_set_subs(&ev);
    const int status = statusOf(message);
    const int chan = status & 0x0F;
    const int d1 = data1Of(message) & 0x7F;
    const int d2 = data2Of(message) & 0x7F;
    switch (status & 0xF0) {
    case 0x80:
        snd_seq_ev_set_noteoff(&ev, chan, d1, d2);
        break;
    case 0x90:
        snd_seq_ev_set_noteon(&ev, chan, d1, d2);
        break;
    case 0xA0:
        snd_seq_ev_set_keypress(&ev, chan, d1, d2);
        break;
    case 0xB0:
        snd_seq_ev_set_controller(&ev, chan, d1, d2);
        break;
    case 0xC0:
        snd_seq_ev_set_pgmchange(&ev, chan, d1);
        break;
    case 0xD0:
        snd_seq_ev_set_chanpress(&ev, chan, d1);
        break;
    case 0xE0:
        snd_seq_ev_set_pitchbend(&ev, chan, (d1 | (d2 << 7)) - 8192);
        break;
    default:
        return;
    }
    if (queueUs >= 0 && m_queue >= 0) {
        snd_seq_real_time_t t;
        t.tv_sec = static_cast<unsigned>(queueUs / 1000000);
        t.tv_nsec = static_cast<unsigned>((queueUs % 1000000) * 1000);
        snd_seq_ev_schedule_real(&ev, m_queue, 0, &t);
        snd_seq_event_output(m_seq, &ev);
        snd_seq_drain_output(m_seq);
    } else {
        snd_seq_ev_set_direct(&ev);
        snd_seq_event_output_direct(m_seq, &ev);
    }
}

void AlsaSeqOutput::sendShortMessage(uint32_t message)
{
    send(message, -1);
}

void AlsaSeqOutput::sendShortMessageAt(uint32_t message, int64_t clockUs)
{
    if (!m_clock) {
        send(message, -1);
        return;
    }
    // A time already past goes out at once.
    const int64_t rel = clockUs - m_originUs;
    send(message, rel > 0 ? rel : -1);
}

} // namespace tonvela
