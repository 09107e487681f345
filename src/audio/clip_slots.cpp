#include "audio/clip_slots.h"

#include "audio/sound_engine.h"
#include "platform/clock.h"
#include "platform/fluid_synth_output.h"
#include "platform/notifier.h"
#include "platform/sheet_lock.h"
#include "playback/midi_port.h"
#include "playback/playback_driver.h"
#include "score/sheet_document.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace tonvela::audio {
namespace {

bool hasWaveExtension(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".wav";
}

} // namespace

int EngineClipSlots::start(const std::string& path, int64_t /*atUs*/)
{
    if (!m_engine.running())
        return -1;
    return hasWaveExtension(path) ? m_engine.startWave(path) : m_engine.startClip(path);
}

ClipSlots::Report EngineClipSlots::report(int slot) const
{
    if (m_engine.playing(slot))
        return Report::Playing;
    if (m_engine.finished(slot))
        return Report::Finished;
    return Report::Idle;
}

void EngineClipSlots::stop(int slot)
{
    // A clip still filling its ring is ended too, so it cannot start sounding after a stop.
    m_engine.stopSlot(slot, 0);
    m_engine.cancelStream(slot);
}

int OfflineClipSlots::start(const std::string& path, int64_t atUs)
{
    auto& cached = m_cache[path];
    if (!cached)
        cached = std::make_shared<const DecodedClip>(decodeClipFile(path, m_rate));
    Placed p;
    p.path = path;
    p.atUs = atUs;
    p.clip = cached;
    const auto lengthUs = static_cast<int64_t>(static_cast<double>(cached->frames()) * 1e6 / m_rate);
    p.endUs = cached->ok ? atUs + lengthUs : atUs;
    m_placed.push_back(std::move(p));
    return static_cast<int>(m_placed.size() - 1);
}

ClipSlots::Report OfflineClipSlots::report(int slot) const
{
    if (slot < 0 || static_cast<std::size_t>(slot) >= m_placed.size())
        return Report::Finished;
    const Placed& p = m_placed[static_cast<std::size_t>(slot)];
    if (!p.clip->ok)
        return Report::Finished;
    return m_clock.nowUs() < p.endUs ? Report::Playing : Report::Idle;
}

void OfflineClipSlots::stop(int slot)
{
    if (slot < 0 || static_cast<std::size_t>(slot) >= m_placed.size())
        return;
    Placed& p = m_placed[static_cast<std::size_t>(slot)];
    p.endUs = std::clamp(m_clock.nowUs(), p.atUs, p.endUs);
}

void OfflineClipSlots::mixInto(std::vector<float>& interleaved) const
{
    for (const Placed& p : m_placed) {
        if (!p.clip->ok || p.endUs <= p.atUs)
            continue;
        const auto first = static_cast<int64_t>(std::llround(static_cast<double>(p.atUs) * m_rate / 1e6));
        const int64_t frames = std::min<int64_t>(
            p.clip->frames(), static_cast<int64_t>(std::llround(static_cast<double>(p.endUs - p.atUs) * m_rate / 1e6)));
        if (first < 0 || frames <= 0)
            continue;
        const auto need = static_cast<std::size_t>((first + frames) * 2);
        if (interleaved.size() < need)
            interleaved.resize(need, 0.0f);
        float* to = interleaved.data() + first * 2;
        const float* from = p.clip->samples.data();
        for (int64_t i = 0; i < frames * 2; ++i)
            to[i] += from[i];
    }
}

RenderedAudio renderSheetWithClips(SheetDocument& sheet, const RenderOptions& options)
{
    // The same virtual-clock render as renderSheet, with clip slots that take their time.
    RenderedAudio audio;
    const double rate = std::clamp(options.sampleRate, 8000.0, 192000.0);
    audio.sampleRate = rate;
    if (options.mode == PlayMode::Track && options.track >= sheet.trackCount()) {
        audio.error = "the sheet has no track " + std::to_string(options.track + 1);
        return audio;
    }
    VirtualClock clock(0);
    FluidSynthOptions synthOptions;
    synthOptions.sampleRate = rate;
    synthOptions.realTimeAudio = false;
    synthOptions.soundFont = options.soundFont;
    FluidSynthOutput synth(&clock, synthOptions);
    OrderedMidiOutput ordered(synth);
    CollectingNotifier notifier;
    MidiPort port(ordered, notifier, clock);
    if (!ordered.open(0)) {
        audio.error = "the built-in synthesizer could not start: " + synth.lastError();
        return audio;
    }
    ordered.setVolume(kFullVolume);

    const int savedSelection = sheet.selectedTrack;
    if (options.mode == PlayMode::Track && options.track >= 0)
        sheet.selectedTrack = options.track;
    struct Restore {
        SheetDocument& sheet;
        int saved;
        ~Restore() { sheet.selectedTrack = saved; }
    } restore{sheet, savedSelection};

    OfflineClipSlots clips(clock, rate);
    Scheduler scheduler(sheet, port, ordered, clips, nullptr);
    {
        const SheetLockGuard lock(sheetLock());
        if (!scheduler.begin(options.mode, clock.nowUs())) {
            audio.error = "the sheet has nothing to play";
            return audio;
        }
    }
    const int64_t total = scheduler.leadLength();
    if (total > options.maxLengthMs) {
        const SheetLockGuard lock(sheetLock());
        scheduler.stopPlayback(0);
        audio.error = "the sheet plays for " + formatPlayTime(total) + ", longer than the " +
                      formatPlayTime(options.maxLengthMs) + " that can be rendered";
        return audio;
    }

    constexpr int64_t kSliceMs = 5;
    const auto frameOfMs = [rate](int64_t ms) { return static_cast<int64_t>(static_cast<double>(ms) * rate / 1000.0 + 0.5); };
    const auto renderTo = [&](int64_t frame) {
        const int64_t have = audio.frames();
        if (frame <= have)
            return;
        audio.samples.resize(static_cast<std::size_t>(frame) * 2);
        float* at = audio.samples.data() + have * 2;
        for (int64_t left = frame - have; left > 0;) {
            const int n = static_cast<int>(std::min<int64_t>(left, 4096));
            synth.renderInterleaved(at, n);
            at += 2 * n;
            left -= n;
        }
    };
    // Clips are not in the sheet's length, so the end is found by playing; the limit guards
    // against a sheet that plays far longer than the renderer allows.
    const int64_t hardLimit = std::max<int64_t>(total, 0) * 2 + options.maxLengthMs;
    int64_t now = 0;
    for (;; now += kSliceMs) {
        clock.setUs(now * 1000);
        bool alive = false;
        {
            const SheetLockGuard lock(sheetLock());
            alive = scheduler.cycle(now);
            if (alive && now > hardLimit) {
                scheduler.stopPlayback(now);
                alive = false;
            }
        }
        ordered.flush();
        renderTo(frameOfMs(now - 1));
        if (options.progress && now % 250 == 0)
            options.progress(std::min(now, total), total);
        if (!alive)
            break;
    }
    audio.playedMs = now;
    renderTo(frameOfMs(now + std::max<int64_t>(options.tailMs, 0)));
    ordered.close();
    clips.mixInto(audio.samples);
    if (options.progress)
        options.progress(total, total);
    audio.ok = true;
    return audio;
}

} // namespace tonvela::audio
