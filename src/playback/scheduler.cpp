#include "playback/scheduler.h"

#include "platform/midi_output.h"
#include "playback/midi_port.h"
#include "score/play_time.h"
#include "score/sheet_document.h"
#include "score/tie_rule.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tonvela {
namespace {

// One call of cycle() catches a track up through at most this many steps (zero-length items,
// chord members, notes whose time has already passed); a track never needs more in practice,
// and the cap keeps a cycle short whatever the sheet holds.
constexpr int kMaxStepsPerCycle = 4096;

// When an event is due, in milliseconds from the start: along the file's tempo map when the
// track has one, otherwise at the track's tempo.
int64_t eventDueMs(const RecordedEvent& e, const Track& track, const TrackPlayState& st)
{
    if (st.eventTime)
        return static_cast<int64_t>(st.eventTime->msAt(e.tick));
    const int division = track.division > 0 ? track.division : 96;
    const auto ms120 = static_cast<int64_t>(static_cast<double>(e.tick) / division * 500.0);
    return static_cast<int64_t>(static_cast<double>(ms120) / tempoFactor(track.tempo));
}

// The track's division into measures, divided again when notes were inserted or removed since
// it was last computed (an edit made while the sheet plays, before any relayout).
const MeasureDivision& measuresOf(Track& track)
{
    if (track.measureDivision().noteCount() != track.count)
        track.divideIntoMeasures();
    return track.measureDivision();
}

// Milliseconds at 120 bpm at the track's tempo, rounded, for any length.
int64_t atTempo(int64_t ms120, int tempo)
{
    return std::llround(static_cast<double>(ms120) / tempoFactor(tempo));
}

} // namespace

Scheduler::Scheduler(SheetDocument& sheet, MidiPort& port, MidiOutput& output, ClipSlots& clips,
                     PlaybackView* view)
    : m_sheet(sheet), m_port(port), m_output(output), m_clips(clips), m_view(view)
{
}

const TrackPlayState& Scheduler::state(int trackIndex) const
{
    static const TrackPlayState kIdle;
    if (trackIndex < 0 || trackIndex >= static_cast<int>(m_states.size()))
        return kIdle;
    return m_states[static_cast<std::size_t>(trackIndex)];
}

bool Scheduler::trackPlays(int ti) const
{
    return ti >= 0 && ti < static_cast<int>(m_states.size()) && ti < m_sheet.trackCount();
}

// ---------------------------------------------------------------------------------------------
// Sheet operations

bool Scheduler::begin(PlayMode mode, int64_t originUs)
{
    if (m_playing)
        return false;
    const int tracks = m_sheet.trackCount();
    if (tracks == 0)
        return false;
    m_mode = mode;
    m_originUs = originUs;
    m_states.assign(static_cast<std::size_t>(tracks), TrackPlayState{});
    m_leadTrack = -1;
    m_leadLength = 0;
    if (mode == PlayMode::Track) {
        const int sel = m_sheet.selectedTrack;
        m_playTrack = (sel >= 0 && sel < tracks) ? sel : 0;
        m_leadTrack = m_playTrack;
        reset(m_playTrack);
        m_leadLength = playLength(m_playTrack);
    } else {
        for (int ti = 0; ti < tracks; ++ti) {
            reset(ti);
            TrackPlayState& st = m_states[static_cast<std::size_t>(ti)];
            st.eventStart = 0;
            int64_t len = 0;
            if (mode != PlayMode::Events) {
                len = playLength(ti);
            } else {
                const Track& track = *m_sheet.trackAt(ti);
                if (!track.tempoMap.empty())
                    st.eventTime.emplace(track.tempoMap, track.division);
                st.events = track.events;
                // At equal ticks a note off goes before a note on, so a repeated key is
                // released before it sounds again.
                std::stable_sort(st.events.begin(), st.events.end(),
                                 [](const RecordedEvent& a, const RecordedEvent& b) {
                                     if (a.tick != b.tick)
                                         return a.tick < b.tick;
                                     return a.kind > b.kind;
                                 });
                for (auto& e : st.events) {
                    e.sounding = 0;
                    e.spare = 0;
                }
                // Event playback lasts until the last recorded event.
                if (!st.events.empty())
                    len = eventDueMs(st.events.back(), track, st);
            }
            if (ti == 0 || len > m_leadLength) {
                m_leadTrack = ti;
                m_leadLength = len;
            }
        }
    }
    m_playing = true;
    return true;
}

