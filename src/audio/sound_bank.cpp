#include "audio/sound_bank.h"

#include "audio/riff.h"
#include "audio/sound_engine.h"
#include "platform/notifier.h"

#include <algorithm>
#include <cstring>

namespace tonvela::audio {
namespace {

// Text of a fixed-size field: up to the first zero byte, at most `limit` characters.
std::string textOf(const unsigned char* p, std::size_t length, std::size_t limit)
{
    const std::size_t n = std::min(length, limit);
    const auto* end = static_cast<const unsigned char*>(std::memchr(p, 0, n));
    return {reinterpret_cast<const char*>(p), end ? static_cast<std::size_t>(end - p) : n};
}

SampleHeader readSampleHeader(const unsigned char* r)
{
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
    return h;
}

} // namespace

LoadResult SoundBank::load(const std::string& path, Notifier& notifier)
{
    if (!m_file.open(path))
        return LoadResult::failure(LoadStatus::Unreadable, "the file cannot be opened");
    return loadBytes(m_file.data(), m_file.size(), notifier);
}

LoadResult SoundBank::loadBytes(const unsigned char* bytes, std::size_t size, Notifier& notifier)
{
    loaded = false;
    engineName.clear();
    sampleData.clear();
    samples.clear();
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "sfbk", 4) != 0)
        return LoadResult::failure(LoadStatus::WrongKind,
                                   "not a SoundFont 2 file (it does not begin with a RIFF \"sfbk\" header)");
    LoadResult result;
    bool named = false;
    const RiffForm form = walkRiff(bytes, size, [&](const RiffChunk& chunk) {
        const unsigned char* body = bytes + chunk.offset;
        if (chunk.parentType == "INFO" && chunk.depth == 2) {
            // The first text after the version ("ifil") names the sound engine.
            if (!named && chunk.id != "ifil") {
                engineName = textOf(body, chunk.size, kMaxInfoText);
                named = true;
            }
        } else if (chunk.id == "smpl" && chunk.parentType == "sdta") {
            sampleData.assign(body, body + chunk.size);
        } else if (chunk.id == "shdr" && chunk.parentType == "pdta") {
            const std::size_t count = chunk.size / kSampleHeaderBytes;
            samples.clear();
            samples.reserve(count);
            for (std::size_t i = 0; i < count; ++i)
                samples.push_back(readSampleHeader(body + i * kSampleHeaderBytes));
        }
    });
    if (form.isRiff && form.sizeMismatch) {
        notifier.warning(kSoundFontSizeMismatch, "Error"); // it loads on: a warning
        result.warnings.emplace_back(kSoundFontSizeMismatch);
    }
    loaded = true;
    return result;
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
