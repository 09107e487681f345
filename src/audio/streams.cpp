// The stream threads of the sound engine: MP3 clips decoded by libmad, the data chunks of wave
// files and copies of sample buffers, each written into its own stream slot.

#include "audio/mapped_file.h"
#include "audio/mp3_decoder.h"
#include "audio/sound_engine.h"
#include "audio/wave_file.h"
#include "platform/notifier.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace tonvela::audio {
namespace {

// Clears the slot's stream mark when the thread leaves, whichever way it leaves.
struct StreamExit {
    StreamSlot& slot;
    ~StreamExit() { slot.streamActive.store(false, std::memory_order_release); }
};

} // namespace

int SoundEngine::startClip(const std::string& path, int64_t startFrame)
{
    const std::lock_guard<std::mutex> lock(m_streamGuard);
    const int slot = takeSlot();
    m_slots[static_cast<std::size_t>(slot)].startFrame.store(startFrame, std::memory_order_release);
    m_slots[static_cast<std::size_t>(slot)].worker = std::thread([this, slot, path] {
        StreamSlot& st = m_slots[static_cast<std::size_t>(slot)];
        StreamExit exit{st};
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            if (fd >= 0)
                ::close(fd);
            st.finished.store(true, std::memory_order_release);
            return;
        }
        st.fileHandle.store(fd, std::memory_order_release);
        int configuredChannels = 0;
        int configuredRate = 0;
        FdMp3Input input(fd);
        decodeMp3(input, [&](const Mp3Frame& frame) {
            if (frame.channels != configuredChannels || frame.sampleRate != configuredRate) {
                if (configureSlot(slot, frame.channels, frame.sampleRate, 16) < 0)
                    return Mp3Flow::Stop;
                configuredChannels = frame.channels;
                configuredRate = frame.sampleRate;
            }
            return writeSlot(slot, frame.samples, frame.channels, frame.frames) == WriteResult::Stop
                       ? Mp3Flow::Stop
                       : Mp3Flow::Continue;
        });
        drainSlot(slot);
        st.fileHandle.store(-1, std::memory_order_release);
        ::close(fd);
    });
    return slot;
}

int SoundEngine::startWave(const std::string& path, int64_t startFrame)
{
    auto file = std::make_shared<MappedFile>();
    const bool opened = file->open(path);
    WaveWalk walk;
    if (opened) {
        for (const std::string& warning : walkWave(file->data(), file->size(), walk).warnings)
            m_notifier.warning(warning, "Error"); // it plays on: a warning
    }
    // The data chunks that play; the stream ends with the last of them.
    std::vector<std::pair<WaveData, int>> parts;
    for (const WaveData& d : walk.data) {
        int bits = 0;
        std::string why;
        if (playablePcm(d.format, bits, why) && d.size >= d.format.blockAlign)
            parts.emplace_back(d, bits);
    }
    const std::lock_guard<std::mutex> lock(m_streamGuard);
    const int slot = takeSlot();
    m_slots[static_cast<std::size_t>(slot)].startFrame.store(startFrame, std::memory_order_release);
    m_slots[static_cast<std::size_t>(slot)].worker =
        std::thread([this, slot, file, parts = std::move(parts)] {
            StreamSlot& st = m_slots[static_cast<std::size_t>(slot)];
            StreamExit exit{st};
            bool wrote = false;
            for (std::size_t k = 0; k < parts.size(); ++k) {
                const WaveData& d = parts[k].first;
                if (configureSlot(slot, d.format.channels, static_cast<int>(d.format.sampleRate),
                                  parts[k].second) < 0)
                    break;
                const std::size_t whole = d.size / d.format.blockAlign * d.format.blockAlign;
                const WriteResult r = writeSlotPcm(slot, file->data() + d.offset, whole);
                wrote = true;
                drainSlot(slot, k + 1 == parts.size());
                if (r == WriteResult::Stop || st.abort.load(std::memory_order_acquire))
                    break;
            }
            if (!wrote)
                st.finished.store(true, std::memory_order_release);
        });
    return slot;
}

int SoundEngine::startBuffer(const void* data, std::size_t length, const PcmFormat& format)
{
    auto copy = std::make_shared<std::vector<unsigned char>>();
    const bool usable = data && format.channels >= 1 && format.blockAlign > 0 &&
                        format.blockAlign % format.channels == 0 && format.blockAlign / format.channels <= 4;
    if (usable && length > 0) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        copy->assign(bytes, bytes + length);
    }
    const std::lock_guard<std::mutex> lock(m_streamGuard);
    const int slot = takeSlot();
    m_slots[static_cast<std::size_t>(slot)].worker = std::thread([this, slot, copy, format, usable] {
        StreamSlot& st = m_slots[static_cast<std::size_t>(slot)];
        StreamExit exit{st};
        const std::size_t whole = usable ? copy->size() / static_cast<std::size_t>(format.blockAlign) *
                                               static_cast<std::size_t>(format.blockAlign)
                                         : 0;
        if (whole == 0 || configureSlot(slot, format.channels, format.sampleRate,
                                        format.blockAlign / format.channels * 8) < 0) {
            st.finished.store(true, std::memory_order_release);
            return;
        }
        writeSlotPcm(slot, copy->data(), whole);
        drainSlot(slot);
    });
    return slot;
}

} // namespace tonvela::audio