bool Scheduler::cycle(int64_t nowMs)
{
    if (!m_playing)
        return false;
    // Tracks removed from the sheet while it played: silence what they left sounding.
    for (int ti = m_sheet.trackCount(); ti < static_cast<int>(m_states.size()); ++ti)
        silenceAll(m_states[static_cast<std::size_t>(ti)], nowMs);

    bool any = false;
    if (m_mode == PlayMode::Track) {
        any = step(m_playTrack, nowMs, true);
    } else {
        for (int ti = 0; ti < static_cast<int>(m_states.size()); ++ti) {
            const bool alive = m_mode == PlayMode::Events ? eventStep(ti, nowMs, ti == m_leadTrack)
                                                          : step(ti, nowMs, ti == m_leadTrack);
            any = any || alive;
        }
    }
    if (!any) {
        m_playing = false;
        m_leadTrack = -1;
        if (m_view)
            m_view->ended();
    }
    return any;
}

void Scheduler::stopPlayback(int64_t nowMs)
{
    const bool was = m_playing;
    m_playing = false;
    m_leadTrack = -1;
    m_leadLength = 0;
    for (int ti = 0; ti < static_cast<int>(m_states.size()); ++ti) {
        TrackPlayState& st = m_states[static_cast<std::size_t>(ti)];
        st.stopRequested = true;
        if (ti < m_sheet.trackCount())
            allNotesOff(ti, nowMs);
        else
            silenceAll(st, nowMs);
    }
    if (was && m_view)
        m_view->ended();
}

void Scheduler::seek(double f, int64_t nowMs)
{
    if (!m_playing)
        return;
    f = std::clamp(f, 0.0, 1.0);
    // NOLINTNEXTLINE(bugprone-incorrect-roundings): non-negative, a half added and truncated
    const auto target = static_cast<int64_t>(f * static_cast<double>(m_leadLength) + 0.5);
    for (int ti = 0; ti < static_cast<int>(m_states.size()) && ti < m_sheet.trackCount(); ++ti) {
        if (m_mode == PlayMode::Track && ti != m_playTrack)
            continue;
        TrackPlayState& st = m_states[static_cast<std::size_t>(ti)];
        if (st.lastSeek != kNoTime && nowMs - st.lastSeek < kSeekRepeatMs)
            continue;
        st.lastSeek = nowMs;
        Track& track = *m_sheet.trackAt(ti);
        // What sounds at the old place stops, a clip included; the new place starts clean.
        silenceAll(st, nowMs);
        if (st.clipSlot >= 0)
            m_clips.stop(st.clipSlot);
        for (int i = 0; i < track.count; ++i)
            track.noteAt(i).play.sounding = 0;
        if (m_view)
            m_view->highlightsChanged(ti, stampUs(nowMs));
        if (m_mode == PlayMode::Events) {
            st.eventIndex = 0;
            while (st.eventIndex < static_cast<int>(st.events.size()) &&
                   eventDueMs(st.events[static_cast<std::size_t>(st.eventIndex)], track, st) < target)
                ++st.eventIndex;
            st.eventStart = nowMs - target;
            st.elapsed = st.shownElapsed = target;
            st.playIndex = 0;
        } else {
            LoopState loop;
            MeasureRepeatState repeats;
            int64_t sum = 0;
            (void)measuresOf(track); // walkTo reads the division
            int64_t sum120 = 0;
            const int idx = walkTo(track, target, sum, loop, repeats, &sum120);
            if (idx < 0) {
                st.playIndex = -1;
                st.elapsed = target;
            } else {
                st.playIndex = idx;
                st.elapsed = sum;
                st.position120 = sum120;
                st.loop = loop;
                st.repeats = repeats;
                st.repeatCheckedAt = idx;
            }
            st.stepStart = kNoTime;
            st.stepLength = 0;
            st.clipSlot = -1;
        }
        st.shownElapsed = st.elapsed;
        if (ti == m_leadTrack)
            refreshProgress(st, nowMs, true);
    }
}

