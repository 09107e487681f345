#include "audio/wave_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tonvela::audio {
namespace {

uint16_t le16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
bool idAt(const unsigned char* p, const char* id)
{
    return std::memcmp(p, id, 4) == 0;
}

void putLe(std::string& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// The largest data chunk a WAV file can describe: its RIFF size (data + 36) is 32 bits.
constexpr uint64_t kMaxWavData = 0xFFFFFFFFull - 36;

uint64_t wavDataBytes(std::size_t samples, int channels)
{
    const auto ch = static_cast<std::size_t>(std::max(channels, 1));
    return static_cast<uint64_t>(samples / ch * ch) * 2;
}

} // namespace

WaveWalk walkWave(const unsigned char* bytes, std::size_t size)
{
    WaveWalk walk;
    if (!bytes)
        return walk;
    bool haveFormat = false;
    WaveFormat format;
    bool riffSeen = false;
    std::size_t pos = 0;
    while (pos + 4 <= size) {
        const unsigned char* p = bytes + pos;
        const std::size_t left = size - pos;
        if (idAt(p, "RIFF") && left >= 12) {
            if (!riffSeen && static_cast<uint64_t>(le32(p + 4)) + 8 != size)
                walk.sizeMismatch = true;
            riffSeen = true;
            pos += 12;
        } else if (idAt(p, "fmt ") && left >= 8 + 16) {
            const unsigned char* r = p + 8;
            WaveFormat f;
            f.formatTag = le16(r);
            f.channels = le16(r + 2);
            f.sampleRate = le32(r + 4);
            f.avgBytesPerSec = le32(r + 8);
            f.blockAlign = le16(r + 12);
            f.bitsPerSample = le16(r + 14);
            std::size_t used = 8 + 16;
            if (f.formatTag != kWaveFormatPcm && left >= used + 2) {
                f.extraSize = le16(p + used);
                used += 2;
                if (f.formatTag == kWaveFormatMpeg3 && left >= used + 12) {
                    f.mp3Id = le16(p + used);
                    f.mp3Flags = le32(p + used + 2);
                    f.mp3BlockSize = le16(p + used + 6);
                    f.mp3FramesPerBlock = le16(p + used + 8);
                    f.mp3CodecDelay = le16(p + used + 10);
                    used += 12;
                } else if (f.formatTag == kWaveFormatExtensible && f.extraSize >= 22 && left >= used + 22) {
                    f.subFormat = le16(p + used + 6);
                    used += 22;
                } else if (f.formatTag != 8 && f.formatTag != 0x50 && f.formatTag != 0x92) {
                    used += std::min<std::size_t>(f.extraSize, left - used);
                }
            }
            format = f;
            haveFormat = true;
            pos += used;
        } else if (idAt(p, "data") && left >= 8 && haveFormat) {
            // "data" before any format is passed over like other bytes: it can only be text
            // inside another chunk (a LIST comment), and taking its size would swallow the file.
            WaveData d;
            d.hasFormat = haveFormat;
            d.format = format;
            d.offset = pos + 8;
            const uint32_t declared = le32(p + 4);
            d.size = std::min<std::size_t>(declared, left - 8);
            d.truncated = d.size < declared;
            walk.data.push_back(d);
            pos = d.offset + d.size;
        } else {
            ++pos;
        }
    }
    return walk;
}

bool playablePcm(const WaveFormat& f, int& containerBits, std::string& why)
{
    const bool pcm = f.formatTag == kWaveFormatPcm ||
                     (f.formatTag == kWaveFormatExtensible && f.subFormat == kWaveFormatPcm);
    if (!pcm) {
        why = "the wave data is not PCM (format " + std::to_string(f.formatTag) + ")";
        return false;
    }
    if (f.channels < 1 || f.channels > 8 || f.blockAlign == 0 || f.blockAlign % f.channels != 0) {
        why = "the wave format has " + std::to_string(f.channels) + " channels and frames of " +
              std::to_string(f.blockAlign) + " bytes";
        return false;
    }
    const int bytes = f.blockAlign / f.channels;
    if (bytes < 1 || bytes > 4) {
        why = "the wave samples are " + std::to_string(bytes) + " bytes wide";
        return false;
    }
    if (f.sampleRate < 1000 || f.sampleRate > 384000) {
        why = "the wave sample rate " + std::to_string(f.sampleRate) + " is out of range";
        return false;
    }
    containerBits = bytes * 8;
    return true;
}

std::string encodeWav(const std::vector<float>& interleaved, int channels, double sampleRate)
{
    channels = std::clamp(channels, 1, 0xFFFF);
    const auto rate = static_cast<uint32_t>(std::clamp(sampleRate, 1.0, 4.0e9) + 0.5);
    const auto dataBytes =
        static_cast<uint32_t>(std::min<uint64_t>(wavDataBytes(interleaved.size(), channels), kMaxWavData));
    const auto blockAlign = static_cast<uint32_t>(channels) * 2;
    std::string out;
    out.reserve(44 + std::size_t{dataBytes});
    out += "RIFF";
    putLe(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    putLe(out, 16, 4);
    putLe(out, kWaveFormatPcm, 2);
    putLe(out, static_cast<uint32_t>(channels), 2);
    putLe(out, rate, 4);
    putLe(out, rate * blockAlign, 4);
    putLe(out, blockAlign, 2);
    putLe(out, 16, 2);
    out += "data";
    putLe(out, dataBytes, 4);
    const std::size_t samples = dataBytes / 2;
    for (std::size_t i = 0; i < samples; ++i) {
        const float s = interleaved[i];
        const float c = std::isfinite(s) ? std::clamp(s, -1.0f, 1.0f) : 0.0f;
        const auto v = static_cast<int16_t>(std::lround(c * 32767.0f));
        putLe(out, static_cast<uint16_t>(v), 2);
    }
    return out;
}

FileResult writeWav(const std::string& path, const std::vector<float>& interleaved, int channels,
                    double sampleRate)
{
    if (wavDataBytes(interleaved.size(), channels) > kMaxWavData)
        return FileResult::failure("cannot write \"" + path + "\": the audio is too long for a WAV file");
    return writeFileAtomically(path, encodeWav(interleaved, channels, sampleRate));
}

} // namespace tonvela::audio
