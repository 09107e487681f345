#pragma once

#include "platform/audio_sink.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tonvela::audio {

// Writes what the callback renders into a 16-bit stereo WAV file instead of a device, for
// offline rendering and tests. It has no thread: the owner calls pump() to pull audio through
// the callback as fast as it likes. close() completes the header; a file that could not be
// written says so in lastError().
//
// Thread rules: every call from one thread; the callback runs on that thread inside pump().
class WavFileSink : public AudioSink {
  public:
    explicit WavFileSink(std::string path) : m_path(std::move(path)) {}
    ~WavFileSink() override { WavFileSink::close(); }
    WavFileSink(const WavFileSink&) = delete;
    WavFileSink& operator=(const WavFileSink&) = delete;

    bool open(const Format& wanted) override;
    bool start(AudioCallback& callback) override;
    void stop() override { m_callback = nullptr; }
    void close() override;

    // Renders `frames` frames through the callback and appends them. False after a write error
    // or when not started.
    bool pump(int64_t frames);
    int64_t framesWritten() const { return m_frames; }

    std::string name() const override { return "WAV file " + m_path; }
    Format format() const override { return m_format; }
    double outputLatencySeconds() const override { return 0.0; }
    const std::string& lastError() const override { return m_error; }

  private:
    std::string m_path;
    std::FILE* m_file = nullptr;
    Format m_format;
    AudioCallback* m_callback = nullptr;
    std::vector<float> m_float;
    std::vector<unsigned char> m_bytes;
    int64_t m_frames = 0;
    bool m_failed = false;
    std::string m_error;
};

} // namespace tonvela::audio
