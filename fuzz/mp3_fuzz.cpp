// Fuzzes MP3 decoding (libmad with the ID3 skip) and the dithered conversion of what it yields.
#include "audio/mp3_decoder.h"
#include "audio/sample_conversion.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tonvela::audio::MemoryMp3Input input(data, size);
    tonvela::audio::DitherState state[2];
    long frames = 0;
    tonvela::audio::decodeMp3(input, [&](const tonvela::audio::Mp3Frame& f) {
        if (f.channels < 1 || f.channels > 2 || f.frames < 0 || f.frames > 1152)
            __builtin_trap();
        for (int c = 0; c < f.channels; ++c)
            for (int i = 0; i < f.frames; ++i)
                tonvela::audio::ditherSample(f.samples[c][i], 16, state[c]);
        // Long inputs are cut short so one run stays quick.
        return ++frames > 2000 ? tonvela::audio::Mp3Flow::Stop : tonvela::audio::Mp3Flow::Continue;
    });
    return 0;
}