// ---------------------------------------------------------------------------------------------
// Track operations

void Scheduler::reset(int ti)
{
    if (!trackPlays(ti))
        return;
    Track& track = *m_sheet.trackAt(ti);
    TrackPlayState& st = m_states[static_cast<std::size_t>(ti)];
    silenceAll(st, 0);
    st = TrackPlayState{};
    st.playIndex = 0;
    // The first step joins to time 0, so a first cycle that comes late still starts the first
    // note at the playback's origin.
    st.stepStart = 0;
    m_port.resetProgram(track);
    // The division into measures is the score's: playing needs no layout to have run.
    track.divideIntoMeasures();
    for (int i = 0; i < track.count; ++i) {
        Note& n = track.noteAt(i);
        n.play.sounding = 0;
        n.selected = 0;
    }
    if (m_view)
        m_view->highlightsChanged(ti, stampUs(0));
}

int64_t Scheduler::playLength(int ti) const
{
    if (ti < 0 || ti >= m_sheet.trackCount())
        return 0;
    LoopState loop;
    MeasureRepeatState repeats;
    int64_t sum = 0;
    walkTo(*m_sheet.trackAt(ti), -1, sum, loop, repeats);
    return sum;
}

int Scheduler::walkTo(const Track& track, int64_t target, int64_t& sum, LoopState& loop,
                      MeasureRepeatState& repeats, int64_t* sum120) const
{
    sum = 0;
    int64_t at120 = 0;
    int i = 0;
    int found = -1;
    for (long long steps = 0; steps < kMaxWalkSteps; ++steps) {
        if (i < 0 || i > track.count)
            break;
        const int j = applyMeasureRepeat(track, track.measureDivision(), i, repeats);
        if (j >= track.count)
            break;
        if (track.noteAt(j).isChordMember()) {
            i = j + 1;
            continue;
        }
        const int64_t len120 = chordLengthMs120(track, j);
        if (target >= 0 && (sum >= target || atTempo(at120 + len120, track.tempo) > target)) {
            found = j;
            break;
        }
        at120 += len120;
        sum = atTempo(at120, track.tempo);
        i = applyLoopRule(track, j, loop);
    }
    if (sum120)
        *sum120 = at120;
    return found;
}

bool Scheduler::step(int ti, int64_t nowMs, bool isLead)
{
    if (!trackPlays(ti))
        return false;
    for (int k = 0; k < kMaxStepsPerCycle; ++k) {
        const StepResult r = stepOnce(ti, nowMs, isLead);
        if (r == StepResult::Ended)
            return false;
        if (r == StepResult::Waiting)
            return true;
    }
    return true;
}

bool Scheduler::eventStep(int ti, int64_t nowMs, bool isLead)
{
    if (!trackPlays(ti))
        return false;
    for (int k = 0; k < kMaxStepsPerCycle; ++k) {
        const StepResult r = eventStepOnce(ti, nowMs, isLead);
        if (r == StepResult::Ended)
            return false;
        if (r == StepResult::Waiting)
            return true;
    }
    return true;
}

