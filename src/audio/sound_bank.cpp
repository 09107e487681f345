#include "audio/sound_bank.h"

#include "audio/sound_engine.h"
#include "platform/notifier.h"

#include <algorithm>
#include <cstring>

namespace tonvela::audio {
namespace {

uint16_t le16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
bool idAt(const unsigned char* p, const char* id)
{
    return std::memcmp(p, id, 4) == 0;
}

// Text of a fixed-size field: up to the first zero byte, at most `limit` characters.
std::string textOf(const unsigned char* p, std::size_t length, std::size_t limit)
{
    const std::size_t n = std::min(length, limit);
    const auto* end = static_cast<const unsigned char*>(std::memchr(p, 0, n));
    return {reinterpret_cast<const char*>(p), end ? static_cast<std::size_t>(end - p) : n};
}

} // namespace

bool SoundBank::load(const std::string& path, Notifier& notifier)
{
    if (!m_file.open(path))
        return false;
    loadBytes(m_file.data(), m_file.size(), notifier);
    return true;
}

void SoundBank::loadBytes(const unsigned char* bytes, std::size_t size, Notifier& notifier)
{
    loaded = false;
    if (!bytes)
        size = 0;
    bool mismatchShown = false;
    std::size_t pos = 0;
    while (pos + 4 <= size) {
        const unsigned char* p = bytes + pos;
        const std::size_t left = size - pos;
        if (idAt(p, "RIFF") && left >= 12) {
            if (!mismatchShown && static_cast<uint64_t>(le32(p + 4)) + 8 != size) {
                notifier.error(kSoundFontSizeMismatch, "Error");
                mismatchShown = true;
            }
            pos += 12;
        } else if (idAt(p, "INFO") && left >= 16) {
            // The INFO list: "ifil" (4 data bytes), then text sub-chunks of which the first
            // names the sound engine. Fewer than eight texts, or texts that run past the list or
            // the file, end the reading early.
            std::size_t listEnd = size;
            if (pos >= 8 && idAt(p - 8, "LIST"))
                listEnd = std::min<std::size_t>(size, pos + le32(p - 4)); // the list size counts from "INFO"
            pos += 16;
            for (int i = 0; i < 8; ++i) {
                if (pos + 8 > listEnd)
                    break;
                const uint32_t length = le32(bytes + pos + 4);
                if (length > listEnd - pos - 8)
                    break;
                std::string text = textOf(bytes + pos + 8, length, kMaxInfoText);
                if (i == 0)
                    engineName = std::move(text);
                pos += 8 + length;
            }
        } else if ((idAt(p, "LIST") || idAt(p, "pbag")) && left >= 8) {
            pos += 8;
        } else if (idAt(p, "pdta") || idAt(p, "sdta") || idAt(p, "pmod")) {
            pos += 4;
        } else if (idAt(p, "smpl") && left >= 8) {
            const std::size_t length = std::min<std::size_t>(le32(p + 4), left - 8);
            sampleData.assign(p + 8, p + 8 + length);
            pos += 8 + length;
        } else if (idAt(p, "phdr") && left >= 46) {
            pos += 46;
        } else if (idAt(p, "shdr") && left >= 8) {
            const std::size_t length = std::min<std::size_t>(le32(p + 4), left - 8);
            const std::size_t count = length / kSampleHeaderBytes;
            samples.clear();
            samples.reserve(count);
            for (std::size_t i = 0; i < count; ++i) {
                const unsigned char* r = p + 8 + i * kSampleHeaderBytes;
                SampleHeader h;
                h.name = textOf(r, 20, 20);
                h.start = le32(r + 20);
                h.end = le32(r + 24);
                h.startLoop = le32(r + 28);
                h.endLoop = le32(r + 32);
                h.sampleRate = le32(r + 36);
                h.originalPitch = r[40];
                h.pitchCorrection = static_cast<int8_t>(r[41]);
                h.sampleLink = le16(r + 42);
                h.sampleType = le16(r + 44);
                samples.push_back(std::move(h));
            }
            pos += 8 + length;
        } else {
            ++pos;
        }
    }
    loaded = true;
}

bool SoundBank::sampleBytes(int index, const unsigned char*& bytes, std::size_t& length) const
{
    bytes = nullptr;
    length = 0;
    if (index < 0 || static_cast<std::size_t>(index) >= samples.size())
        return false;
    const SampleHeader& h = samples[static_cast<std::size_t>(index)];
    const uint64_t start = uint64_t{h.start} * 2;
    const uint64_t end = std::min<uint64_t>(uint64_t{h.end} * 2, sampleData.size());
    if (start >= end)
        return false;
    bytes = sampleData.data() + start;
    length = static_cast<std::size_t>(end - start);
    return true;
}

int SoundBank::playSample(SoundEngine& engine, int index) const
{
    const unsigned char* bytes = nullptr;
    std::size_t length = 0;
    if (!sampleBytes(index, bytes, length))
        return -1;
    const SampleHeader& h = samples[static_cast<std::size_t>(index)];
    PcmFormat format;
    format.channels = h.sampleType == kSampleTypeMono ? 1 : 2;
    format.sampleRate = static_cast<int>(std::min<uint32_t>(h.sampleRate, 384000));
    format.blockAlign = 2 * format.channels;
    format.bits = 16;
    return engine.startBuffer(bytes, length, format);
}

} // namespace tonvela::audio
