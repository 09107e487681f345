#pragma once

#include "audio/resampler.h"
#include "audio/sample_conversion.h"
#include "platform/audio_sink.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tonvela {
class Notifier;
}

namespace tonvela::audio {

inline constexpr int kSlotCount = 16;
inline constexpr int kRingSeconds = 3;
inline constexpr int kDrainSilenceFrames = 5000;
inline constexpr int kStopWaitMs = 200;
inline constexpr int kDrainPollMs = 2;

// The PCM format of a slot's ring or of a buffer to play.
struct PcmFormat {
    int channels = 2;
    int sampleRate = 44100;
    int blockAlign = 4;
    int bits = 16;
};

// Something the mixer adds to its output every period, such as the built-in synthesizer.
// renderAdd is called on the audio thread: noexcept, no locks, no allocation.
class AudioSource {
  public:
    virtual ~AudioSource() = default;
    // Renders `frames` frames of interleaved stereo into `scratch` (which it may overwrite).
    virtual void renderInto(float* scratch, int frames) noexcept = 0;
};

enum class WriteResult { Continue, Stop };

// A notification of a slot's ring: set by the mixer when the play position crosses its mark,
// taken by the writer. Setting is one atomic store, so the audio thread never blocks.
class SlotEvent {
  public:
    void set() noexcept { m_set.store(true, std::memory_order_release); }
    void reset() noexcept { m_set.store(false, std::memory_order_release); }
    bool take() noexcept { return m_set.exchange(false, std::memory_order_acq_rel); }
    bool isSet() const noexcept { return m_set.load(std::memory_order_acquire); }

  private:
    std::atomic<bool> m_set{false};
};

// One of the 16 stream outputs: a ring of three seconds of PCM in the stream's own channels
// and sample width, at the output's sample rate, with a play position the mixer advances,
// notifications at one third and two thirds of the ring (and at its start), looping play and
// stop. `format` is the stream's own format; a stream at another rate is resampled by its
// thread on the way into the ring. `playing` and `finished` are the reports the playback reads.
struct StreamSlot {
    std::atomic<int> fileHandle{-1};
    std::atomic<bool> abort{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> playing{false};
    std::atomic<uint32_t> writeOffset{0}; // bytes into the ring
    int bytesPerFrame = 0;
    uint32_t bufferBytes = 0;
    std::vector<unsigned char> staging;
    PcmFormat format;
    std::array<SlotEvent, 3> events; // one third, two thirds, ring start
    std::array<DitherState, 2> dither;

    // The ring ("buffer"). Allocated and resized only by the stream's thread while the mixer
    // does not play it.
    std::vector<unsigned char> ring;
    uint32_t ringFrames = 0;
    bool bufferCreated = false;
    std::atomic<bool> bufferPlaying{false}; // the mixer plays the ring
    std::atomic<bool> mixerBusy{false};     // the mixer is inside this slot right now
    std::atomic<uint64_t> framesWritten{0}; // ring frames since configure, silence included
    std::atomic<uint64_t> framesPlayed{0};

    // When the stream sounds, in output frames of the mixer (SoundEngine::mixedFrames):
    // `startFrame` is the frame its start asked for (-1: as soon as its ring plays); the mixer
    // sets `partStartFrame` to the frame at which it began playing the ring configured last,
    // and the drain sets `partFrames` to the ring frames of data in it (silence left out),
    // with `finalPart` when no ring of the stream follows. All -1 / false until known.
    std::atomic<int64_t> startFrame{-1};
    std::atomic<int64_t> partStartFrame{-1};
    std::atomic<int64_t> partFrames{-1};
    std::atomic<bool> finalPart{false};

    // The stream's rate to the output's, when they differ; with its scratch buffers. Used only
    // by the stream's thread.
    std::unique_ptr<Resampler> resampler;
    std::vector<float> resampleIn;
    std::vector<float> resampleOut;

    // The stream thread writing this slot.
    std::thread worker;
    std::atomic<bool> streamActive{false};
};

// The sound engine: 16 stream slots mixed, together with the built-in synthesizer, into one
// stereo output that an AudioSink plays. Stream threads (one per clip, wave file or buffer)
// decode, resample to the output rate and write their slot's ring; the mixer, called on the
// sink's audio thread, reads the rings frame by frame at their play positions and adds them up
// with clipping protection.
//
// Owns the slots, their stream threads and the sink.
//
// Thread rules:
// - render() runs on the sink's audio thread: noexcept, no locks, no allocation, no logging.
//   It touches a ring only while `bufferPlaying` is set and flags itself in `mixerBusy`.
// - configureSlot, writeSlot, writeSlotPcm and drainSlot are called by the stream thread that
//   owns the slot (or by a test standing in for one).
// - initAudio, shutdown and setSynth come from the owner's thread (the user-interface thread).
// - The start* calls, stopSlot, cancelStream and the reports may come from several threads at
//   once (the user-interface thread starts wave files and bank samples while the playback
//   thread starts and stops clips). Handing out slots, taking over a slot's stream and stopping
//   one are serialized by a lock that neither the audio thread nor the stream threads take;
//   the reports are lock-free reads.
class SoundEngine : public AudioCallback {
  public:
    // `notifier` shows "Wave file size mismatch" for startWave; it is called on the thread
    // that calls startWave.
    explicit SoundEngine(Notifier& notifier);
    ~SoundEngine() override;
    SoundEngine(const SoundEngine&) = delete;
    SoundEngine& operator=(const SoundEngine&) = delete;

