#include "audio/wave_file.h"

#include "audio/riff.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tonvela::audio {
namespace {

constexpr std::size_t kFormatBytes = 16;
constexpr std::size_t kExtensibleBytes = 22; // the extension of a WAVE_FORMAT_EXTENSIBLE record

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

WaveFormat readFormat(const unsigned char* r, std::size_t size)
{
    WaveFormat f;
    f.formatTag = le16(r);
    f.channels = le16(r + 2);
    f.sampleRate = le32(r + 4);
    f.blockAlign = le16(r + 12);
    f.bitsPerSample = le16(r + 14);
    if (f.formatTag != kWaveFormatPcm && size >= kFormatBytes + 2) {
        f.extraSize = le16(r + kFormatBytes);
        // The sub-format GUID starts with the tag its data really has.
        if (f.formatTag == kWaveFormatExtensible && f.extraSize >= kExtensibleBytes &&
            size >= kFormatBytes + 2 + kExtensibleBytes)
            f.subFormat = le16(r + kFormatBytes + 2 + 6);
    }
    return f;
}

} // namespace

LoadResult walkWave(const unsigned char* bytes, std::size_t size, WaveWalk& walk)
{
    walk = WaveWalk{};
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return LoadResult::failure(LoadStatus::WrongKind,
                                   "not a wave file (it does not begin with a RIFF \"WAVE\" header)");
    bool haveFormat = false;
    WaveFormat format;
    const RiffForm form = walkRiff(bytes, size, [&](const RiffChunk& chunk) {
        if (chunk.depth != 1 || chunk.parentType != "WAVE")
            return;
        if (chunk.id == "fmt " && chunk.size >= kFormatBytes) {
            format = readFormat(bytes + chunk.offset, chunk.size);
            haveFormat = true;
        } else if (chunk.id == "data" && haveFormat) {
            // Data before any format has nothing to be played with and is passed over.
            WaveData d;
            d.format = format;
            d.offset = chunk.offset;
            d.size = chunk.size;
            d.truncated = chunk.truncated;
            walk.data.push_back(d);
        }
    });
    LoadResult result;
    if (form.sizeMismatch)
        result.warnings.emplace_back(kWaveSizeMismatch);
    return result;
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
    const auto rate = static_cast<uint32_t>(std::lround(std::clamp(sampleRate, 1.0, 4.0e9)));
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
