#include "audio/wav_file_sink.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace tonvela::audio {
namespace {

void putLe(unsigned char* at, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}

// A 44-byte PCM header for `frames` stereo 16-bit frames; sizes saturate for files past 4 GB.
void header(unsigned char* h, int rate, int64_t frames)
{
    const uint64_t data = static_cast<uint64_t>(frames) * 4;
    const auto data32 = static_cast<uint32_t>(std::min<uint64_t>(data, 0xFFFFFFFFull - 36));
    std::memcpy(h, "RIFF", 4);
    putLe(h + 4, 36 + data32, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    putLe(h + 16, 16, 4);
    putLe(h + 20, 1, 2);
    putLe(h + 22, 2, 2);
    putLe(h + 24, static_cast<uint32_t>(rate), 4);
    putLe(h + 28, static_cast<uint32_t>(rate) * 4, 4);
    putLe(h + 32, 4, 2);
    putLe(h + 34, 16, 2);
    std::memcpy(h + 36, "data", 4);
    putLe(h + 40, data32, 4);
}

} // namespace

bool WavFileSink::open(const Format& wanted)
{
    close();
    m_format = wanted;
    m_format.sampleRate = std::clamp(m_format.sampleRate, 8000, 192000);
    m_format.periodFrames = std::clamp(m_format.periodFrames, 16, 8192);
    m_file = std::fopen(m_path.c_str(), "wb");
    if (!m_file) {
        m_error = "cannot write \"" + m_path + "\": " + std::strerror(errno);
        return false;
    }
    unsigned char h[44];
    header(h, m_format.sampleRate, 0);
    m_failed = std::fwrite(h, 1, sizeof h, m_file) != sizeof h;
    m_frames = 0;
    m_float.assign(static_cast<std::size_t>(m_format.periodFrames) * 2, 0.0f);
    m_bytes.assign(m_float.size() * 2, 0);
    return !m_failed;
}

bool WavFileSink::start(AudioCallback& callback)
{
    if (!m_file) {
        m_error = "the WAV file is not open";
        return false;
    }
    m_callback = &callback;
    return true;
}

bool WavFileSink::pump(int64_t frames)
{
    if (!m_file || !m_callback || m_failed)
        return false;
    while (frames > 0) {
        const int n = static_cast<int>(std::min<int64_t>(frames, m_format.periodFrames));
        m_callback->render(m_float.data(), n);
        for (int i = 0; i < n * 2; ++i) {
            const float s = m_float[static_cast<std::size_t>(i)];
            const float c = std::isfinite(s) ? std::clamp(s, -1.0f, 1.0f) : 0.0f;
            putLe(&m_bytes[static_cast<std::size_t>(i) * 2],
                  static_cast<uint16_t>(static_cast<int16_t>(std::lrint(c * 32767.0f))), 2);
        }
        const std::size_t bytes = static_cast<std::size_t>(n) * 4;
        if (std::fwrite(m_bytes.data(), 1, bytes, m_file) != bytes) {
            m_failed = true;
            m_error = "cannot write \"" + m_path + "\": " + std::strerror(errno);
            return false;
        }
        m_frames += n;
        frames -= n;
    }
    return true;
}

void WavFileSink::close()
{
    m_callback = nullptr;
    if (!m_file)
        return;
    unsigned char h[44];
    header(h, m_format.sampleRate, m_frames);
    if (std::fseek(m_file, 0, SEEK_SET) != 0 || std::fwrite(h, 1, sizeof h, m_file) != sizeof h)
        m_failed = true;
    if (std::fclose(m_file) != 0)
        m_failed = true;
    m_file = nullptr;
    if (m_failed && m_error.empty())
        m_error = "cannot write \"" + m_path + "\"";
}

} // namespace tonvela::audio
