#include "devices/fluid_synth_output.h"

#include "platform/clock.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>

namespace tonvela {
namespace {

// Debian's General MIDI SoundFonts: fluid-soundfont-gm, then timgm6mb-soundfont.
constexpr const char* kSoundFontPaths[] = {
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
};

bool isRegularFile(const char* path)
{
    struct stat st {};
    return path && *path && ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

void quietLog(int, const char*, void*) {}

// FluidSynth prints to the console by default; the workbench shows its own messages instead.
void silenceFluidSynth()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, quietLog, nullptr);
    });
}

int audioCallback(void* data, int len, int /*nfx*/, float** /*fx*/, int nout, float** out)
{
    if (nout < 2 || !out || !out[0] || !out[1])
        return FLUID_OK;
    static_cast<FluidSynthOutput*>(data)->render(out[0], out[1], len);
    return FLUID_OK;
}

} // namespace

std::string findSoundFont()
{
    if (const char* env = std::getenv(kSoundFontEnvironment); isRegularFile(env))
        return env;
    for (const char* p : kSoundFontPaths)
        if (isRegularFile(p))
            return p;
    return {};
}

FluidSynthOutput::FluidSynthOutput(const Clock* clock, FluidSynthOptions options)
    : m_clock(clock), m_options(std::move(options))
{
    m_options.sampleRate = std::clamp(m_options.sampleRate, 8000.0, 192000.0);
}

FluidSynthOutput::~FluidSynthOutput()
{
    FluidSynthOutput::close();
    if (m_synth)
        delete_fluid_synth(m_synth);
    if (m_settings)
        delete_fluid_settings(m_settings);
}

std::string FluidSynthOutput::deviceName(int device) const
{
    return device == 0 ? std::string(kBuiltInSynthName) : std::string();
}

bool FluidSynthOutput::load()
{
    silenceFluidSynth();
    const std::string path = m_options.soundFont.empty() ? findSoundFont() : m_options.soundFont;
    if (path.empty()) {
        m_lastError = "no General MIDI SoundFont found (install fluid-soundfont-gm or "
                      "timgm6mb-soundfont, or set TONVELA_SOUNDFONT)";
        return false;
    }
    fluid_settings_t* settings = new_fluid_settings();
    if (!settings) {
        m_lastError = "FluidSynth could not be set up";
        return false;
    }
    fluid_settings_setnum(settings, "synth.sample-rate", m_options.sampleRate);
    // ALSA's "default" device reaches PulseAudio or PipeWire on a desktop; other drivers (JACK)
    // could start servers of their own.
    fluid_settings_setstr(settings, "audio.driver", "alsa");
    fluid_settings_setint(settings, "synth.midi-channels", 16);
    fluid_synth_t* synth = new_fluid_synth(settings);
    if (!synth) {
        delete_fluid_settings(settings);
        m_lastError = "FluidSynth could not be started";
        return false;
    }
    if (fluid_synth_sfload(synth, path.c_str(), 1) == FLUID_FAILED) {
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
        m_lastError = "the SoundFont \"" + path + "\" could not be loaded";
        return false;
    }
    m_baseGain = fluid_synth_get_gain(synth);
    m_settings = settings;
    m_synth = synth;
    m_soundFontPath = path;
    return true;
}

bool FluidSynthOutput::ensureLoaded()
{
    if (!m_loadTried) {
        m_loadTried = true;
        m_loaded = load();
    }
    return m_loaded;
}

bool FluidSynthOutput::open(int device)
{
    close();
    if (device != 0) {
        m_lastError = "no such device";
        return false;
    }
    if (!ensureLoaded())
        return false;
    fluid_synth_system_reset(m_synth);
    m_gain.store(1.0f, std::memory_order_release);
    fluid_synth_set_gain(m_synth, m_baseGain);
    m_originFrame = renderedFrames();
    m_originUs = m_clock ? m_clock->nowUs() : 0;
    m_active.store(true, std::memory_order_release);
    if (m_options.realTimeAudio) {
        // No audio device (a server without sound, CI): the null output. Messages then go
        // straight to the synthesizer and nothing is heard.
        m_driver = new_fluid_audio_driver2(m_settings, audioCallback, this);
    }
    m_open = true;
    return true;
}

void FluidSynthOutput::close()
{
    if (!m_open)
        return;
    m_open = false;
    if (m_driver) {
        delete_fluid_audio_driver(m_driver);
        m_driver = nullptr;
    }
    m_active.store(false, std::memory_order_release);
    if (m_synth)
        fluid_synth_all_sounds_off(m_synth, -1);
}

