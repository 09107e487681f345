#pragma once

#include "platform/atomic_file.h"
#include "platform/load_result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tonvela::audio {

inline constexpr uint16_t kWaveFormatPcm = 1;
inline constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
inline constexpr const char* kWaveSizeMismatch = "Wave file size mismatch";

// The `fmt ` record of a wave file, as far as playing it needs.
struct WaveFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
    // The sub-format tag of an extensible record (0 when there is none).
    uint16_t subFormat = 0;
};

// One `data` chunk: where its bytes lie in the file and the format read before it.
struct WaveData {
    WaveFormat format;
    std::size_t offset = 0;
    std::size_t size = 0;   // clamped to the file
    bool truncated = false; // the chunk said it was longer than the file
};

struct WaveWalk {
    std::vector<WaveData> data;
};

// Walks a wave file (a RIFF file of form "WAVE") chunk by chunk into `walk`: each "fmt "
// chunk of the form gives the format of the "data" chunks after it, and every other chunk
// ("LIST", "fact", ...) is passed over by its size, whatever its bytes say. A "data" chunk
// before any "fmt " is passed over too. Bytes that are no RIFF "WAVE" form are WrongKind; a
// RIFF size that differs from the file is the warning "Wave file size mismatch" and the walk
// goes on. Never reads outside [bytes, bytes + size).
LoadResult walkWave(const unsigned char* bytes, std::size_t size, WaveWalk& walk);

// Whether the data of `format` can be played as integer PCM, and the sample width of its
// container in bits (8, 16, 24 or 32). Fills `why` when it cannot.
bool playablePcm(const WaveFormat& format, int& containerBits, std::string& why);

// The bytes of a 16-bit PCM WAV file of `interleaved` float samples with `channels` channels
// at `sampleRate` Hz: each sample clipped to -1..1 (anything not finite is silence) and
// rounded to the nearest of the 32767 steps of a side. A trailing partial frame is left out.
std::string encodeWav(const std::vector<float>& interleaved, int channels, double sampleRate);
// The same WAV file written atomically to `path`; fails with a message when the samples do not
// fit the 4 GB a WAV file can describe or the file cannot be written.
FileResult writeWav(const std::string& path, const std::vector<float>& interleaved, int channels,
                    double sampleRate);

} // namespace tonvela::audio