Scheduler::StepResult Scheduler::stepOnce(int ti, int64_t nowMs, bool isLead)
{
    Track& track = *m_sheet.trackAt(ti);
    TrackPlayState& st = m_states[static_cast<std::size_t>(ti)];
    if (st.playIndex < 0)
        return StepResult::Ended;
    if (st.playIndex > track.count) {
        // Notes were removed under the playing index: end cleanly rather than leave notes on.
        allNotesOff(ti, nowMs);
        return StepResult::Ended;
    }
    if (st.stopRequested) {
        allNotesOff(ti, nowMs);
        return StepResult::Ended;
    }

    sweepNoteOffs(track, st, ti, nowMs);

    const bool started = st.stepStart != kNoTime;
    const int64_t late = started ? nowMs - st.stepStart - st.stepLength : 0;
    st.shownElapsed = started ? st.elapsed + nowMs - st.stepStart : 0;

    if (isLead && track.noteAt(st.playIndex).type != kTypeAudioClip &&
        (st.lastCursorUpdate == kNoTime || nowMs - st.lastCursorUpdate > kCursorRefreshMs)) {
        refreshProgress(st, nowMs);
        st.lastCursorUpdate = nowMs;
    }

    if (started && nowMs < st.stepStart + st.stepLength)
        return StepResult::Waiting;

    // The step that ran is complete; its length now counts as elapsed (once).
    st.elapsed += st.stepLength;
    st.shownElapsed = st.elapsed;
    st.stepLength = 0;
    // Steps join end to start: the next one begins where the last one ended, however late the
    // caller noticed.
    const int64_t ideal = nowMs - late;

    // The repeat rule comes first, also at the end of the track: a marked last measure goes
    // back once more before the track ends.
    if (st.repeatCheckedAt != st.playIndex) {
        st.playIndex = applyMeasureRepeat(track, measuresOf(track), st.playIndex, st.repeats);
        st.repeatCheckedAt = st.playIndex;
    }
    if (st.playIndex == track.count) {
        allNotesOff(ti, ideal);
        return StepResult::Ended;
    }
    if (track.noteAt(st.playIndex).type == kTypeAudioClip) {
        if (const auto r = runClipRule(track, st, ti, nowMs, ideal))
            return *r;
    }

    return startNote(track, st, ti, ideal);
}

std::optional<Scheduler::StepResult> Scheduler::runClipRule(Track& track, TrackPlayState& st, int ti,
                                                            int64_t nowMs, int64_t idealMs)
{
    Note& n = track.noteAt(st.playIndex);
    bool justStarted = false;
    if (!n.play.sounding) {
        const int slot = n.filename() ? m_clips.start(*n.filename(), stampUs(idealMs)) : -1;
        st.stepStart = idealMs;
        st.stepLength = 0;
        if (slot < 0) {
            // No file or no free slot: the clip is skipped instead of holding the track.
            st.loop.lastPlayedIndex = st.playIndex;
            ++st.playIndex;
            return StepResult::Advanced;
        }
        st.clipSlot = slot;
        st.clipStarted = false;
        st.clipWaitStart = nowMs;
        st.clipStartMs = idealMs;
        st.clipEndMs = kNoTime;
        n.play.sounding = 1;
        justStarted = true;
        if (m_view)
            m_view->highlightsChanged(ti, stampUs(idealMs));
    }
    if (st.clipSlot == -1)
        return std::nullopt;

    ClipSlots::Report r = m_clips.report(st.clipSlot);
    if (st.clipEndMs == kNoTime) {
        if (const std::optional<int64_t> endUs = m_clips.endUs(st.clipSlot)) {
            const int64_t d = *endUs - m_originUs;
            st.clipEndMs = std::max(st.clipStartMs, d >= 0 ? d / 1000 : -((-d + 999) / 1000));
        }
    }
    if (st.clipEndMs != kNoTime && !st.stopRequested) {
        // The clip's end is known: it holds the track until then, and the next note follows
        // it there, however late the slot notices that its sound has ended.
        st.clipStarted = true;
        if (nowMs < st.clipEndMs)
            return StepResult::Waiting;
        n.play.sounding = 0;
        st.loop.lastPlayedIndex = st.playIndex;
        ++st.playIndex;
        st.clipSlot = -1;
        st.stepStart = st.clipEndMs;
        st.stepLength = 0;
        if (m_view)
            m_view->highlightsChanged(ti, stampUs(st.clipEndMs));
        return StepResult::Advanced;
    }
    if (!st.clipStarted) {
        if (r == ClipSlots::Report::Playing || r == ClipSlots::Report::Finished)
            st.clipStarted = true;
        else if (nowMs - st.clipWaitStart < kClipStartTimeoutMs && !st.stopRequested)
            return StepResult::Waiting; // the slot has not begun yet
        else
            r = ClipSlots::Report::Finished;
    }
    if (r == ClipSlots::Report::Finished) {
        n.play.sounding = 0;
        st.loop.lastPlayedIndex = st.playIndex;
        ++st.playIndex;
        st.clipSlot = -1;
        // A clip that took time ends its step now; one that ended at once keeps the ideal time.
        if (!justStarted)
            st.stepStart = nowMs;
        st.stepLength = 0;
        if (m_view)
            m_view->highlightsChanged(ti, stampUs(st.stepStart));
        return StepResult::Advanced;
    }
    if (!st.stopRequested && r == ClipSlots::Report::Playing)
        return StepResult::Waiting;
    if (r == ClipSlots::Report::Other)
        return std::nullopt;
    n.play.sounding = 0;
    ++st.playIndex;
    st.clipSlot = -1;
    if (st.playIndex >= track.count || st.stopRequested) {
        allNotesOff(ti, nowMs);
        return StepResult::Ended;
    }
    st.stepStart = nowMs;
    st.stepLength = 0;
    return StepResult::Advanced;
}