bool FluidSynthOutput::push(uint32_t message, int64_t frame)
{
    const std::size_t tail = m_tail.load(std::memory_order_relaxed);
    const std::size_t head = m_head.load(std::memory_order_acquire);
    if (tail - head >= kQueueSize)
        return false;
    m_queue[tail & (kQueueSize - 1)] = {message, frame};
    m_tail.store(tail + 1, std::memory_order_release);
    return true;
}

bool FluidSynthOutput::sendAtFrame(uint32_t message, int64_t frame)
{
    if (!m_open)
        return false;
    // Nothing renders in real time on the null output: apply at once.
    if (m_options.realTimeAudio && !m_driver) {
        applyMessage(message);
        return true;
    }
    return push(message, frame);
}

void FluidSynthOutput::sendShortMessage(uint32_t message)
{
    sendAtFrame(message, -1);
}

void FluidSynthOutput::sendShortMessageAt(uint32_t message, int64_t clockUs)
{
    if (!m_clock) {
        sendAtFrame(message, -1);
        return;
    }
    const double frames = static_cast<double>(clockUs - m_originUs) * m_options.sampleRate / 1e6;
    sendAtFrame(message, m_originFrame + std::llround(frames));
}

void FluidSynthOutput::setVolume(uint32_t leftRight)
{
    const float left = static_cast<float>(leftRight & 0xFFFF) / 65535.0f;
    const float right = static_cast<float>(leftRight >> 16) / 65535.0f;
    m_gain.store((left + right) / 2.0f, std::memory_order_release);
    if (m_open && m_options.realTimeAudio && !m_driver)
        fluid_synth_set_gain(m_synth, m_baseGain * m_gain.load());
}

void FluidSynthOutput::applyMessage(uint32_t message) noexcept
{
    const int status = statusOf(message);
    const int chan = status & 0x0F;
    const int d1 = data1Of(message) & 0x7F;
    const int d2 = data2Of(message) & 0x7F;
    switch (status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(m_synth, chan, d1);
        break;
    case 0x90:
        if (d2 == 0)
            fluid_synth_noteoff(m_synth, chan, d1);
        else
            fluid_synth_noteon(m_synth, chan, d1, d2);
        break;
    case 0xA0:
        fluid_synth_key_pressure(m_synth, chan, d1, d2);
        break;
    case 0xB0:
        fluid_synth_cc(m_synth, chan, d1, d2);
        break;
    case 0xC0:
        fluid_synth_program_change(m_synth, chan, d1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(m_synth, chan, d1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(m_synth, chan, d1 | (d2 << 7));
        break;
    default:
        break; // system messages never reach the port
    }
}

void FluidSynthOutput::renderBlock(float* left, float* right, int offset, int frames, int stride) noexcept
{
    if (frames > 0)
        fluid_synth_write_float(m_synth, frames, left, offset * stride, stride, right, offset * stride,
                                stride);
}

void FluidSynthOutput::renderStrided(float* left, float* right, int frames, int stride) noexcept
{
    if (frames <= 0)
        return;
    const int64_t start = m_renderedFrames.load(std::memory_order_relaxed);
    if (!m_synth || !m_active.load(std::memory_order_acquire)) {
        // Closed: messages left from the last playback are dropped, the output is silent.
        m_head.store(m_tail.load(std::memory_order_acquire), std::memory_order_release);
        for (int i = 0; i < frames; ++i) {
            left[i * stride] = 0.0f;
            right[i * stride] = 0.0f;
        }
        m_renderedFrames.store(start + frames, std::memory_order_release);
        return;
    }
    const float gain = m_baseGain * m_gain.load(std::memory_order_acquire);
    if (fluid_synth_get_gain(m_synth) != gain)
        fluid_synth_set_gain(m_synth, gain);

    int done = 0;
    while (done < frames) {
        const int64_t pos = start + done;
        // Apply every message due at or before this position, then render up to the next one.
        int until = frames;
        for (;;) {
            const std::size_t head = m_head.load(std::memory_order_relaxed);
            if (head == m_tail.load(std::memory_order_acquire))
                break;
            const Queued& q = m_queue[head & (kQueueSize - 1)];
            if (q.frame > pos) {
                until = static_cast<int>(std::min<int64_t>(frames, q.frame - start));
                break;
            }
            applyMessage(q.message);
            m_head.store(head + 1, std::memory_order_release);
        }
        renderBlock(left, right, done, until - done, stride);
        done = until;
    }
    m_renderedFrames.store(start + frames, std::memory_order_release);
}

void FluidSynthOutput::render(float* left, float* right, int frames) noexcept
{
    renderStrided(left, right, frames, 1);
}

void FluidSynthOutput::renderInterleaved(float* leftRight, int frames) noexcept
{
    renderStrided(leftRight, leftRight + 1, frames, 2);
}

} // namespace tonvela
