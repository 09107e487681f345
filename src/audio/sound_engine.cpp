#include "audio/sound_engine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <new>

namespace tonvela::audio {
namespace {

using std::chrono::milliseconds;
using SteadyTime = std::chrono::steady_clock;

// A writer or a drain whose play position does not move for this long gives up: the output
// has died under it, and waiting longer would hang the stream thread.
constexpr milliseconds kStallLimit{1500};

float readSample(const unsigned char* p, int bits) noexcept
{
    switch (bits) {
    case 8:
        return (static_cast<float>(p[0]) - 128.0f) * (1.0f / 128.0f);
    case 16:
        return static_cast<float>(static_cast<int16_t>(p[0] | (p[1] << 8))) * (1.0f / 32768.0f);
    case 24: {
        const int32_t v =
            static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 8) | (static_cast<uint32_t>(p[1]) << 16) |
                                 (static_cast<uint32_t>(p[2]) << 24)) >>
            8;
        return static_cast<float>(v) * (1.0f / 8388608.0f);
    }
    default: {
        const int32_t v =
            static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                 (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
        return static_cast<float>(v) * (1.0f / 2147483648.0f);
    }
    }
}

// The value of silence in a ring of `bits`: 8-bit PCM is unsigned with its zero at 128.
unsigned char silenceByte(int bits)
{
    return bits == 8 ? 0x80 : 0x00;
}

void storeSample(unsigned char* p, int32_t v, int bytes) noexcept
{
    if (bytes == 1) {
        // 8-bit PCM is unsigned: the signed result is stored with its sign bit flipped.
        p[0] = static_cast<unsigned char>((v + 128) & 0xFF);
        return;
    }
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<unsigned char>((u >> (8 * i)) & 0xFF);
}

// True when the play position moving from `from` to `to` (frames since the start) passes the
// ring position `mark`.
bool crosses(uint64_t from, uint64_t to, uint64_t mark, uint64_t ringFrames) noexcept
{
    if (to <= from || ringFrames == 0)
        return false;
    const auto cycle = [&](uint64_t x) { return (x + ringFrames - mark) / ringFrames; };
    return cycle(to) != cycle(from);
}

} // namespace

SoundEngine::SoundEngine(Notifier& notifier) : m_notifier(notifier)
{
    m_scratch.assign(static_cast<std::size_t>(kMaxChunk) * 2, 0.0f);
}

SoundEngine::~SoundEngine()
{
    shutdown();
}

int SoundEngine::initAudio(std::unique_ptr<AudioSink> sink)
{
    shutdown();
    if (!sink)
        return 1;
    m_sink = std::move(sink);
    m_rate = m_sink->format().sampleRate;
    for (auto& s : m_slots) {
        s.abort = false;
        s.finished = false;
        s.playing = false;
        s.writeOffset = 0;
        s.bufferCreated = false;
        s.bufferPlaying = false;
        for (auto& e : s.events)
            e.reset();
    }
    m_running.store(true, std::memory_order_release);
    if (!m_sink->start(*this)) {
        m_running.store(false, std::memory_order_release);
        m_sink.reset();
        return 1;
    }
    return 0;
}

void SoundEngine::shutdown()
{
    stopAll();
    m_running.store(false, std::memory_order_release);
    if (m_sink) {
        m_sink->stop();
        m_sink->close();
        m_sink.reset();
    }
}

StreamSlot* SoundEngine::slotPtr(int slot)
{
    return slot >= 0 && slot < kSlotCount ? &m_slots[static_cast<std::size_t>(slot)] : nullptr;
}

const StreamSlot* SoundEngine::slotAt(int slot) const
{
    return slot >= 0 && slot < kSlotCount ? &m_slots[static_cast<std::size_t>(slot)] : nullptr;
}

bool SoundEngine::playing(int slot) const
{
    const StreamSlot* s = slotAt(slot);
    return s && s->playing.load(std::memory_order_acquire);
}

bool SoundEngine::finished(int slot) const
{
    const StreamSlot* s = slotAt(slot);
    return s && s->finished.load(std::memory_order_acquire);
}