Scheduler::StepResult Scheduler::startNote(Track& track, TrackPlayState& st, int ti, int64_t startMs)
{
    st.stepStart = startMs;
    Note& n = track.noteAt(st.playIndex);
    int own = n.lengthMs120();
    if (own == 0 || n.isChordMember()) {
        st.stepLength = 0;
        st.loop.lastPlayedIndex = st.playIndex;
        ++st.playIndex;
        return StepResult::Advanced;
    }
    int stepMs = std::max(own, chordLengthMs120(track, st.playIndex));

    // Tie chain: notes of the same written pitch that carry the tie mark sound as one.
    int u = st.playIndex;
    int v = track.nextRoot(u);
    bool tied = false;
    for (int merged = 1; v < track.count && merged < kMaxTieMerge; ++merged) {
        const Note& nv = track.noteAt(v);
        if (!tieMerges(track.noteAt(u), nv) || tieCrossesRepeat(track, track.measureDivision(), u, v))
            break;
        own += nv.lengthMs120();
        stepMs += nv.lengthMs120();
        tied = true;
        u = v;
        v = track.nextRoot(v);
    }

    const int measure = track.measureDivision().measureOf(st.playIndex);
    if (ti == 0 && measure >= 1 && measure != st.lastFollowedMeasure) {
        st.lastFollowedMeasure = measure;
        if (m_view)
            m_view->followMeasure(measure, stampUs(startMs));
    }

    const int64_t ownAtTempo = msAtTempo(track.tempo, own);
    const int64_t step120 = n.isRest() ? own : stepMs;
    const int64_t stepAtTempo =
        atTempo(st.position120 + step120, track.tempo) - atTempo(st.position120, track.tempo);
    st.position120 += step120;
    if (n.isRest()) {
        sound(track, st, st.playIndex, startMs, startMs + ownAtTempo);
        st.stepLength = stepAtTempo;
    } else {
        st.stepLength = stepAtTempo;
        sound(track, st, st.playIndex, startMs, startMs + ownAtTempo + n.dwStopOffset);
        for (int k = 0; k < n.childCount && k < kMaxChordMembers; ++k) {
            const int m = n.children[k];
            if (m < 0 || m >= track.count || m == st.playIndex)
                continue;
            Note& member = track.noteAt(m);
            const int64_t end = startMs + msAtTempo(track.tempo, member.lengthMs120()) + member.dwStopOffset;
            sound(track, st, m, startMs, end);
        }
    }
    if (m_view)
        m_view->highlightsChanged(ti, stampUs(startMs));

    st.loop.lastPlayedIndex = st.playIndex;
    bool jumped = false;
    const int next = applyLoopRule(track, st.playIndex, st.loop, &jumped);
    st.playIndex = (jumped || next < 1 || !tied) ? next : v;
    return StepResult::Advanced;
}

