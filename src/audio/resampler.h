#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace tonvela::audio {

// Converts interleaved float audio from one sample rate to another with libsamplerate's
// band-limited sinc converter (medium quality: flat to 90 % of the lower Nyquist frequency,
// images and aliases more than 97 dB down), so a clip at 22050 or 44100 Hz keeps its pitch,
// level and timbre at the output rate. The output keeps the input's timing: frame n of the
// input is heard at frame n * to / from.
//
// It streams: blocks given one after another come out without a seam, and finish() hands out
// what the filter still holds at the end of the stream. It allocates, so it runs on a stream's
// decoding thread or offline, never on the audio thread.
//
// Thread rules: one thread at a time.
class Resampler {
  public:
    Resampler(int channels, double fromRate, double toRate);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // False when the rates or the channel count are unusable; such a resampler produces nothing.
    bool ok() const { return m_state != nullptr; }
    int channels() const { return m_channels; }
    double ratio() const { return m_ratio; }

    // Appends the output for `frames` frames of `in` to `out`.
    void process(const float* in, std::size_t frames, std::vector<float>& out);
    // Appends the rest of the output at the end of the stream; the resampler then starts afresh.
    void finish(std::vector<float>& out);

  private:
    void run(const float* in, std::size_t frames, bool end, std::vector<float>& out);

    struct State;
    struct StateDeleter {
        void operator()(State* state) const;
    };
    std::unique_ptr<State, StateDeleter> m_state;
    int m_channels;
    double m_ratio;
};

// A whole buffer of interleaved audio resampled at once.
std::vector<float> resample(const std::vector<float>& in, int channels, double fromRate, double toRate);

} // namespace tonvela::audio
