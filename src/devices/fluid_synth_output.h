#pragma once

#include "platform/midi_output.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

// FluidSynth's own type names, declared so that this header need not include fluidsynth.h.
typedef struct _fluid_hashtable_t fluid_settings_t;        // NOLINT(bugprone-reserved-identifier)
typedef struct _fluid_synth_t fluid_synth_t;               // NOLINT(bugprone-reserved-identifier)
typedef struct _fluid_audio_driver_t fluid_audio_driver_t; // NOLINT(bugprone-reserved-identifier)

namespace tonvela {

inline constexpr const char* kBuiltInSynthName = "Built-in Synthesizer (FluidSynth)";
inline constexpr const char* kSoundFontEnvironment = "TONVELA_SOUNDFONT";

// The General MIDI SoundFont the built-in synthesizer loads: the file named by the environment
// variable TONVELA_SOUNDFONT when it exists, else the first of Debian's General MIDI SoundFonts
// that is installed. Empty when there is none.
std::string findSoundFont();

struct FluidSynthOptions {
    double sampleRate = 44100.0;
    // True: sound through FluidSynth's own audio driver (ALSA "default"), or through nothing
    // when no audio device opens. False: nothing renders unless the owner calls render().
    bool realTimeAudio = true;
    // The SoundFont to load; empty to find one with findSoundFont() when first needed.
    std::string soundFont;
};

// The built-in synthesizer: one MIDI output device (device 0 of the system list) that plays
// General MIDI through FluidSynth.
//
// It owns the FluidSynth settings, synthesizer and audio driver. The SoundFont is found and
// loaded once, on the first open, never at construction. Messages reach the synthesizer through
// a fixed-size lock-free queue (one producer, one consumer), each with the sample position at
// which it applies; render() applies every message inside the FluidSynth block (64 frames) that
// contains its position, not at the start of the next audio period.
//
// Thread rules:
// - deviceCount and deviceName: any thread.
// - open, close, isOpen, setVolume, the sends and sendAtFrame follow MidiOutput's rule: one
//   thread at a time, handed over by a thread start or join. In playback the user-interface
//   thread opens and the playback thread sends and closes; the sends are the queue's one
//   producer.
// - render() runs on one other thread at a time (the audio driver's, the sound engine's audio
//   thread, or the caller's for offline rendering) and is the queue's one consumer; it is
//   noexcept, never allocates, never locks a lock of ours and never logs. While the device is
//   closed it renders silence and drops what is left in the queue.
class FluidSynthOutput : public MidiOutput {
  public:
    // `clock` maps stamped messages (sendShortMessageAt) to sample positions; without one they
    // apply at once.
    explicit FluidSynthOutput(const Clock* clock = nullptr, FluidSynthOptions options = {});
    ~FluidSynthOutput() override;
    FluidSynthOutput(const FluidSynthOutput&) = delete;
    FluidSynthOutput& operator=(const FluidSynthOutput&) = delete;

    int deviceCount() const override { return 1; }
    std::string deviceName(int device) const override;
    bool open(int device) override;
    bool isOpen() const override { return m_open; }
    void close() override;
    void sendShortMessage(uint32_t message) override;
    void sendShortMessageAt(uint32_t message, int64_t clockUs) override;
    void setVolume(uint32_t leftRight) override;

    // Queues a message for the sample position `frame` of the rendered stream. False when the
    // device is not open or the queue is full (the message is dropped).
    bool sendAtFrame(uint32_t message, int64_t frame);

    // Renders the next `frames` frames. Silence while closed or without a SoundFont.
    void render(float* left, float* right, int frames) noexcept;
    // The same into one buffer of interleaved left/right pairs.
    void renderInterleaved(float* leftRight, int frames) noexcept;
    int64_t renderedFrames() const { return m_renderedFrames.load(std::memory_order_acquire); }

    // The SoundFont loaded, after a successful load.
    const std::string& soundFontPath() const { return m_soundFontPath; }
    // Why the last open failed.
    const std::string& lastError() const { return m_lastError; }

  private:
    struct Queued {
        uint32_t message;
        int64_t frame;
    };
    static constexpr std::size_t kQueueSize = 8192; // a power of two

    bool ensureLoaded();
    bool load();
    void applyMessage(uint32_t message) noexcept;
    void renderBlock(float* left, float* right, int offset, int frames, int stride) noexcept;
    void renderStrided(float* left, float* right, int frames, int stride) noexcept;
    bool push(uint32_t message, int64_t frame);

    const Clock* m_clock;
    FluidSynthOptions m_options;
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    fluid_audio_driver_t* m_driver = nullptr;
    bool m_loadTried = false;
    bool m_loaded = false;
    std::string m_soundFontPath;
    std::string m_lastError;
    bool m_open = false;
    float m_baseGain = 0.2f;

    std::atomic<bool> m_active{false}; // render plays only while open
    std::atomic<int64_t> m_renderedFrames{0};
    std::atomic<float> m_gain{1.0f};
    std::atomic<bool> m_resetPending{false};
    int64_t m_originUs = 0;
    int64_t m_originFrame = 0;

    std::array<Queued, kQueueSize> m_queue{};
    std::atomic<std::size_t> m_head{0}; // written by the consumer (render)
    std::atomic<std::size_t> m_tail{0}; // written by the producer
};

} // namespace tonvela