void Scheduler::sound(Track& track, TrackPlayState& st, int noteIndex, int64_t startMs, int64_t endMs)
{
    Note& n = track.noteAt(noteIndex);
    TrackPlayState::Sounding s;
    s.noteIndex = noteIndex;
    s.startMs = startMs;
    s.endMs = endMs;
    s.tie = (n.dwFlag & kFlagTie) != 0;
    s.channel = midiChannelOf(track);
    if (!n.isRest()) {
        s.writtenKey = n.effectiveKey();
        silenceDuplicates(st, track, s.writtenKey, startMs);
        const int pitch = soundingPitch(n, track);
        if (pitch >= 0 && pitch <= 127 && m_port.isOpen())
            s.key = pitch;
        m_port.noteOn(n, track, track.channel, stampUs(startMs));
    }
    n.play.sounding = 1;
    st.sounding.push_back(s);
}

void Scheduler::silenceDuplicates(TrackPlayState& st, Track& track, int writtenKey, int64_t atMs)
{
    for (std::size_t k = 0; k < st.sounding.size();) {
        const TrackPlayState::Sounding& s = st.sounding[k];
        if (s.key >= 0 && s.writtenKey == writtenKey) {
            sendNoteOff(s, atMs);
            if (s.noteIndex >= 0 && s.noteIndex < track.count)
                track.noteAt(s.noteIndex).play.sounding = 0;
            st.sounding.erase(st.sounding.begin() + static_cast<std::ptrdiff_t>(k));
        } else {
            ++k;
        }
    }
}

void Scheduler::sendNoteOff(const TrackPlayState::Sounding& s, int64_t atMs)
{
    if (s.key < 0 || !m_output.isOpen())
        return;
    m_output.sendShortMessageAt(packShortMessage(kNoteOff | s.channel, s.key, kFullVelocity),
                                stampUs(std::max(atMs, s.startMs)));
}

void Scheduler::sweepNoteOffs(Track& track, TrackPlayState& st, int ti, int64_t nowMs)
{
    bool any = false;
    for (std::size_t k = 0; k < st.sounding.size();) {
        const TrackPlayState::Sounding s = st.sounding[k];
        if (s.endMs != kNoTime && s.endMs < nowMs) {
            sendNoteOff(s, s.endMs);
            if (s.noteIndex >= 0 && s.noteIndex < track.count) {
                track.noteAt(s.noteIndex).play.sounding = 0;
                // The end of a tie chain also clears the mark of the note before it.
                if (s.tie && s.noteIndex > 0)
                    track.noteAt(s.noteIndex - 1).play.sounding = 0;
            }
            st.sounding.erase(st.sounding.begin() + static_cast<std::ptrdiff_t>(k));
            st.released.push_back(s);
            any = true;
        } else {
            ++k;
        }
    }
    if (any) {
        // A driver runs at most some tens of milliseconds ahead; a second is plenty.
        std::erase_if(st.released,
                      [nowMs](const TrackPlayState::Sounding& s) { return s.endMs < nowMs - 1000; });
        if (m_view)
            m_view->highlightsChanged(ti, stampUs(nowMs));
    }
}

void Scheduler::silenceAll(TrackPlayState& st, int64_t stampMs)
{
    for (const auto& s : st.released)
        if (s.endMs > stampMs)
            sendNoteOff(s, stampMs);
    st.released.clear();
    for (const auto& s : st.sounding) {
        const int64_t at = s.endMs == kNoTime ? stampMs : std::min(s.endMs, stampMs);
        sendNoteOff(s, at);
    }
    st.sounding.clear();
}