    // Starts mixing into `sink`, which must be open. Clears every slot. 0 on success, 1 on
    // failure (no sink, or it would not start).
    int initAudio(std::unique_ptr<AudioSink> sink);
    // Stops every stream and the sink.
    void shutdown();
    bool running() const { return m_running.load(std::memory_order_acquire); }
    int sampleRate() const { return m_rate; }

    // The synthesizer (or any source) mixed in with the slots; nullptr for none. Its rate must
    // be the engine's.
    void setSynth(AudioSource* source) { m_synth.store(source, std::memory_order_release); }

    // ---- slot logic, called by the stream thread of the slot ----
    // Sets up the slot's ring for the format (and a resampler when `rate` is not the output's);
    // a playing slot is drained first. -1 on failure (bad slot or format, no running output),
    // else 0.
    int configureSlot(int slot, int channels, int rate, int bits);
    // Converts decoded fixed-point samples (one array per channel, `channels` of them; a
    // mono slot takes the first) with the dithered conversion, resampled to the output rate
    // first where the slot's rate differs, and writes them into the ring.
    WriteResult writeSlot(int slot, const int32_t* const* samples, int channels, int frames);
    // Writes bytes in the slot's format (whole frames) into the ring: as they are at the output
    // rate, else resampled and converted back to the slot's sample width with dither.
    WriteResult writeSlotPcm(int slot, const unsigned char* bytes, std::size_t length);
    // Lets what was written play out (with what the resampler still holds), followed by
    // silence, then releases the ring. `finalPart` is false when the stream goes on with
    // another ring after this one (a wave file of several data chunks).
    void drainSlot(int slot, bool finalPart = true);

    // Stops a playing slot at once: the mixer leaves it, the writer gives up at its next call.
    // Waits up to `waitMs` for the stream thread to end (200 ms as a stop does; 0 returns at
    // once and lets the thread clean up). Nothing for -1 or a slot that is not playing.
    void stopSlot(int slot, int waitMs = kStopWaitMs);
    // Ends the slot's stream whatever its state, also one still filling its ring before it
    // plays, and returns at once; the stream thread cleans up behind it.
    void cancelStream(int slot);
    // Stops every stream, also those still filling their ring, and waits for their threads.
    void stopAll();

    // ---- stream starters; each returns the slot at once ----
    // Plays an MP3 file through the next slot, from output frame `startFrame` of the mixer
    // (mixedFrames) on, or as soon as its ring plays when that frame is -1 or has passed.
    int startClip(const std::string& path, int64_t startFrame = -1);
    // Plays the data chunks of a wave file through the next slot, from `startFrame` as
    // startClip does. The file is walked on the calling thread (which sees the size message),
    // played on a thread of its own.
    int startWave(const std::string& path, int64_t startFrame = -1);
    // Plays a copy of PCM bytes through the next slot; -1 when the format is unusable.
    int startBuffer(const void* data, std::size_t length, const PcmFormat& format);

    // ---- reports ----
    bool playing(int slot) const;
    bool finished(int slot) const;
    // True while the slot's stream thread still runs.
    bool streamActive(int slot) const;
    // The output frame (of mixedFrames) at which the slot's stream stops sounding: known once
    // the stream has written all its data and its last ring is playing or bound to start at
    // its start frame; -1 until then.
    int64_t endFrame(int slot) const;
    // Output frames the mixer has rendered since the engine was made.
    int64_t mixedFrames() const { return m_mixedFrames.load(std::memory_order_acquire); }
    const StreamSlot* slotAt(int slot) const;

    // Mixer (AudioCallback).
    void render(float* out, int frames) noexcept override;

    // The largest period the mixer handles in one piece; longer requests are split.
    static constexpr int kMaxChunk = 4096;

  private:
    StreamSlot* slotPtr(int slot);
    // Takes the next slot round-robin and ends the stream still in it. Under m_streamGuard.
    int takeSlot();
    void retireStream(StreamSlot& s);
    void beginStream(StreamSlot& s);
    void releaseBuffer(StreamSlot& s);
    bool startPlaying(StreamSlot& s);
    // Waits until `frames` frames fit into the ring; false when the writer must stop.
    bool waitForRoom(StreamSlot& s, uint64_t frames);
    template <typename Fill> WriteResult writeFrames(int slot, int frames, Fill&& fill);
    // Writes the slot's resampleOut (interleaved float in the slot's channels) into the ring.
    WriteResult writeResampled(int slot, StreamSlot& s);
    // Mixes the slot into the chunk of `frames` output frames that starts at output frame
    // `chunkStart`.
    void mixSlot(StreamSlot& s, float* out, int frames, int64_t chunkStart) noexcept;

    Notifier& m_notifier;
    std::unique_ptr<AudioSink> m_sink;
    std::array<StreamSlot, kSlotCount> m_slots;
    std::atomic<AudioSource*> m_synth{nullptr};
    std::atomic<bool> m_running{false};
    int m_rate = 48000;
    std::mutex m_streamGuard; // slot hand-out, stream take-over and stop; never the audio thread
    int m_nextSlot = -1;      // under m_streamGuard
    std::vector<float> m_scratch;
    // Output frames rendered (audio thread writes), and the frame the chunk being mixed ends at:
    // a slot bound to start at or after m_mixingTo is still sure to start exactly then.
    std::atomic<int64_t> m_mixedFrames{0};
    std::atomic<int64_t> m_mixingTo{0};
};

} // namespace tonvela::audio
