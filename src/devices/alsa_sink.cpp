#include "devices/alsa_sink.h"

#include <alsa/asoundlib.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace tonvela {
namespace {

// ALSA's library prints its own complaints to standard error (a missing card on a server);
// the sink reports failures through lastError() instead.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Plays through an ALSA PCM device with a small period and few periods, so that what the
// callback renders is heard a few milliseconds later. The audio thread asks for real-time
// scheduling and keeps going at normal priority when that is refused.
class AlsaSink : public AudioSink {
  public:
    explicit AlsaSink(std::string device) : m_device(std::move(device)) {}
    ~AlsaSink() override { AlsaSink::close(); }

    bool open(const Format& wanted) override
    {
        close();
        snd_lib_error_set_handler(quietAlsa);
        snd_pcm_t* pcm = nullptr;
        int err = snd_pcm_open(&pcm, m_device.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
        if (err < 0) {
            m_error = "cannot open the sound device \"" + m_device + "\": " + snd_strerror(err);
            return false;
        }
        snd_pcm_hw_params_t* hw = nullptr;
        snd_pcm_hw_params_alloca(&hw);
        unsigned rate = static_cast<unsigned>(std::clamp(wanted.sampleRate, 8000, 192000));
        snd_pcm_uframes_t period = static_cast<snd_pcm_uframes_t>(std::clamp(wanted.periodFrames, 16, 8192));
        snd_pcm_uframes_t buffer = period * static_cast<snd_pcm_uframes_t>(std::clamp(wanted.periods, 2, 16));
        const char* step = "hardware parameters";
        if ((err = snd_pcm_hw_params_any(pcm, hw)) < 0 ||
            (err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
            (err = snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE)) < 0 ||
            (err = snd_pcm_hw_params_set_channels(pcm, hw, 2)) < 0 ||
            (err = snd_pcm_hw_params_set_rate_near(pcm, hw, &rate, nullptr)) < 0 ||
            (err = snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, nullptr)) < 0 ||
            (err = snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer)) < 0 ||
            (err = snd_pcm_hw_params(pcm, hw)) < 0) {
            m_error = std::string("the sound device refused its ") + step + ": " + snd_strerror(err);
            snd_pcm_close(pcm);
            return false;
        }
        m_pcm = pcm;
        m_format.sampleRate = static_cast<int>(rate);
        m_format.periodFrames = static_cast<int>(period);
        m_format.periods =
            static_cast<int>(std::max<snd_pcm_uframes_t>(1, buffer / std::max<snd_pcm_uframes_t>(period, 1)));
        m_float.assign(period * 2, 0.0f);
        m_pcm16.assign(period * 2, 0);
        return true;
    }

    bool start(AudioCallback& callback) override
    {
        if (!m_pcm) {
            m_error = "the sound device is not open";
            return false;
        }
        stop();
        snd_pcm_prepare(m_pcm);
        m_running.store(true, std::memory_order_release);
        m_thread = std::thread([this, &callback] { run(callback); });
        return true;
    }

    void stop() override
    {
        m_running.store(false, std::memory_order_release);
        if (m_thread.joinable())
            m_thread.join();
        if (m_pcm)
            snd_pcm_drop(m_pcm);
    }

    void close() override
    {
        AlsaSink::stop(); // also reached from the destructor
        if (m_pcm) {
            snd_pcm_close(m_pcm);
            m_pcm = nullptr;
        }
    }

    std::string name() const override { return "ALSA \"" + m_device + "\""; }
    Format format() const override { return m_format; }
    const std::string& lastError() const override { return m_error; }

  private:
    void run(AudioCallback& callback)
    {
        sched_param param{};
        param.sched_priority = std::max(1, sched_get_priority_max(SCHED_FIFO) / 2);
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param); // refused without rights: fine

        const int frames = m_format.periodFrames;
        while (m_running.load(std::memory_order_acquire)) {
            callback.render(m_float.data(), frames);
            for (std::size_t i = 0; i < m_pcm16.size(); ++i) {
                const float s = m_float[i];
                const float c = std::isfinite(s) ? std::clamp(s, -1.0f, 1.0f) : 0.0f;
                m_pcm16[i] = static_cast<int16_t>(std::lrint(c * 32767.0f));
            }
            const int16_t* at = m_pcm16.data();
            snd_pcm_sframes_t left = frames;
            while (left > 0 && m_running.load(std::memory_order_acquire)) {
                const snd_pcm_sframes_t n = snd_pcm_writei(m_pcm, at, static_cast<snd_pcm_uframes_t>(left));
                if (n < 0) {
                    // An underrun or a suspend: recover and write the period again.
                    if (snd_pcm_recover(m_pcm, static_cast<int>(n), 1) < 0) {
                        m_running.store(false, std::memory_order_release);
                        break;
                    }
                    continue;
                }
                at += n * 2;
                left -= n;
            }
        }
    }

    std::string m_device;
    snd_pcm_t* m_pcm = nullptr;
    Format m_format;
    std::vector<float> m_float;
    std::vector<int16_t> m_pcm16;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    std::string m_error;
};

} // namespace

std::unique_ptr<AudioSink> createAlsaSink(const std::string& device)
{
    return std::make_unique<AlsaSink>(device);
}

std::unique_ptr<AudioSink> openDefaultSink(const AudioSink::Format& wanted, std::string* whyNull)
{
    auto alsa = createAlsaSink("default");
    if (alsa->open(wanted))
        return alsa;
    if (whyNull)
        *whyNull = alsa->lastError();
    auto null = createNullSink();
    null->open(wanted);
    return null;
}

} // namespace tonvela