bool SoundEngine::streamActive(int slot) const
{
    const StreamSlot* s = slotAt(slot);
    return s && s->streamActive.load(std::memory_order_acquire);
}

int64_t SoundEngine::endFrame(int slot) const
{
    const StreamSlot* s = slotAt(slot);
    if (!s || !s->finalPart.load(std::memory_order_acquire))
        return -1;
    const int64_t frames = s->partFrames.load(std::memory_order_acquire);
    if (frames < 0)
        return -1;
    int64_t first = s->partStartFrame.load(std::memory_order_acquire);
    if (first < 0) {
        // Not sounding yet. A playing ring bound to a frame the mixer has not reached will
        // start exactly there: the chunk holding that frame begins after this look and sees
        // the ring playing.
        const int64_t at = s->startFrame.load(std::memory_order_acquire);
        if (at < 0 || !s->bufferPlaying.load(std::memory_order_seq_cst) ||
            at < m_mixingTo.load(std::memory_order_seq_cst))
            return -1;
        first = at;
    }
    return first + frames;
}

void SoundEngine::releaseBuffer(StreamSlot& s)
{
    s.bufferPlaying.store(false, std::memory_order_seq_cst);
    // The mixer checks bufferPlaying after raising mixerBusy, so once busy is seen clear it will
    // not touch this ring again until the next start.
    while (s.mixerBusy.load(std::memory_order_seq_cst))
        std::this_thread::yield();
    s.bufferCreated = false;
}

bool SoundEngine::startPlaying(StreamSlot& s)
{
    if (!running() || !s.bufferCreated)
        return false;
    s.playing.store(true, std::memory_order_release);
    s.bufferPlaying.store(true, std::memory_order_release);
    return true;
}

int SoundEngine::configureSlot(int slot, int channels, int rate, int bits)
{
    StreamSlot* s = slotPtr(slot);
    if (!s)
        return -1;
    bits = normalizeBits(bits);
    if (s->playing.load(std::memory_order_acquire))
        drainSlot(slot);
    if (channels < 1 || channels > 8 || rate < 1000 || rate > 384000 || !running())
        return -1;
    releaseBuffer(*s);
    const int bytesPerFrame = channels * bits / 8;
    // The ring holds three seconds at the output rate: streams at other rates are resampled on
    // their way in, so the mixer reads one ring frame per output frame.
    const auto ringFrames = static_cast<uint32_t>(kRingSeconds * m_rate);
    s->resampler.reset();
    try {
        s->ring.assign(static_cast<std::size_t>(ringFrames) * static_cast<std::size_t>(bytesPerFrame),
                       silenceByte(bits));
        if (rate != m_rate) {
            s->resampler = std::make_unique<Resampler>(channels, rate, m_rate);
            if (!s->resampler->ok())
                return -1;
        }
    } catch (const std::bad_alloc&) {
        return -1;
    }
    s->format = PcmFormat{channels, rate, bytesPerFrame, bits};
    s->bytesPerFrame = bytesPerFrame;
    s->ringFrames = ringFrames;
    s->bufferBytes = ringFrames * static_cast<uint32_t>(bytesPerFrame);
    s->writeOffset = 0;
    s->framesWritten = 0;
    s->framesPlayed = 0;
    s->partStartFrame.store(-1, std::memory_order_release);
    s->partFrames.store(-1, std::memory_order_release);
    s->finalPart.store(false, std::memory_order_release);
    s->dither = {};
    for (auto& e : s->events)
        e.reset();
    s->bufferCreated = true;
    return 0;
}

bool SoundEngine::waitForRoom(StreamSlot& s, uint64_t frames)
{
    uint64_t lastPlayed = s.framesPlayed.load(std::memory_order_acquire);
    auto lastMove = SteadyTime::now();
    for (;;) {
        if (s.abort.load(std::memory_order_acquire) || !running())
            return false;
        const uint64_t played = s.framesPlayed.load(std::memory_order_acquire);
        const uint64_t unplayed = s.framesWritten.load(std::memory_order_relaxed) - played;
        if (unplayed + frames <= s.ringFrames)
            return true;
        if (played != lastPlayed) {
            lastPlayed = played;
            lastMove = SteadyTime::now();
        } else if (SteadyTime::now() - lastMove > kStallLimit) {
            return false;
        }
        // Sleep until the play position reaches its next notification mark; the short poll
        // also notices an abort and a stalled output.
        bool woke = false;
        for (int i = 0; i < 20 && !woke; ++i) {
            for (auto& e : s.events)
                woke = e.take() || woke;
            if (!woke)
                std::this_thread::sleep_for(milliseconds(1));
        }
    }
}

