// Fuzzes the SoundFont 2 bank loader and the sample ranges it hands to playback.
#include "audio/sound_bank.h"
#include "platform/notifier.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tonvela::CollectingNotifier notifier;
    tonvela::audio::SoundBank bank;
    const tonvela::LoadResult result = bank.loadBytes(data, size, notifier);
    if (notifier.messages.size() > 1 || result.warnings.size() != notifier.messages.size())
        __builtin_trap(); // the size message is shown once per load, and listed once
    unsigned sum = 0;
    for (int i = 0; i < static_cast<int>(bank.samples.size()); ++i) {
        const unsigned char* bytes = nullptr;
        std::size_t length = 0;
        if (bank.sampleBytes(i, bytes, length) && length > 0)
            sum += bytes[0] + bytes[length - 1];
    }
    return static_cast<int>(sum & 0);
}
