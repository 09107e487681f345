#pragma once

#include <memory>
#include <string>

namespace tonvela {

// What an audio sink pulls its sound from: fills `frames` frames of interleaved stereo float
// (-1..1) into `out`. Runs on the sink's audio thread; noexcept, never blocks, never allocates.
class AudioCallback {
  public:
    virtual ~AudioCallback() = default;
    virtual void render(float* out, int frames) noexcept = 0;
};

// One stereo output the sound engine plays into: a sound device, or a null output that
// consumes in real time. The sink owns the audio thread and calls the callback from it for
// every period. (Offline rendering needs no sink: it pulls the synthesizer itself and writes
// the samples with audio::writeWav.)
//
// Thread rules: open, start, stop, close and the queries come from one thread (the owner's);
// the callback is called on the sink's audio thread between start and stop.
class AudioSink {
  public:
    struct Format {
        int sampleRate = 48000;
        int periodFrames = 128; // frames the callback is asked for at a time
        int periods = 3;        // periods the device buffers
    };

    virtual ~AudioSink() = default;
    // Opens the output with the wanted format; the sink may adjust it (see format()). False
    // with lastError() set when it cannot be opened.
    virtual bool open(const Format& wanted) = 0;
    // Starts calling `callback` on the audio thread. `callback` must outlive stop().
    virtual bool start(AudioCallback& callback) = 0;
    // Stops the audio thread; when it returns the callback is no longer called.
    virtual void stop() = 0;
    virtual void close() = 0;

    virtual std::string name() const = 0;
    // The format actually in use after open().
    virtual Format format() const = 0;
    virtual const std::string& lastError() const = 0;
};

// Consumes audio in real time and throws it away: clips still take their time.
std::unique_ptr<AudioSink> createNullSink();

} // namespace tonvela