template <typename Fill> WriteResult SoundEngine::writeFrames(int slot, int frames, Fill&& fill)
{
    StreamSlot* s = slotPtr(slot);
    if (!s || !s->bufferCreated || s->abort.load(std::memory_order_acquire))
        return WriteResult::Stop;
    const int chunkMax = std::max<int>(1, static_cast<int>(s->ringFrames / 4));
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, chunkMax);
        if (s->playing.load(std::memory_order_acquire) && !waitForRoom(*s, static_cast<uint64_t>(n)))
            return WriteResult::Stop;
        if (s->abort.load(std::memory_order_acquire))
            return WriteResult::Stop;

        const uint32_t offset =
            s->writeOffset.load(std::memory_order_relaxed) % std::max<uint32_t>(s->bufferBytes, 1);

        const std::size_t length = static_cast<std::size_t>(n) * static_cast<std::size_t>(s->bytesPerFrame);
        const std::size_t first = s->bufferBytes - offset;
        if (first < length) {
            // The block wraps at the ring's end: convert it aside and copy it in two parts.
            s->staging.resize(length);
            fill(*s, s->staging.data(), done, n);
            std::memcpy(s->ring.data() + offset, s->staging.data(), first);
            std::memcpy(s->ring.data(), s->staging.data() + first, length - first);
            s->writeOffset.store(static_cast<uint32_t>(length - first), std::memory_order_relaxed);
        } else {
            fill(*s, s->ring.data() + offset, done, n);
            const std::size_t next = offset + length;
            s->writeOffset.store(static_cast<uint32_t>(next == s->bufferBytes ? 0 : next),
                                 std::memory_order_relaxed);
        }
        s->framesWritten.fetch_add(static_cast<uint64_t>(n), std::memory_order_release);
        done += n;

        if (!s->playing.load(std::memory_order_acquire) &&
            s->framesWritten.load(std::memory_order_relaxed) * static_cast<uint64_t>(s->bytesPerFrame) >
                2ull * s->bufferBytes / 3) {
            if (!startPlaying(*s)) {
                // A filled ring that cannot be started ends its stream as one that never played.
                releaseBuffer(*s);
                s->finished.store(true, std::memory_order_release);
                return WriteResult::Stop;
            }
        }
    }
    return s->abort.load(std::memory_order_acquire) ? WriteResult::Stop : WriteResult::Continue;
}

WriteResult SoundEngine::writeResampled(int slot, StreamSlot& s)
{
    const auto channels = static_cast<std::size_t>(s.format.channels);
    const std::size_t frames = s.resampleOut.size() / channels;
    if (frames == 0)
        return s.abort.load(std::memory_order_acquire) ? WriteResult::Stop : WriteResult::Continue;
    constexpr float kOne = static_cast<float>(1 << kFixedFractionBits);
    return writeFrames(
        slot, static_cast<int>(frames), [channels](StreamSlot& st, unsigned char* dst, int from, int n) {
            const int bits = st.format.bits;
            const int bytes = bits / 8;
            const float* src = st.resampleOut.data() + static_cast<std::size_t>(from) * channels;
            for (std::size_t i = 0; i < static_cast<std::size_t>(n) * channels; ++i) {
                // Back to fixed point for the dithered conversion; the clamp keeps an overshoot of
                // the filter (or a corrupt stream) inside 32 bits, the conversion then clips it.
                const auto x = static_cast<int32_t>(std::lrint(std::clamp(src[i], -7.9f, 7.9f) * kOne));
                DitherState& state = st.dither[std::min<std::size_t>(i % channels, 1)];
                storeSample(dst, ditherSample(x, bits, state), bytes);
                dst += bytes;
            }
        });
}

