#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tonvela::audio {

inline constexpr std::size_t kMp3InputBufferBytes = 40000;

// Where MP3 bytes come from: read() fills up to `length` bytes and returns how many (0 at the
// end), or -1 on an error.
class Mp3Input {
  public:
    virtual ~Mp3Input() = default;
    virtual long read(unsigned char* to, std::size_t length) = 0;
};

// Reads a file descriptor, repeating reads interrupted by a signal.
class FdMp3Input : public Mp3Input {
  public:
    explicit FdMp3Input(int fd) : m_fd(fd) {}
    long read(unsigned char* to, std::size_t length) override;

  private:
    int m_fd;
};

// Reads bytes in memory.
class MemoryMp3Input : public Mp3Input {
  public:
    MemoryMp3Input(const unsigned char* data, std::size_t size) : m_data(data), m_size(size) {}
    long read(unsigned char* to, std::size_t length) override;

  private:
    const unsigned char* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// One decoded frame as it goes out: fixed-point samples (28 fraction bits), one array per
// output channel. A mono stream has one channel, stereo and joint stereo two, and a
// dual-channel stream plays its first channel only.
struct Mp3Frame {
    int channels = 0;
    int sampleRate = 0;
    int frames = 0;
    const int32_t* samples[2] = {nullptr, nullptr};
};

enum class Mp3Flow { Continue, Stop };

struct Mp3Stats {
    long frames = 0;       // frame headers seen
    long outputFrames = 0; // frames that reached the output
    long elapsedMs = 0;    // duration of the frames seen
    long id3Skipped = 0;   // bytes of ID3 tags skipped where sync was lost
};

// Decodes MP3 data with libmad in synchronous mode through a 40000-byte input buffer: the
// unconsumed tail is moved to the front before each read, 8 zero bytes are added at the end
// of the data (libmad's guard), an ID3 tag found where sync was lost is skipped, frames with a
// bad CRC are played, other decoding errors skip the frame. `output` gets every decoded frame
// and may ask to stop. Never throws; a broken stream just yields fewer frames.
Mp3Stats decodeMp3(Mp3Input& input, const std::function<Mp3Flow(const Mp3Frame&)>& output);

} // namespace tonvela::audio
