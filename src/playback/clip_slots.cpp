#include "playback/clip_slots.h"

#include "audio/sound_engine.h"
#include "devices/fluid_synth_output.h"
#include "platform/clock.h"
#include "platform/notifier.h"
#include "platform/sheet_lock.h"
#include "playback/midi_port.h"
#include "playback/playback_driver.h"
#include "score/sheet_document.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace tonvela {
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

int EngineClipSlots::start(const std::string& path, int64_t atUs)
{
    if (!m_engine.running())
        return -1;
    Anchor anchor;
    int64_t startFrame = -1;
    if (m_clock && m_engine.sampleRate() > 0) {
        anchor.clockUs = m_clock->nowUs();
        anchor.frame = m_engine.mixedFrames();
        anchor.set = true;
        const double ahead = static_cast<double>(atUs - anchor.clockUs) * m_engine.sampleRate() / 1e6;
        // A time already past plays at once.
        if (ahead > 0)
            startFrame = anchor.frame + std::llround(ahead);
    }
    const int slot =
        hasWaveExtension(path) ? m_engine.startWave(path, startFrame) : m_engine.startClip(path, startFrame);
    m_anchors[slot] = anchor;
    return slot;
}

std::optional<int64_t> EngineClipSlots::endUs(int slot) const
{
    const auto it = m_anchors.find(slot);
    if (it == m_anchors.end() || !it->second.set || m_engine.sampleRate() <= 0)
        return std::nullopt;
    const int64_t end = m_engine.endFrame(slot);
    if (end < 0)
        return std::nullopt;
    const Anchor& a = it->second;
    return a.clockUs + std::llround(static_cast<double>(end - a.frame) * 1e6 / m_engine.sampleRate());
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
    auto found = m_cache.find(path);
    if (found == m_cache.end()) {
        auto clip = std::make_shared<audio::DecodedClip>();
        if (!audio::decodeClipFile(path, m_rate, *clip).ok())
            clip.reset(); // remembered as not decodable, so it is not tried again
        found = m_cache.emplace(path, std::move(clip)).first;
    }
    const std::shared_ptr<const audio::DecodedClip>& cached = found->second;
    Placed p;
    p.path = path;
    p.atUs = atUs;
    p.clip = cached;
    const auto lengthUs =
        cached ? static_cast<int64_t>(static_cast<double>(cached->frames()) * 1e6 / m_rate) : 0;
    p.endUs = cached ? atUs + lengthUs : atUs;
    m_placed.push_back(std::move(p));
    return static_cast<int>(m_placed.size() - 1);
}

ClipSlots::Report OfflineClipSlots::report(int slot) const
{
    if (slot < 0 || static_cast<std::size_t>(slot) >= m_placed.size())
        return Report::Finished;
    const Placed& p = m_placed[static_cast<std::size_t>(slot)];
    if (!p.clip)
        return Report::Finished;
    return m_clock.nowUs() < p.endUs ? Report::Playing : Report::Idle;
}

std::optional<int64_t> OfflineClipSlots::endUs(int slot) const
{
    if (slot < 0 || static_cast<std::size_t>(slot) >= m_placed.size())
        return std::nullopt;
    const Placed& p = m_placed[static_cast<std::size_t>(slot)];
    if (!p.clip) // a clip that could not be decoded has no end to wait for
        return std::nullopt;
    return p.endUs;
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
        if (!p.clip || p.endUs <= p.atUs)
            continue;
        const auto first = static_cast<int64_t>(std::llround(static_cast<double>(p.atUs) * m_rate / 1e6));
        const int64_t frames = std::min<int64_t>(
            p.clip->frames(),
            static_cast<int64_t>(std::llround(static_cast<double>(p.endUs - p.atUs) * m_rate / 1e6)));
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
    RenderOptions withClips = options;
    withClips.makeClipSlots = [](const Clock& clock, double rate) -> std::unique_ptr<ClipSlots> {
        return std::make_unique<OfflineClipSlots>(clock, rate);
    };
    withClips.mixClips = [](const ClipSlots& slots, std::vector<float>& interleaved) {
        static_cast<const OfflineClipSlots&>(slots).mixInto(interleaved);
    };
    return renderSheet(sheet, withClips);
}

} // namespace tonvela
