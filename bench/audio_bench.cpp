// Sound engine figures: the mixer's cost for 16 slots plus the synthesizer, MP3 decoding speed,
// and how long a note sent to the built-in synthesizer takes to reach the output.
#include "audio/mp3_decoder.h"
#include "audio/resampler.h"
#include "audio/sound_engine.h"
#include "devices/fluid_synth_output.h"
#include "platform/audio_sink.h"
#include "platform/midi_output.h"
#include "platform/notifier.h"
#include "playback/synth_source.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace tonvela;
using namespace tonvela::audio;

constexpr int kRate = 48000;
constexpr int kPeriod = 128;

// A sink the benchmark pulls by hand.
class PulledSink : public AudioSink {
  public:
    bool open(const Format&) override { return true; }
    bool start(AudioCallback& c) override
    {
        m_cb = &c;
        return true;
    }
    void stop() override { m_cb = nullptr; }
    void close() override {}
    std::string name() const override { return "pulled"; }
    Format format() const override
    {
        Format f;
        f.sampleRate = kRate;
        f.periodFrames = kPeriod;
        return f;
    }
    const std::string& lastError() const override { return m_error; }
    void pull(float* out, int frames) { m_cb->render(out, frames); }

  private:
    AudioCallback* m_cb = nullptr;
    std::string m_error;
};

void fillSlots(SoundEngine& engine)
{
    // 2.1 s of stereo in every slot: past the two-thirds start, so all 16 play. The rings hold
    // the output rate whatever the stream's rate (a writer resamples on the way in, which
    // BM_Mp3DecodeResampledTo48k measures), so the mixer's work is the same for any stream;
    // data at the output rate keeps the untimed refills quick.
    const int frames = kRate * 21 / 10;
    std::vector<int32_t> left(static_cast<std::size_t>(frames)), right(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        left[static_cast<std::size_t>(i)] = static_cast<int32_t>(std::sin(i * 0.05) * (1 << 24));
        right[static_cast<std::size_t>(i)] = -left[static_cast<std::size_t>(i)];
    }
    const int32_t* channels[2] = {left.data(), right.data()};
    for (int s = 0; s < kSlotCount; ++s) {
        engine.configureSlot(s, 2, kRate, 16);
        engine.writeSlot(s, channels, 2, frames);
    }
}

