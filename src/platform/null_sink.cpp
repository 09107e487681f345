#include "platform/audio_sink.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace tonvela {
namespace {

// Pulls one period at a time and sleeps until the period's end on the steady clock, so the
// callback sees real-time pacing without a device. Deadlines are absolute: a late wake-up
// does not stretch time.
class NullSink : public AudioSink {
  public:
    ~NullSink() override { NullSink::stop(); }

    bool open(const Format& wanted) override
    {
        m_format = wanted;
        m_format.sampleRate = std::clamp(m_format.sampleRate, 8000, 192000);
        m_format.periodFrames = std::clamp(m_format.periodFrames, 16, 8192);
        m_format.periods = std::clamp(m_format.periods, 2, 16);
        m_buffer.assign(static_cast<std::size_t>(m_format.periodFrames) * 2, 0.0f);
        m_open = true;
        return true;
    }

    bool start(AudioCallback& callback) override
    {
        if (!m_open) {
            m_error = "the null output is not open";
            return false;
        }
        stop();
        m_running.store(true, std::memory_order_release);
        m_thread = std::thread([this, &callback] { run(callback); });
        return true;
    }

    void stop() override
    {
        m_running.store(false, std::memory_order_release);
        if (m_thread.joinable())
            m_thread.join();
    }

    void close() override
    {
        stop();
        m_open = false;
    }

    std::string name() const override { return "null output"; }
    Format format() const override { return m_format; }
    const std::string& lastError() const override { return m_error; }

  private:
    void run(AudioCallback& callback)
    {
        using Clock = std::chrono::steady_clock;
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(m_format.periodFrames) / m_format.sampleRate));
        auto deadline = Clock::now();
        while (m_running.load(std::memory_order_acquire)) {
            callback.render(m_buffer.data(), m_format.periodFrames);
            deadline += period;
            const auto now = Clock::now();
            // After a long stall (a suspended machine) start afresh instead of racing to catch up.
            if (now - deadline > std::chrono::milliseconds(200))
                deadline = now;
            std::this_thread::sleep_until(deadline);
        }
    }

    Format m_format;
    std::vector<float> m_buffer;
    bool m_open = false;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    std::string m_error;
};

} // namespace

std::unique_ptr<AudioSink> createNullSink()
{
    return std::make_unique<NullSink>();
}

} // namespace tonvela
