#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace tonvela::test {

// Builds Standard MIDI File bytes for tests, one event at a time.
class TrackBytes {
  public:
    TrackBytes& delta(uint32_t d)
    {
        char buf[5];
        int n = 0;
        buf[4 - n++] = static_cast<char>(d & 0x7F);
        while ((d >>= 7) != 0)
            buf[4 - n++] = static_cast<char>(0x80 | (d & 0x7F));
        m_bytes.append(buf + 5 - n, static_cast<std::size_t>(n));
        return *this;
    }
    TrackBytes& raw(std::initializer_list<int> bytes)
    {
        for (int b : bytes)
            m_bytes.push_back(static_cast<char>(b));
        return *this;
    }
    TrackBytes& on(uint32_t d, int channel, int key, int velocity = 100)
    {
        return delta(d).raw({0x90 | channel, key, velocity});
    }
    TrackBytes& off(uint32_t d, int channel, int key, int velocity = 64)
    {
        return delta(d).raw({0x80 | channel, key, velocity});
    }
    TrackBytes& program(uint32_t d, int channel, int program)
    {
        return delta(d).raw({0xC0 | channel, program});
    }
    TrackBytes& controller(uint32_t d, int channel, int number, int value)
    {
        return delta(d).raw({0xB0 | channel, number, value});
    }
    TrackBytes& meta(uint32_t d, int type, const std::string& data)
    {
        delta(d).raw({0xFF, type});
        delta(static_cast<uint32_t>(data.size()));
        m_bytes += data;
        return *this;
    }
    TrackBytes& tempo(uint32_t d, uint32_t usPerQuarter)
    {
        return meta(d, 0x51,
                    std::string{static_cast<char>(usPerQuarter >> 16), static_cast<char>(usPerQuarter >> 8),
                                static_cast<char>(usPerQuarter)});
    }
    TrackBytes& timeSignature(uint32_t d, int num, int denPower)
    {
        return meta(d, 0x58, std::string{static_cast<char>(num), static_cast<char>(denPower), 24, 8});
    }
    TrackBytes& end(uint32_t d = 0) { return meta(d, 0x2F, ""); }

    const std::string& bytes() const { return m_bytes; }

  private:
    std::string m_bytes;
};

inline std::string be32(uint32_t v)
{
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                       static_cast<char>(v)};
}

inline std::string smfHeader(int format, int tracks, int division)
{
    return "MThd" + be32(6) + std::string{static_cast<char>(format >> 8),   static_cast<char>(format),
                                          static_cast<char>(tracks >> 8),   static_cast<char>(tracks),
                                          static_cast<char>(division >> 8), static_cast<char>(division)};
}

inline std::string smfTrack(const TrackBytes& t)
{
    return "MTrk" + be32(static_cast<uint32_t>(t.bytes().size())) + t.bytes();
}

inline std::string smfFile(std::initializer_list<TrackBytes> tracks, int division = 96)
{
    std::string out = smfHeader(1, static_cast<int>(tracks.size()), division);
    for (const auto& t : tracks)
        out += smfTrack(t);
    return out;
}

} // namespace tonvela::test
