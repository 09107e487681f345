#include "audio/clip_decoder.h"

#include "audio/mapped_file.h"
#include "audio/mp3_decoder.h"
#include "audio/resampler.h"
#include "audio/sample_conversion.h"
#include "audio/wave_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tonvela::audio {
namespace {

float pcmSample(const unsigned char* p, int bits)
{
    switch (bits) {
    case 8:
        return (static_cast<float>(p[0]) - 128.0f) / 128.0f;
    case 16:
        return static_cast<float>(static_cast<int16_t>(p[0] | (p[1] << 8))) / 32768.0f;
    case 24:
        return static_cast<float>(static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 8) |
                                                       (static_cast<uint32_t>(p[1]) << 16) |
                                                       (static_cast<uint32_t>(p[2]) << 24)) >>
                                  8) /
               8388608.0f;
    default:
        return static_cast<float>(static_cast<int32_t>(
                   static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                   (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24))) /
               2147483648.0f;
    }
}

bool looksLikeWave(const std::string& path, const MappedFile& file)
{
    std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".wav" || (file.size() >= 12 && std::memcmp(file.data(), "RIFF", 4) == 0 &&
                             std::memcmp(file.data() + 8, "WAVE", 4) == 0);
}

} // namespace

LoadResult decodeClipFile(const std::string& path, double sampleRate, DecodedClip& clip)
{
    clip = DecodedClip{};
    clip.sampleRate = sampleRate;
    MappedFile file;
    if (!file.open(path))
        return LoadResult::failure(LoadStatus::Unreadable, "cannot read \"" + path + "\"");
    std::vector<float> raw;
    double rate = 0;
    // A file that is no wave file and holds no MP3 frame is another kind of file; a wave file
    // without playable data is one that is refused.
    bool wave = false;
    std::string refused;
    if (looksLikeWave(path, file)) {
        WaveWalk walk;
        wave = walkWave(file.data(), file.size(), walk).ok();
        for (const WaveData& d : walk.data) {
            int bits = 0;
            std::string why;
            if (!playablePcm(d.format, bits, why)) {
                refused = why;
                continue;
            }
            if (rate == 0)
                rate = d.format.sampleRate;
            if (d.format.sampleRate != rate)
                continue; // a later chunk at another rate is not joined to the first
            const int ch = d.format.channels;
            const int bytes = bits / 8;
            for (std::size_t f = 0; f + d.format.blockAlign <= d.size; f += d.format.blockAlign) {
                const unsigned char* p = file.data() + d.offset + f;
                const float l = pcmSample(p, bits);
                raw.push_back(l);
                raw.push_back(ch > 1 ? pcmSample(p + bytes, bits) : l);
            }
        }
    } else {
        MemoryMp3Input input(file.data(), file.size());
        decodeMp3(input, [&](const Mp3Frame& frame) {
            if (rate == 0)
                rate = frame.sampleRate;
            if (frame.sampleRate != rate)
                return Mp3Flow::Continue;
            constexpr float kScale = 1.0f / static_cast<float>(1 << kFixedFractionBits);
            for (int i = 0; i < frame.frames; ++i) {
                raw.push_back(static_cast<float>(frame.samples[0][i]) * kScale);
                raw.push_back(static_cast<float>(frame.samples[1][i]) * kScale);
            }
            return Mp3Flow::Continue;
        });
    }
    if (raw.empty()) {
        if (!refused.empty())
            return LoadResult::failure(LoadStatus::Invalid, refused);
        return LoadResult::failure(wave ? LoadStatus::Invalid : LoadStatus::WrongKind,
                                   "\"" + path + "\" holds no audio that can be played");
    }
    for (float& v : raw)
        v = std::isfinite(v) ? std::clamp(v, -1.0f, 1.0f) : 0.0f;
    clip.samples = resample(raw, 2, rate, sampleRate);
    return {};
}

} // namespace tonvela::audio
