#pragma once

#include <string>
#include <vector>

namespace tonvela::audio {

// A whole clip decoded to interleaved stereo float at one sample rate.
struct DecodedClip {
    bool ok = false;
    std::string error;
    double sampleRate = 44100.0;
    std::vector<float> samples; // left, right, ...
    long long frames() const { return static_cast<long long>(samples.size() / 2); }
};

// Decodes an MP3 file (or, by its ".wav" extension or RIFF header, a wave file's PCM data) and
// resamples it to `sampleRate` (audio/resampler.h). Mono is spread to both sides. Used where a clip is
// mixed offline rather than streamed. Fails with a message for a file that cannot be read or
// holds no audio.
DecodedClip decodeClipFile(const std::string& path, double sampleRate);

} // namespace tonvela::audio
