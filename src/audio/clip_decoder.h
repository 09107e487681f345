#pragma once

#include "platform/load_result.h"

#include <string>
#include <vector>

namespace tonvela::audio {

// A whole clip decoded to interleaved stereo float at one sample rate.
struct DecodedClip {
    double sampleRate = 44100.0;
    std::vector<float> samples; // left, right, ...
    long long frames() const { return static_cast<long long>(samples.size() / 2); }
};

// Decodes an MP3 file (or, by its ".wav" extension or RIFF header, a wave file's PCM data) into
// `clip`, resampled to `sampleRate` (audio/resampler.h). Mono is spread to both sides. Used
// where a clip is mixed offline rather than streamed. Fails with a message for a file that
// cannot be read (Unreadable), a wave file whose data cannot be played or that holds none
// (Invalid), or a file that is neither a wave file nor holds MP3 frames (WrongKind); `clip` is
// then empty.
LoadResult decodeClipFile(const std::string& path, double sampleRate, DecodedClip& clip);

} // namespace tonvela::audio
