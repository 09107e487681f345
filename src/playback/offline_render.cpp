#include "playback/offline_render.h"

#include "devices/fluid_synth_output.h"
#include "platform/clock.h"
#include "platform/notifier.h"
#include "platform/sheet_lock.h"
#include "playback/midi_port.h"
#include "playback/playback_driver.h"
#include "score/play_time.h"
#include "score/sheet_document.h"

#include <algorithm>
#include <cmath>

namespace tonvela {
namespace {

// Virtual milliseconds the scheduler advances between two renders. Message times do not
// depend on it (each message carries its own); it only sets how much audio one pass renders.
constexpr int64_t kRenderSliceMs = 5;

// Keeps the sheet's selected track while one track is rendered, and puts it back afterwards.
class SelectedTrackOverride {
  public:
    SelectedTrackOverride(SheetDocument& sheet, int track) : m_sheet(sheet), m_saved(sheet.selectedTrack)
    {
        if (track >= 0)
            m_sheet.selectedTrack = track;
    }
    ~SelectedTrackOverride() { m_sheet.selectedTrack = m_saved; }
    SelectedTrackOverride(const SelectedTrackOverride&) = delete;
    SelectedTrackOverride& operator=(const SelectedTrackOverride&) = delete;

  private:
    SheetDocument& m_sheet;
    int m_saved;
};

bool hasClipNotes(const SheetDocument& sheet)
{
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const Track& track = *sheet.trackAt(t);
        for (int i = 0; i < track.count; ++i)
            if (track.noteAt(i).type == kTypeAudioClip)
                return true;
    }
    return false;
}

} // namespace

RenderedAudio renderSheet(SheetDocument& sheet, const RenderOptions& options)
{
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
    // Opened directly (not through the port's settling waits) so that sample 0 of the output is
    // clock time 0, the start of the playback.
    if (!ordered.open(0)) {
        audio.error = "the built-in synthesizer could not start: " + synth.lastError();
        return audio;
    }
    ordered.setVolume(kFullVolume);

    const SelectedTrackOverride keepSelection(sheet, options.mode == PlayMode::Track ? options.track : -1);
    ClipsEndAtOnce noClips;
    const std::unique_ptr<ClipSlots> ownClips =
        options.makeClipSlots ? options.makeClipSlots(clock, rate) : nullptr;
    ClipSlots& clips = ownClips ? *ownClips : static_cast<ClipSlots&>(noClips);
    Scheduler scheduler(sheet, port, ordered, clips, nullptr);
    {
        const SheetLockGuard lock(sheetLock());
        if (!scheduler.begin(options.mode, clock.nowUs())) {
            audio.error = "the sheet has nothing to play";
            return audio;
        }
    }
    const int64_t total = scheduler.leadLength();
    // A sheet of clips alone has no length of its own but still plays.
    if (total <= 0 && !(ownClips && hasClipNotes(sheet))) {
        const SheetLockGuard lock(sheetLock());
        scheduler.stopPlayback(0);
        audio.error = "the sheet has no notes to play";
        return audio;
    }
    if (total > options.maxLengthMs) {
        const SheetLockGuard lock(sheetLock());
        scheduler.stopPlayback(0);
        audio.error = "the sheet plays for " + formatPlayTime(total) + ", longer than the " +
                      formatPlayTime(options.maxLengthMs) + " that can be rendered";
        return audio;
    }

    const auto frameOfMs = [rate](int64_t ms) {
        return static_cast<int64_t>(std::llround(static_cast<double>(ms) * rate / 1000.0));
    };
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

    // Clips and stop offsets are not in the length, so the end is found by playing; the
    // limit only guards against a sheet that would play far longer than it says.
    const int64_t hardLimit =
        std::max(total, int64_t{0}) * 2 + (ownClips ? options.maxLengthMs : int64_t{60'000});
    int64_t now = 0;
    for (;; now += kRenderSliceMs) {
        clock.setUs(now * 1000);
        bool alive = false;
        {
            const SheetLockGuard lock(sheetLock());
            alive = scheduler.cycle(now * 1000);
            if (alive && now > hardLimit) {
                scheduler.stopPlayback(now * 1000);
                alive = false;
            }
        }
        ordered.flush();
        // Every message stamped before `now` has been handed over by this cycle.
        renderTo(frameOfMs(now - 1));
        if (options.progress && now % 250 == 0)
            options.progress(std::min(now, total), total);
        if (!alive)
            break;
    }
    audio.playedMs = now;
    renderTo(frameOfMs(now + std::max<int64_t>(options.tailMs, 0)));
    ordered.close();
    if (ownClips && options.mixClips)
        options.mixClips(*ownClips, audio.samples);
    if (options.progress)
        options.progress(total, total);
    audio.ok = true;
    return audio;
}

} // namespace tonvela
