// Fuzzes the wave file walk and what the players then read: every data chunk's bytes are
// touched as a stream or the offline decoder would read them.
#include "audio/wave_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tonvela::audio::WaveWalk walk;
    if (!tonvela::audio::walkWave(data, size, walk).ok() && !walk.data.empty())
        __builtin_trap(); // bytes of another kind give no data chunk
    unsigned sum = 0;
    for (const auto& d : walk.data) {
        if (d.offset > size || d.size > size - d.offset)
            __builtin_trap(); // a chunk reaching outside the input
        int bits = 0;
        std::string why;
        if (!tonvela::audio::playablePcm(d.format, bits, why))
            continue;
        for (std::size_t i = 0; i + d.format.blockAlign <= d.size; i += d.format.blockAlign)
            sum += data[d.offset + i];
    }
    return static_cast<int>(sum & 0);
}