WriteResult SoundEngine::writeSlot(int slot, const int32_t* const* samples, int channels, int frames)
{
    if (!samples || channels < 1 || frames <= 0)
        return frames == 0 ? WriteResult::Continue : WriteResult::Stop;
    StreamSlot* s = slotPtr(slot);
    if (s && s->bufferCreated && s->resampler) {
        const int out = s->format.channels;
        constexpr float kScale = 1.0f / static_cast<float>(1 << kFixedFractionBits);
        s->resampleIn.resize(static_cast<std::size_t>(frames) * static_cast<std::size_t>(out));
        float* to = s->resampleIn.data();
        for (int f = 0; f < frames; ++f)
            for (int c = 0; c < out; ++c)
                *to++ = static_cast<float>(samples[std::min(c, channels - 1)][f]) * kScale;
        s->resampleOut.clear();
        s->resampler->process(s->resampleIn.data(), static_cast<std::size_t>(frames), s->resampleOut);
        return writeResampled(slot, *s);
    }
    return writeFrames(
        slot, frames, [samples, channels](StreamSlot& st, unsigned char* dst, int from, int n) {
            const int out = st.format.channels;
            const int bytes = st.format.bits / 8;
            for (int f = 0; f < n; ++f) {
                for (int c = 0; c < out; ++c) {
                    const int32_t* src = samples[std::min(c, channels - 1)];
                    DitherState& state = st.dither[static_cast<std::size_t>(std::min(c, 1))];
                    storeSample(dst, ditherSample(src[from + f], st.format.bits, state), bytes);
                    dst += bytes;
                }
            }
        });
}

WriteResult SoundEngine::writeSlotPcm(int slot, const unsigned char* bytes, std::size_t length)
{
    StreamSlot* s = slotPtr(slot);
    if (!s || !s->bufferCreated || s->bytesPerFrame <= 0)
        return WriteResult::Stop;
    const auto bpf = static_cast<std::size_t>(s->bytesPerFrame);
    const std::size_t frames = length / bpf;
    if (s->resampler) {
        // Decoded to float a block at a time, resampled, and written back at the slot's width.
        constexpr std::size_t kBlock = 4096;
        const int bits = s->format.bits;
        const auto width = static_cast<std::size_t>(bits / 8);
        const auto channels = static_cast<std::size_t>(s->format.channels);
        for (std::size_t done = 0; done < frames;) {
            const std::size_t n = std::min(frames - done, kBlock);
            s->resampleIn.resize(n * channels);
            const unsigned char* from = bytes + done * bpf;
            for (std::size_t i = 0; i < n * channels; ++i)
                s->resampleIn[i] = readSample(from + i * width, bits);
            s->resampleOut.clear();
            s->resampler->process(s->resampleIn.data(), n, s->resampleOut);
            if (writeResampled(slot, *s) == WriteResult::Stop)
                return WriteResult::Stop;
            done += n;
        }
        return WriteResult::Continue;
    }
    constexpr std::size_t kBlock = 1 << 20;
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(frames - done, kBlock);
        const unsigned char* from = bytes + done * bpf;
        const WriteResult r = writeFrames(slot, static_cast<int>(n),
                                          [from, bpf](StreamSlot&, unsigned char* dst, int at, int count) {
                                              std::memcpy(dst, from + static_cast<std::size_t>(at) * bpf,
                                                          static_cast<std::size_t>(count) * bpf);
                                          });
        if (r == WriteResult::Stop)
            return r;
        done += n;
    }
    return WriteResult::Continue;
}

