#pragma once

#include "audio/sound_engine.h"
#include "platform/audio_sink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// Helpers of the sound engine tests: a sink the test pulls by hand, a temporary folder, test
// files made by sox and lame.
namespace tonvela::testing {

// A sink with no thread of its own: the test pulls frames through the engine's mixer whenever
// it likes, so what the mixer produced can be checked sample by sample.
class PulledSink : public AudioSink {
  public:
    explicit PulledSink(int rate = 48000) { m_format.sampleRate = rate; }
    bool open(const Format& wanted) override
    {
        m_format.periodFrames = wanted.periodFrames;
        return true;
    }
    bool start(AudioCallback& callback) override
    {
        m_callback = &callback;
        return true;
    }
    void stop() override { m_callback = nullptr; }
    void close() override {}
    std::string name() const override { return "pulled"; }
    Format format() const override { return m_format; }
    const std::string& lastError() const override { return m_error; }

    // Interleaved stereo of the next `frames` frames.
    std::vector<float> pull(int frames)
    {
        std::vector<float> out(static_cast<std::size_t>(frames) * 2, 0.0f);
        if (m_callback)
            m_callback->render(out.data(), frames);
        return out;
    }

  private:
    Format m_format;
    AudioCallback* m_callback = nullptr;
    std::string m_error;
};

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline uint32_t le32At(const std::string& s, std::size_t at)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(s[at])) |
           (static_cast<uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8) |
           (static_cast<uint32_t>(static_cast<unsigned char>(s[at + 2])) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24);
}

inline void putLe32(std::string& s, std::size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::string le32(uint32_t v)
{
    std::string s(4, '\0');
    putLe32(s, 0, v);
    return s;
}

// Polls `condition` every millisecond for at most `timeoutMs`.
inline bool eventually(const std::function<bool()>& condition, int timeoutMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

// A fresh temporary folder per test, removed afterwards; makes sound files with sox and lame.
class AudioFilesTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("tonvela-audio-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    static void shell(const std::string& command)
    {
        ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
    }

    // A sine tone made by sox: `seconds` long, `channels`, `rate` Hz, `bits` per sample.
    std::string tone(const std::string& name, double seconds, int channels = 2, int rate = 44100,
                     int bits = 16, int hz = 440, double volume = 0.5)
    {
        const std::string out = path(name);
        shell("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b " +
              std::to_string(bits) + " '" + out + "' synth " + std::to_string(seconds) + " sine " +
              std::to_string(hz) + " vol " + std::to_string(volume));
        return out;
    }

    // An MP3 file encoded by lame from a sox tone; `lameOptions` as lame takes them.
    std::string mp3(const std::string& name, double seconds, const std::string& lameOptions = "-b 128",
                    int channels = 2)
    {
        const std::string wav = tone(name + ".src.wav", seconds, channels);
        const std::string out = path(name);
        shell("lame --quiet " + lameOptions + " '" + wav + "' '" + out + "'");
        return out;
    }

    std::filesystem::path dir;
};

} // namespace tonvela::testing
