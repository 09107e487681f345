#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include <unistd.h>

// SoundFont 2 files that tests build themselves, so that what they check does not depend on the
// SoundFonts a machine has installed.
namespace tonvela::testing {

struct TestSample {
    std::string name;
    std::vector<int16_t> points;
    uint32_t rate = 44100;
    uint8_t rootKey = 69;
    uint16_t type = 1; // mono
};

// Builds the RIFF bytes of small SoundFont 2 files chunk by chunk.
class SoundFontBuilder {
  public:
    static std::string le16(uint32_t v)
    {
        return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
    }
    static std::string le32(uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }
    static std::string chunk(const std::string& id, const std::string& body)
    {
        std::string c = id + le32(static_cast<uint32_t>(body.size())) + body;
        if (body.size() % 2)
            c.push_back('\0');
        return c;
    }
    static std::string list(const std::string& type, const std::string& chunks)
    {
        return chunk("LIST", type + chunks);
    }
    // A fixed-size name field, zero-filled.
    static std::string name(const std::string& text, std::size_t size)
    {
        std::string n = text.substr(0, size);
        n.resize(size, '\0');
        return n;
    }
    // A zero-terminated INFO text of even length.
    static std::string text(const std::string& t)
    {
        std::string z = t + '\0';
        if (z.size() % 2)
            z.push_back('\0');
        return z;
    }

    // A bank whose preset 0 (bank 0) plays `samples[0]` over every key, looping its middle;
    // the other samples are only listed. The INFO list holds the version, `engine` (isng) and a
    // bank name (INAM), in that order.
    static std::string build(const std::vector<TestSample>& samples, const std::string& engine = "EMU8000")
    {
        std::string smpl;
        std::string shdr;
        uint32_t at = 0;
        for (const TestSample& s : samples) {
            for (const int16_t p : s.points)
                smpl += le16(static_cast<uint16_t>(p));
            smpl += std::string(46 * 2, '\0'); // the 46 zero points the format asks after a sample
            const auto n = static_cast<uint32_t>(s.points.size());
            const uint32_t loopStart = at + std::min<uint32_t>(n / 8, 100);
            const uint32_t loopEnd = at + n - std::min<uint32_t>(n / 8, 100);
            shdr += name(s.name, 20) + le32(at) + le32(at + n) + le32(loopStart) + le32(loopEnd) +
                    le32(s.rate) + std::string(1, static_cast<char>(s.rootKey)) + std::string(1, '\0') +
                    le16(0) + le16(s.type);
            at += n + 46;
        }
        shdr += name("EOS", 20) + std::string(26, '\0');

        const std::string info = list("INFO", chunk("ifil", le16(2) + le16(1)) + chunk("isng", text(engine)) +
                                                  chunk("INAM", text("Tonvela test bank")));
        const std::string sdta = list("sdta", chunk("smpl", smpl));
        const std::string phdr = name("Sine", 20) + le16(0) + le16(0) + le16(0) + le32(0) + le32(0) +
                                 le32(0) + name("EOP", 20) + le16(0) + le16(0) + le16(1) + le32(0) + le32(0) +
                                 le32(0);
        const std::string pbag = le16(0) + le16(0) + le16(1) + le16(0);
        const std::string pmod(10, '\0');
        const std::string pgen = le16(41) + le16(0) + le16(0) + le16(0); // instrument 0, then the terminal
        const std::string inst = name("Sine", 20) + le16(0) + name("EOI", 20) + le16(1);
        const std::string ibag = le16(0) + le16(0) + le16(2) + le16(0);
        const std::string imod(10, '\0');
        // Loop continuously (sampleModes 1), then the sample (sampleID must come last).
        const std::string igen = le16(54) + le16(1) + le16(53) + le16(0) + le16(0) + le16(0);
        const std::string pdta =
            list("pdta", chunk("phdr", phdr) + chunk("pbag", pbag) + chunk("pmod", pmod) +
                             chunk("pgen", pgen) + chunk("inst", inst) + chunk("ibag", ibag) +
                             chunk("imod", imod) + chunk("igen", igen) + chunk("shdr", shdr));
        const std::string body = "sfbk" + info + sdta + pdta;
        return "RIFF" + le32(static_cast<uint32_t>(body.size())) + body;
    }
};

// A sine of `hz` (a whole number of cycles per 100 points at 44100 Hz plays 441 Hz at its root
// key) of `frames` points at `level` of full scale.
inline TestSample sineSample(const std::string& name, int frames = 4410, double level = 0.5,
                             double cyclesPerPoint = 0.01)
{
    TestSample s;
    s.name = name;
    for (int i = 0; i < frames; ++i)
        s.points.push_back(static_cast<int16_t>(
            std::lround(level * 32767.0 * std::sin(2 * std::numbers::pi * cyclesPerPoint * i))));
    return s;
}

// A one-preset sine SoundFont (441 Hz at key 69, looping) in a temporary file that lives as
// long as the object: what the built-in synthesizer plays in tests, whatever is installed.
class TemporarySoundFont {
  public:
    TemporarySoundFont()
    {
        static std::atomic<int> counter{0};
        m_path = (std::filesystem::temp_directory_path() /
                  ("tonvela-sine-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".sf2"))
                     .string();
        std::ofstream out(m_path, std::ios::binary);
        out << SoundFontBuilder::build({sineSample("Sine")});
    }
    ~TemporarySoundFont() { std::remove(m_path.c_str()); }
    TemporarySoundFont(const TemporarySoundFont&) = delete;
    TemporarySoundFont& operator=(const TemporarySoundFont&) = delete;
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

} // namespace tonvela::testing