void SoundEngine::drainSlot(int slot, bool finalPart)
{
    StreamSlot* s = slotPtr(slot);
    if (!s)
        return;
    if (s->abort.load(std::memory_order_acquire)) {
        releaseBuffer(*s);
        s->playing.store(false, std::memory_order_release);
        return;
    }
    if (s->bufferCreated && s->resampler) {
        // The filter's last output belongs to the stream: it goes in before the silence.
        s->resampleOut.clear();
        s->resampler->finish(s->resampleOut);
        writeResampled(slot, *s);
    }
    if (!s->playing.load(std::memory_order_acquire)) {
        if (!s->bufferCreated || s->framesWritten.load(std::memory_order_acquire) == 0 || !startPlaying(*s)) {
            releaseBuffer(*s);
            s->finished.store(true, std::memory_order_release);
            return;
        }
    }
    const uint64_t dataEnd = s->framesWritten.load(std::memory_order_acquire);
    // The data is complete: where it ends is known from here on.
    s->partFrames.store(static_cast<int64_t>(dataEnd), std::memory_order_release);
    s->finalPart.store(finalPart, std::memory_order_release);
    writeFrames(slot, kDrainSilenceFrames, [](StreamSlot& st, unsigned char* dst, int, int count) {
        std::memset(dst, silenceByte(st.format.bits),
                    static_cast<std::size_t>(count) * static_cast<std::size_t>(st.bytesPerFrame));
    });

    uint64_t lastPlayed = s->framesPlayed.load(std::memory_order_acquire);
    auto lastMove = SteadyTime::now();
    while (!s->abort.load(std::memory_order_acquire) && running()) {
        const uint64_t played = s->framesPlayed.load(std::memory_order_acquire);
        if (played >= dataEnd)
            break;
        if (played != lastPlayed) {
            lastPlayed = played;
            lastMove = SteadyTime::now();
        } else if (SteadyTime::now() - lastMove > kStallLimit) {
            break;
        }
        std::this_thread::sleep_for(milliseconds(kDrainPollMs));
    }
    releaseBuffer(*s);
    s->playing.store(false, std::memory_order_release);
}

void SoundEngine::stopSlot(int slot, int waitMs)
{
    StreamSlot* s = slotPtr(slot);
    if (!s)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_streamGuard);
        if (!s->playing.load(std::memory_order_acquire))
            return;
        s->bufferPlaying.store(false, std::memory_order_seq_cst);
        s->playing.store(false, std::memory_order_release);
        s->abort.store(true, std::memory_order_release);
        s->writeOffset.store(0, std::memory_order_relaxed);
        for (auto& e : s->events)
            e.set();
    }
    // The stream thread sees the abort at its next write and ends, closing its own file and
    // releasing the ring; wait for that rather than pull them from under it.
    const auto until = SteadyTime::now() + milliseconds(std::max(waitMs, 0));
    while (s->streamActive.load(std::memory_order_acquire) && SteadyTime::now() < until)
        std::this_thread::sleep_for(milliseconds(1));
}

void SoundEngine::cancelStream(int slot)
{
    StreamSlot* s = slotPtr(slot);
    if (!s)
        return;
    const std::lock_guard<std::mutex> lock(m_streamGuard);
    if (!s->streamActive.load(std::memory_order_acquire))
        return;
    s->abort.store(true, std::memory_order_release);
    s->bufferPlaying.store(false, std::memory_order_seq_cst);
    s->playing.store(false, std::memory_order_release);
    for (auto& e : s->events)
        e.set();
}

void SoundEngine::retireStream(StreamSlot& s)
{
    s.abort.store(true, std::memory_order_release);
    s.bufferPlaying.store(false, std::memory_order_seq_cst);
    s.playing.store(false, std::memory_order_release);
    for (auto& e : s.events)
        e.set();
    if (s.worker.joinable())
        s.worker.join();
    if (s.bufferCreated)
        releaseBuffer(s);
}

void SoundEngine::stopAll()
{
    const std::lock_guard<std::mutex> lock(m_streamGuard);
    for (auto& s : m_slots)
        retireStream(s);
}

void SoundEngine::beginStream(StreamSlot& s)
{
    s.finished.store(false, std::memory_order_release);
    s.abort.store(false, std::memory_order_release);
    s.playing.store(false, std::memory_order_release);
    s.writeOffset.store(0, std::memory_order_relaxed);
    s.startFrame.store(-1, std::memory_order_release);
    s.partStartFrame.store(-1, std::memory_order_release);
    s.partFrames.store(-1, std::memory_order_release);
    s.finalPart.store(false, std::memory_order_release);
    s.streamActive.store(true, std::memory_order_release);
}

