#include "audio/resampler.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>

namespace tonvela::audio {

// libsamplerate's state under our own name, so the header need not include samplerate.h.
struct Resampler::State {
    SRC_STATE* src;
};

void Resampler::StateDeleter::operator()(State* state) const
{
    if (state)
        src_delete(state->src);
    delete state;
}

Resampler::Resampler(int channels, double fromRate, double toRate)
    : m_channels(channels), m_ratio(fromRate > 0 ? toRate / fromRate : 0.0)
{
    // libsamplerate takes ratios from 1/256 to 256.
    if (channels < 1 || channels > 8 || !std::isfinite(m_ratio) || m_ratio < 1.0 / 256 || m_ratio > 256)
        return;
    int error = 0;
    SRC_STATE* src = src_new(SRC_SINC_MEDIUM_QUALITY, channels, &error);
    if (src)
        m_state.reset(new State{src});
}

Resampler::~Resampler() = default;

void Resampler::run(const float* in, std::size_t frames, bool end, std::vector<float>& out)
{
    if (!m_state)
        return;
    const auto channels = static_cast<std::size_t>(m_channels);
    // libsamplerate counts frames in a long; longer input goes through in pieces.
    constexpr std::size_t kPiece = 1 << 20;
    do {
        const std::size_t piece = std::min(frames, kPiece);
        const bool last = end && piece == frames;
        std::size_t used = 0;
        for (;;) {
            const std::size_t room =
                static_cast<std::size_t>(std::ceil(static_cast<double>(piece - used) * m_ratio)) + 256;
            const std::size_t have = out.size();
            out.resize(have + room * channels);
            SRC_DATA data{};
            // libsamplerate gives nothing for a null input, even at the end: a flush passes an
            // empty block instead.
            static const float kNoInput = 0.0f;
            data.data_in = in ? in + used * channels : &kNoInput;
            data.input_frames = static_cast<long>(piece - used);
            data.data_out = out.data() + have;
            data.output_frames = static_cast<long>(room);
            data.end_of_input = last ? 1 : 0;
            data.src_ratio = m_ratio;
            const int error = src_process(m_state->src, &data);
            out.resize(have + static_cast<std::size_t>(data.output_frames_gen) * channels);
            if (error != 0)
                return;
            used += static_cast<std::size_t>(data.input_frames_used);
            // Done once all input is taken and, at the end, the filter has nothing more to give.
            if (used >= piece && (!last || data.output_frames_gen == 0))
                break;
            if (data.input_frames_used == 0 && data.output_frames_gen == 0 && !last)
                break; // no progress: never spin
        }
        if (in)
            in += piece * channels;
        frames -= piece;
    } while (frames > 0);
    if (end)
        src_reset(m_state->src);
}

void Resampler::process(const float* in, std::size_t frames, std::vector<float>& out)
{
    if (frames > 0)
        run(in, frames, false, out);
}

void Resampler::finish(std::vector<float>& out)
{
    run(nullptr, 0, true, out);
}

std::vector<float> resample(const std::vector<float>& in, int channels, double fromRate, double toRate)
{
    if (channels < 1 || std::abs(fromRate - toRate) < 1e-9)
        return in;
    Resampler r(channels, fromRate, toRate);
    std::vector<float> out;
    out.reserve(static_cast<std::size_t>(static_cast<double>(in.size()) * r.ratio()) + 1024);
    r.process(in.data(), in.size() / static_cast<std::size_t>(channels), out);
    r.finish(out);
    return out;
}

} // namespace tonvela::audio
