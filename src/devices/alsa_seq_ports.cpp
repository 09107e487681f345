#include "devices/alsa_seq_ports.h"

#include <alsa/asoundlib.h>

#include <unistd.h>

namespace tonvela {

bool sequencerPresent()
{
    return ::access("/dev/snd/seq", R_OK | W_OK) == 0;
}

std::vector<SequencerPort> listSequencerPorts(unsigned capabilities, int openMode)
{
    std::vector<SequencerPort> ports;
    if (!sequencerPresent())
        return ports;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", openMode, 0) < 0 || !seq)
        return ports;
    const int self = snd_seq_client_id(seq);
    snd_seq_client_info_t* cinfo = nullptr;
    snd_seq_port_info_t* pinfo = nullptr;
    snd_seq_client_info_malloc(&cinfo);
    snd_seq_port_info_malloc(&pinfo);
    if (cinfo && pinfo) {
        snd_seq_client_info_set_client(cinfo, -1);
        while (snd_seq_query_next_client(seq, cinfo) >= 0) {
            const int client = snd_seq_client_info_get_client(cinfo);
            // The system client announces ports and timers, no music; our own ports are ours.
            if (client == SND_SEQ_CLIENT_SYSTEM || client == self)
                continue;
            const char* clientName = snd_seq_client_info_get_name(cinfo);
            snd_seq_port_info_set_client(pinfo, client);
            snd_seq_port_info_set_port(pinfo, -1);
            while (snd_seq_query_next_port(seq, pinfo) >= 0) {
                const unsigned caps = snd_seq_port_info_get_capability(pinfo);
                if ((caps & capabilities) != capabilities || (caps & SND_SEQ_PORT_CAP_NO_EXPORT))
                    continue;
                const char* name = snd_seq_port_info_get_name(pinfo);
                ports.push_back({client, snd_seq_port_info_get_port(pinfo), clientName ? clientName : "",
                                 name ? name : ""});
            }
        }
    }
    if (pinfo)
        snd_seq_port_info_free(pinfo);
    if (cinfo)
        snd_seq_client_info_free(cinfo);
    snd_seq_close(seq);
    return ports;
}

} // namespace tonvela