int SoundEngine::takeSlot()
{
    m_nextSlot = (m_nextSlot + 1) % kSlotCount;
    // A slot still in use is taken over: its old stream is stopped first, so two writers never
    // share one ring.
    StreamSlot& s = m_slots[static_cast<std::size_t>(m_nextSlot)];
    retireStream(s);
    beginStream(s);
    return m_nextSlot;
}

void SoundEngine::mixSlot(StreamSlot& s, float* out, int frames, int64_t chunkStart) noexcept
{
    s.mixerBusy.store(true, std::memory_order_seq_cst);
    if (!s.bufferPlaying.load(std::memory_order_seq_cst) || s.ringFrames == 0) {
        s.mixerBusy.store(false, std::memory_order_release);
        return;
    }
    if (s.partStartFrame.load(std::memory_order_relaxed) < 0) {
        // The ring's first sound: at the frame its start asked for, or now when that has passed.
        const int64_t at = s.startFrame.load(std::memory_order_acquire);
        if (at >= chunkStart + frames) {
            s.mixerBusy.store(false, std::memory_order_release);
            return;
        }
        const int64_t skip = at > chunkStart ? at - chunkStart : 0;
        s.partStartFrame.store(chunkStart + skip, std::memory_order_release);
        out += 2 * skip;
        frames -= static_cast<int>(skip);
    }
    const uint64_t written = s.framesWritten.load(std::memory_order_acquire);
    const uint64_t start = s.framesPlayed.load(std::memory_order_relaxed);
    const uint64_t ringFrames = s.ringFrames;
    const unsigned char* ring = s.ring.data();
    const int bits = s.format.bits;
    const int bytes = bits / 8;
    const bool stereo = s.format.channels > 1;
    const auto bpf = static_cast<uint64_t>(s.bytesPerFrame);
    // The ring is at the output rate: one ring frame per output frame.
    const int n = written > start
                      ? static_cast<int>(std::min<uint64_t>(static_cast<uint64_t>(frames), written - start))
                      : 0;
    uint64_t at = start % ringFrames;
    for (int i = 0; i < n; ++i) {
        const unsigned char* frame = ring + at * bpf;
        const float l = readSample(frame, bits);
        out[2 * i] += l;
        out[2 * i + 1] += stereo ? readSample(frame + bytes, bits) : l;
        if (++at == ringFrames)
            at = 0;
    }
    const uint64_t played = start + static_cast<uint64_t>(n);
    s.framesPlayed.store(played, std::memory_order_release);
    if (crosses(start, played, ringFrames / 3, ringFrames))
        s.events[0].set();
    if (crosses(start, played, 2 * ringFrames / 3, ringFrames))
        s.events[1].set();
    if (crosses(start, played, 0, ringFrames))
        s.events[2].set();
    s.mixerBusy.store(false, std::memory_order_release);
}

void SoundEngine::render(float* out, int frames) noexcept
{
    while (frames > 0) {
        const int n = std::min(frames, kMaxChunk);
        std::fill(out, out + 2 * n, 0.0f);
        if (AudioSource* synth = m_synth.load(std::memory_order_acquire)) {
            synth->renderInto(m_scratch.data(), n);
            for (int i = 0; i < 2 * n; ++i)
                out[i] += m_scratch[static_cast<std::size_t>(i)];
        }
        const int64_t chunkStart = m_mixedFrames.load(std::memory_order_relaxed);
        m_mixingTo.store(chunkStart + n, std::memory_order_seq_cst);
        for (auto& s : m_slots)
            if (s.bufferPlaying.load(std::memory_order_seq_cst))
                mixSlot(s, out, n, chunkStart);
        // Many loud streams at once add up past full scale: hold the sum at full scale rather
        // than let an integer conversion downstream wrap it around.
        for (int i = 0; i < 2 * n; ++i) {
            const float v = out[i];
            out[i] = std::isfinite(v) ? std::clamp(v, -1.0f, 1.0f) : 0.0f;
        }
        m_mixedFrames.store(chunkStart + n, std::memory_order_release);
        out += 2 * n;
        frames -= n;
    }
}

} // namespace tonvela::audio