void BM_Mix16SlotsAndSynthesizer(benchmark::State& state)
{
    CollectingNotifier notifier;
    SoundEngine engine(notifier);
    auto sink = std::make_unique<PulledSink>();
    PulledSink* pulled = sink.get();
    engine.initAudio(std::move(sink));
    FluidSynthOptions options;
    options.sampleRate = kRate;
    options.realTimeAudio = false;
    FluidSynthOutput synth(nullptr, options);
    FluidSynthSource source(synth);
    const bool synthOn = synth.open(0);
    if (synthOn) {
        for (int ch = 0; ch < 8; ++ch)
            synth.sendShortMessage(packShortMessage(0x90 | ch, 48 + 5 * ch, 100));
        engine.setSynth(&source);
    }
    fillSlots(engine);
    std::vector<float> out(kPeriod * 2);
    int periods = 0;
    for ([[maybe_unused]] auto _ : state) {
        pulled->pull(out.data(), kPeriod);
        benchmark::DoNotOptimize(out.data());
        if (++periods == 600) { // before the slots run dry, fill them again
            state.PauseTiming();
            engine.stopAll();
            fillSlots(engine);
            periods = 0;
            state.ResumeTiming();
        }
    }
    engine.setSynth(nullptr);
    engine.shutdown();
    // Share of one core: seconds of work per second of audio.
    state.counters["core_share"] =
        benchmark::Counter(static_cast<double>(kPeriod) / kRate,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["synth"] = synthOn ? 1 : 0;
}
BENCHMARK(BM_Mix16SlotsAndSynthesizer)->Unit(benchmark::kMicrosecond);

std::string makeMp3(double seconds)
{
    const std::string dir = "/tmp/tonvela-audio-bench-" + std::to_string(::getpid());
    const std::string cmd = "mkdir -p " + dir + " && sox -n -r 44100 -c 2 " + dir + "/t.wav synth " +
                            std::to_string(seconds) + " sine 300-3000 vol 0.5 && lame --quiet -b 192 " + dir +
                            "/t.wav " + dir + "/t.mp3";
    if (std::system((cmd + " >/dev/null 2>&1").c_str()) != 0)
        return {};
    std::ifstream in(dir + "/t.mp3", std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::system(("rm -rf " + dir).c_str());
    return bytes;
}

void BM_Mp3Decode(benchmark::State& state)
{
    static const std::string mp3 = makeMp3(10.0);
    if (mp3.empty()) {
        state.SkipWithError("sox or lame is missing");
        return;
    }
    long elapsedMs = 0;
    for ([[maybe_unused]] auto _ : state) {
        MemoryMp3Input input(reinterpret_cast<const unsigned char*>(mp3.data()), mp3.size());
        DitherState dither[2];
        int16_t sink = 0;
        const Mp3Stats stats = decodeMp3(input, [&](const Mp3Frame& f) {
            for (int c = 0; c < f.channels; ++c)
                for (int i = 0; i < f.frames; ++i)
                    sink = static_cast<int16_t>(sink ^ ditherSample(f.samples[c][i], 16, dither[c]));
            return Mp3Flow::Continue;
        });
        benchmark::DoNotOptimize(sink);
        elapsedMs = stats.elapsedMs;
    }
    // Seconds of audio decoded (and converted) per second of work: the real-time factor.
    state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(elapsedMs) / 1000.0,
                                                      benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Mp3Decode)->Unit(benchmark::kMillisecond);

// What a stream thread does for a 44.1 kHz MP3 clip on a 48 kHz output: decode, resample,
// and convert with dither. The difference to BM_Mp3Decode is the resampler's cost.
void BM_Mp3DecodeResampledTo48k(benchmark::State& state)
{
    static const std::string mp3 = makeMp3(10.0);
    if (mp3.empty()) {
        state.SkipWithError("sox or lame is missing");
        return;
    }
    long elapsedMs = 0;
    std::vector<float> in;
    std::vector<float> out;
    for ([[maybe_unused]] auto _ : state) {
        MemoryMp3Input input(reinterpret_cast<const unsigned char*>(mp3.data()), mp3.size());
        Resampler resampler(2, 44100, kRate);
        DitherState dither[2];
        int16_t sink = 0;
        const auto convert = [&] {
            for (std::size_t i = 0; i < out.size(); ++i) {
                const auto x =
                    static_cast<int32_t>(std::lrint(out[i] * static_cast<float>(1 << kFixedFractionBits)));
                sink = static_cast<int16_t>(sink ^ ditherSample(x, 16, dither[i % 2]));
            }
        };
        const Mp3Stats stats = decodeMp3(input, [&](const Mp3Frame& f) {
            in.resize(static_cast<std::size_t>(f.frames) * 2);
            constexpr float kScale = 1.0f / static_cast<float>(1 << kFixedFractionBits);
            for (int i = 0; i < f.frames; ++i) {
                in[2 * static_cast<std::size_t>(i)] = static_cast<float>(f.samples[0][i]) * kScale;
                in[2 * static_cast<std::size_t>(i) + 1] = static_cast<float>(f.samples[1][i]) * kScale;
            }
            out.clear();
            resampler.process(in.data(), static_cast<std::size_t>(f.frames), out);
            convert();
            return Mp3Flow::Continue;
        });
        out.clear();
        resampler.finish(out);
        convert();
        benchmark::DoNotOptimize(sink);
        elapsedMs = stats.elapsedMs;
    }
    state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(elapsedMs) / 1000.0,
                                                      benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Mp3DecodeResampledTo48k)->Unit(benchmark::kMillisecond);

// The synthesizer seen by the mixer, noting the steady-clock time at which its output first
// turns audible after a note on.
class OnsetProbe : public AudioSource {
  public:
    explicit OnsetProbe(FluidSynthOutput& synth) : m_synth(synth) {}
    void renderInto(float* scratch, int frames) noexcept override
    {
        m_synth.renderInterleaved(scratch, frames);
        if (!m_armed.load(std::memory_order_acquire))
            return;
        for (int i = 0; i < frames; ++i) {
            if (std::abs(scratch[2 * i]) > 1e-4f) {
                // The frame's own time: the period starts now, frame i follows i frames later.
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                m_onsetNs.store(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() +
                                    static_cast<int64_t>(i) * 1'000'000'000 / kRate,
                                std::memory_order_release);
                m_armed.store(false, std::memory_order_release);
                return;
            }
        }
    }
    void arm()
    {
        m_onsetNs = 0;
        m_armed = true;
    }
    int64_t onsetNs() const { return m_onsetNs.load(std::memory_order_acquire); }

  private:
    FluidSynthOutput& m_synth;
    std::atomic<bool> m_armed{false};
    std::atomic<int64_t> m_onsetNs{0};
};

// Note-on to audible output through the mixer on a real-time sink with the ALSA sink's period
// (128 frames at 48 kHz). The device buffer an ALSA sink adds (3 periods) is reported apart
// and added in "with_device_ms".
void BM_NoteToOutputLatency(benchmark::State& state)
{
    CollectingNotifier notifier;
    SoundEngine engine(notifier);
    AudioSink::Format format;
    format.sampleRate = kRate;
    format.periodFrames = kPeriod;
    format.periods = 3;
    auto sink = createNullSink();
    sink->open(format);
    engine.initAudio(std::move(sink));
    FluidSynthOptions options;
    options.sampleRate = kRate;
    options.realTimeAudio = false;
    FluidSynthOutput synth(nullptr, options);
    if (!synth.open(0)) {
        state.SkipWithError("no SoundFont for the synthesizer");
        return;
    }
    OnsetProbe probe(synth);
    engine.setSynth(&probe);
    double worst = 0;
    double total = 0;
    int n = 0;
    for ([[maybe_unused]] auto _ : state) {
        std::this_thread::sleep_for(std::chrono::microseconds(1000 + (n * 379) % 2700)); // vary the phase
        probe.arm();
        const auto sent = std::chrono::steady_clock::now();
        synth.sendShortMessage(packShortMessage(0x90, 60, 120));
        while (probe.onsetNs() == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        const double ms =
            static_cast<double>(
                probe.onsetNs() -
                std::chrono::duration_cast<std::chrono::nanoseconds>(sent.time_since_epoch()).count()) /
            1e6;
        state.SetIterationTime(std::max(ms, 0.0) / 1000.0);
        worst = std::max(worst, ms);
        total += ms;
        ++n;
        synth.sendShortMessage(packShortMessage(0x80, 60, 0));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    engine.setSynth(nullptr);
    engine.shutdown();
    const double device = 3.0 * kPeriod / kRate * 1000.0;
    state.counters["mean_ms"] = total / std::max(n, 1);
    state.counters["worst_ms"] = worst;
    state.counters["device_buffer_ms"] = device;
    state.counters["with_device_ms"] = worst + device;
}
BENCHMARK(BM_NoteToOutputLatency)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