void Scheduler::allNotesOff(int ti, int64_t nowMs)
{
    if (!trackPlays(ti))
        return;
    Track& track = *m_sheet.trackAt(ti);
    TrackPlayState& st = m_states[static_cast<std::size_t>(ti)];
    for (int i = 0; i < track.count; ++i) {
        Note& n = track.noteAt(i);
        n.play.sounding = 0;
    }
    silenceAll(st, nowMs);
    // Stopped whatever it reports: a clip still filling its ring would otherwise start sounding
    // after the stop.
    if (st.clipSlot >= 0)
        m_clips.stop(st.clipSlot);
    st.clipSlot = -1;
    if (m_view)
        m_view->highlightsChanged(ti, stampUs(nowMs));
    st.playIndex = -1;
}

void Scheduler::refreshProgress(TrackPlayState& st, int64_t nowMs, bool afterSeek)
{
    if (!m_view)
        return;
    PlaybackView::Progress p;
    p.totalMs = m_leadLength;
    p.elapsedMs = std::clamp<int64_t>(st.shownElapsed, 0, std::max<int64_t>(m_leadLength, 0));
    const bool holding = !afterSeek && st.lastSeek != kNoTime && nowMs - st.lastSeek < kSeekSliderHoldMs;
    if (!holding && st.playIndex != -1 && m_leadLength > 0)
        p.slider = static_cast<int>(p.elapsedMs * kSliderRange / m_leadLength);
    p.elapsedText = formatPlayTime(p.elapsedMs);
    p.totalText = formatPlayTime(m_leadLength);
    m_view->progress(p, stampUs(nowMs));
}

// ---------------------------------------------------------------------------------------------
// Event playback

Scheduler::StepResult Scheduler::eventStepOnce(int ti, int64_t nowMs, bool isLead)
{
    Track& track = *m_sheet.trackAt(ti);
    TrackPlayState& st = m_states[static_cast<std::size_t>(ti)];
    if (st.playIndex < 0)
        return StepResult::Ended;
    if (st.stopRequested || st.events.empty() || st.eventIndex >= static_cast<int>(st.events.size())) {
        allNotesOff(ti, nowMs);
        return StepResult::Ended;
    }
    const int channel = midiChannelOf(track);
    const int64_t t = nowMs - st.eventStart;
    st.elapsed = st.shownElapsed = t;
    RecordedEvent& e = st.events[static_cast<std::size_t>(st.eventIndex)];
    const int64_t due = eventDueMs(e, track, st);
    if (isLead && (st.lastCursorUpdate == kNoTime || nowMs - st.lastCursorUpdate >= kEventCursorRefreshMs)) {
        refreshProgress(st, nowMs);
        st.lastCursorUpdate = nowMs;
    }
    if (t < due)
        return StepResult::Waiting;

    const int64_t at = st.eventStart + due;
    if (e.kind == 0) {
        m_port.eventOn(e, channel, stampUs(at));
        TrackPlayState::Sounding s;
        s.noteIndex = e.noteIndex;
        s.key = m_port.isOpen() ? (e.pitch & 0x7F) : -1;
        s.channel = channel & 0x0F;
        s.writtenKey = e.pitch;
        s.startMs = at;
        st.sounding.push_back(s);
        if (e.noteIndex >= 0 && e.noteIndex < track.count)
            track.noteAt(e.noteIndex).play.sounding = 1;
    } else {
        m_port.eventOff(e, channel, stampUs(at));
        const auto it =
            std::find_if(st.sounding.begin(), st.sounding.end(),
                         [&](const TrackPlayState::Sounding& s) { return s.writtenKey == e.pitch; });
        if (it != st.sounding.end())
            st.sounding.erase(it);
        const int last = std::min(e.noteIndex, track.count - 1);
        for (int i = std::max(st.lastOffNote, 0); i <= last; ++i)
            track.noteAt(i).play.sounding = 0;
        st.lastOffNote = e.noteIndex;
    }
    if (m_view)
        m_view->highlightsChanged(ti, stampUs(at));
    ++st.eventIndex;
    if (st.eventIndex >= static_cast<int>(st.events.size())) {
        allNotesOff(ti, at);
        return StepResult::Ended;
    }
    return StepResult::Advanced;
}

} // namespace tonvela
