#include "audio/mp3_decoder.h"

#include <id3tag.h>
#include <mad.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace tonvela::audio {

long FdMp3Input::read(unsigned char* to, std::size_t length)
{
    for (;;) {
        const ssize_t n = ::read(m_fd, to, length);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno != EINTR)
            return -1;
    }
}

long MemoryMp3Input::read(unsigned char* to, std::size_t length)
{
    const std::size_t n = std::min(length, m_size - m_pos);
    if (n)
        std::memcpy(to, m_data + m_pos, n);
    m_pos += n;
    return static_cast<long>(n);
}

namespace {

struct DecoderState {
    Mp3Input* input = nullptr;
    const std::function<Mp3Flow(const Mp3Frame&)>* output = nullptr;
    // The 40000 bytes of input plus room for the guard, so the guard never writes past it.
    std::vector<unsigned char> buffer = std::vector<unsigned char>(kMp3InputBufferBytes + MAD_BUFFER_GUARD);
    bool endOfFile = false;
    mad_timer_t elapsed = mad_timer_zero;
    Mp3Stats stats;
};

mad_flow onInput(void* data, mad_stream* stream)
{
    auto* st = static_cast<DecoderState*>(data);
    if (st->endOfFile)
        return MAD_FLOW_STOP;
    std::size_t keep = 0;
    if (stream->next_frame) {
        keep = static_cast<std::size_t>(stream->bufend - stream->next_frame);
        // A buffer that is all unconsumed can make no progress: drop it rather than loop.
        if (keep >= kMp3InputBufferBytes)
            keep = 0;
        std::memmove(st->buffer.data(), stream->next_frame, keep);
    }
    const long n = st->input->read(st->buffer.data() + keep, kMp3InputBufferBytes - keep);
    if (n < 0)
        return MAD_FLOW_BREAK;
    std::size_t length = keep + static_cast<std::size_t>(n);
    if (n == 0) {
        st->endOfFile = true;
        std::memset(st->buffer.data() + length, 0, MAD_BUFFER_GUARD);
        length += MAD_BUFFER_GUARD;
    }
    mad_stream_buffer(stream, st->buffer.data(), length);
    return MAD_FLOW_CONTINUE;
}

mad_flow onHeader(void* data, const mad_header* header)
{
    auto* st = static_cast<DecoderState*>(data);
    ++st->stats.frames;
    mad_timer_add(&st->elapsed, header->duration);
    return MAD_FLOW_CONTINUE;
}

mad_flow onOutput(void* data, const mad_header* header, mad_pcm* pcm)
{
    auto* st = static_cast<DecoderState*>(data);
    Mp3Frame frame;
    frame.channels = header->mode == MAD_MODE_SINGLE_CHANNEL || header->mode == MAD_MODE_DUAL_CHANNEL ? 1 : 2;
    frame.channels = std::min<int>(frame.channels, pcm->channels);
    frame.sampleRate = static_cast<int>(pcm->samplerate);
    frame.frames = pcm->length;
    frame.samples[0] = pcm->samples[0];
    frame.samples[1] = frame.channels > 1 ? pcm->samples[1] : pcm->samples[0];
    ++st->stats.outputFrames;
    return (*st->output)(frame) == Mp3Flow::Stop ? MAD_FLOW_BREAK : MAD_FLOW_CONTINUE;
}

mad_flow onError(void* data, mad_stream* stream, mad_frame*)
{
    auto* st = static_cast<DecoderState*>(data);
    if (stream->error == MAD_ERROR_LOSTSYNC && stream->this_frame && stream->bufend > stream->this_frame) {
        const long tagSize =
            id3_tag_query(stream->this_frame, static_cast<id3_length_t>(stream->bufend - stream->this_frame));
        if (tagSize > 0) {
            mad_stream_skip(stream, static_cast<unsigned long>(tagSize));
            st->stats.id3Skipped += tagSize;
        }
        return MAD_FLOW_CONTINUE;
    }
    if (stream->error == MAD_ERROR_BADCRC)
        return MAD_FLOW_IGNORE;
    return MAD_FLOW_CONTINUE;
}

} // namespace

Mp3Stats decodeMp3(Mp3Input& input, const std::function<Mp3Flow(const Mp3Frame&)>& output)
{
    DecoderState st;
    st.input = &input;
    st.output = &output;
    mad_decoder decoder;
    mad_decoder_init(&decoder, &st, onInput, onHeader, nullptr, onOutput, onError, nullptr);
    mad_decoder_run(&decoder, MAD_DECODER_MODE_SYNC);
    mad_decoder_finish(&decoder);
    st.stats.elapsedMs = mad_timer_count(st.elapsed, MAD_UNITS_MILLISECONDS);
    return st.stats;
}

} // namespace tonvela::audio
