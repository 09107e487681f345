#include "playback/scheduler.h"

#include "platform/midi_output.h"
#include "playback/midi_port.h"
#include "score/play_time.h"
#include "score/sheet_document.h"
#include "theory/chord_symbol.h"

#include <algorithm>
#include <cmath>

namespace tonvela {
namespace {

// One call of cycle() catches a track up through at most this many steps (marks, notes whose
// time has already passed); a track never needs more in practice, and the cap keeps a cycle
// short whatever the sheet holds.
constexpr int kMaxStepsPerCycle = 4096;
// A driver runs at most some tens of milliseconds ahead; a note off older than this is done.
constexpr int64_t kReleasedKeptUs = 1'000'000;

// When an event is due, in microseconds from the start: along the file's tempo map when the
// track has one, otherwise at the track's tempo.
int64_t eventDueUs(const RecordedEvent& e, const Track& track, const TrackPlayState& st)
{
    if (st.eventTime)
        return std::llround(st.eventTime->msAt(e.tick) * 1000.0);
    // tick / division quarter notes, each 60 000 000 / tempo microseconds, rounded once.
    const int64_t division = track.division > 0 ? track.division : 96;
    const int64_t tempo = std::clamp(track.tempo, 1, 1'000'000);
    const int64_t den = division * tempo;
    return (std::max<int64_t>(e.tick, 0) * 60'000'000 + den / 2) / den;
}

// The track's division into measures, divided again when notes were inserted or removed since
// it was last computed (an edit made while the sheet plays, before any relayout).
const MeasureDivision& measuresOf(Track& track)
{
    if (track.measureDivision().noteCount() != track.count)
        track.divideIntoMeasures();
    return track.measureDivision();
}

// The time from place `from` to place `from + length` at a tempo: both ends come from exact
// places, so lengths added up along a track never drift.
int64_t spanUs(Ticks from, Ticks length, int tempo)
{
    return usAtTempo(from + length, tempo) - usAtTempo(from, tempo);
}

// The time of a note's stop offset: signed milliseconds of real time.
int64_t offsetUs(int32_t stopOffsetMs)
{
    return static_cast<int64_t>(stopOffsetMs) * 1000;
}

} // namespace

Scheduler::Scheduler(SheetDocument& sheet, MidiPort& port, MidiOutput& output, ClipSlots& clips,
                     PlaybackView* view, PlayMarks* marks)
    : m_sheet(sheet), m_port(port), m_output(output), m_clips(clips), m_view(view),
      m_marks(marks ? marks : &m_ownMarks)
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
    m_accompaniment.clear();
    m_accompanimentProgramSent = false;
    m_marks->begin(&m_sheet);
    m_leadTrack = -1;
    m_leadLengthUs = 0;
    if (mode == PlayMode::Track) {
        const int sel = m_sheet.selectedTrack;
        m_playTrack = (sel >= 0 && sel < tracks) ? sel : 0;
        m_leadTrack = m_playTrack;
        reset(m_playTrack);
        m_leadLengthUs = playLengthUs(m_playTrack);
    } else {
        for (int ti = 0; ti < tracks; ++ti) {
            reset(ti);
            TrackPlayState& st = m_states[static_cast<std::size_t>(ti)];
            st.eventStart = 0;
            int64_t len = 0;
            if (mode != PlayMode::Events) {
                len = playLengthUs(ti);
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
                    len = eventDueUs(st.events.back(), track, st);
            }
            if (ti == 0 || len > m_leadLengthUs) {
                m_leadTrack = ti;
                m_leadLengthUs = len;
            }
        }
    }
    m_playing = true;
    return true;
}

bool Scheduler::cycle(int64_t nowUs)
{
    if (!m_playing)
        return false;
    // Tracks removed from the sheet while it played: silence what they left sounding.
    for (int ti = m_sheet.trackCount(); ti < static_cast<int>(m_states.size()); ++ti)
        silenceAll(m_states[static_cast<std::size_t>(ti)], nowUs);

    bool any = false;
    if (m_mode == PlayMode::Track) {
        any = step(m_playTrack, nowUs, true);
    } else {
        for (int ti = 0; ti < static_cast<int>(m_states.size()); ++ti) {
            const bool alive = m_mode == PlayMode::Events ? eventStep(ti, nowUs, ti == m_leadTrack)
                                                          : step(ti, nowUs, ti == m_leadTrack);
            any = any || alive;
        }
    }
    if (!any) {
        releaseAccompaniment(nowUs);
        m_playing = false;
        m_leadTrack = -1;
        if (m_view)
            m_view->ended();
    }
    return any;
}

void Scheduler::stopPlayback(int64_t nowUs)
{
    const bool was = m_playing;
    m_playing = false;
    m_leadTrack = -1;
    m_leadLengthUs = 0;
    for (int ti = 0; ti < static_cast<int>(m_states.size()); ++ti) {
        TrackPlayState& st = m_states[static_cast<std::size_t>(ti)];
        st.stopRequested = true;
        if (ti < m_sheet.trackCount())
            allNotesOff(ti, nowUs);
        else
            silenceAll(st, nowUs);
    }
    releaseAccompaniment(nowUs);
    m_marks->clear();
    if (was && m_view)
        m_view->ended();
}

void Scheduler::seek(double f, int64_t nowUs)
{
    if (!m_playing)
        return;
    f = std::clamp(f, 0.0, 1.0);
    const auto target = std::llround(f * static_cast<double>(m_leadLengthUs));
    for (int ti = 0; ti < static_cast<int>(m_states.size()) && ti < m_sheet.trackCount(); ++ti) {
        if (m_mode == PlayMode::Track && ti != m_playTrack)
            continue;
        TrackPlayState& st = m_states[static_cast<std::size_t>(ti)];
        if (st.lastSeek != kNoTime && nowUs - st.lastSeek < kSeekRepeatUs)
            continue;
        st.lastSeek = nowUs;
        Track& track = *m_sheet.trackAt(ti);
        // What sounds at the old place stops, a clip included; the new place starts clean.
        silenceAll(st, nowUs);
        releaseAccompaniment(nowUs);
        if (st.clipSlot >= 0)
            m_clips.stop(st.clipSlot);
        st.clipSlot = -1;
        st.clipIndex = -1;
        m_marks->clearTrack(ti);
        if (m_view)
            m_view->highlightsChanged(ti, stampUs(nowUs));
        if (m_mode == PlayMode::Events) {
            st.eventIndex = 0;
            while (st.eventIndex < static_cast<int>(st.events.size()) &&
                   eventDueUs(st.events[static_cast<std::size_t>(st.eventIndex)], track, st) < target)
                ++st.eventIndex;
            st.eventStart = nowUs - target;
            st.elapsed = st.shownElapsed = target;
            st.playIndex = 0;
        } else {
            // The walk from the start to the step that sounds at the target: that step starts
            // afresh at once, as if the steps before had just been played.
            PlayCursor walk;
            Ticks position = 0;
            bool found = false;
            const MeasureDivision& measures = measuresOf(track);
            for (;;) {
                const PlayCursor before = walk;
                const std::optional<PlayStep> step = nextPlayStep(track, measures, walk);
                if (!step)
                    break;
                if (usAtTempo(position, track.tempo) >= target ||
                    usAtTempo(position + step->held, track.tempo) > target) {
                    walk = before;
                    found = true;
                    break;
                }
                position += step->held;
            }
            if (found) {
                st.walk = walk;
                st.playIndex = walk.index;
                st.position = position;
                st.elapsed = usAtTempo(position, track.tempo);
            } else {
                st.playIndex = -1;
                st.elapsed = target;
            }
            st.stepStart = kNoTime;
            st.stepLength = 0;
        }
        st.shownElapsed = st.elapsed;
        if (ti == m_leadTrack)
            refreshProgress(st, nowUs, true);
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
    m_marks->clearTrack(ti);
    for (int i = 0; i < track.count; ++i)
        track.noteAt(i).selected = 0;
    if (m_view)
        m_view->highlightsChanged(ti, stampUs(0));
}

int64_t Scheduler::playLengthUs(int ti) const
{
    if (ti < 0 || ti >= m_sheet.trackCount())
        return 0;
    const Track& track = *m_sheet.trackAt(ti);
    return usAtTempo(playedTicks(track), track.tempo);
}

int64_t Scheduler::playLength(int ti) const
{
    if (ti < 0 || ti >= m_sheet.trackCount())
        return 0;
    return totalPlayMs(*m_sheet.trackAt(ti));
}

bool Scheduler::step(int ti, int64_t nowUs, bool isLead)
{
    if (!trackPlays(ti))
        return false;
    for (int k = 0; k < kMaxStepsPerCycle; ++k) {
        const StepResult r = stepOnce(ti, nowUs, isLead);
        if (r == StepResult::Ended)
            return false;
        if (r == StepResult::Waiting)
            return true;
    }
    return true;
}

bool Scheduler::eventStep(int ti, int64_t nowUs, bool isLead)
{
    if (!trackPlays(ti))
        return false;
    for (int k = 0; k < kMaxStepsPerCycle; ++k) {
        const StepResult r = eventStepOnce(ti, nowUs, isLead);
        if (r == StepResult::Ended)
            return false;
        if (r == StepResult::Waiting)
            return true;
    }
    return true;
}

Scheduler::StepResult Scheduler::stepOnce(int ti, int64_t nowUs, bool isLead)
{
    Track& track = *m_sheet.trackAt(ti);
    TrackPlayState& st = m_states[static_cast<std::size_t>(ti)];
    if (st.playIndex < 0)
        return StepResult::Ended;
    if (st.stopRequested || st.walk.index > track.count) {
        // Stopped, or notes were removed under the walk: end cleanly rather than leave notes on.
        allNotesOff(ti, nowUs);
        return StepResult::Ended;
    }

    sweepNoteOffs(track, st, ti, nowUs);

    const bool started = st.stepStart != kNoTime;
    const int64_t late = started ? nowUs - st.stepStart - st.stepLength : 0;
    st.shownElapsed = started ? st.elapsed + nowUs - st.stepStart : 0;

    // A clip's time is its file's, which the position does not know: no progress while one plays.
    const Track& notes = track; // reads only: looking never grows the array
    if (isLead && st.clipIndex < 0 && notes.noteAt(st.playIndex).type != kTypeAudioClip &&
        (st.lastCursorUpdate == kNoTime || nowUs - st.lastCursorUpdate > kCursorRefreshUs)) {
        refreshProgress(st, nowUs);
        st.lastCursorUpdate = nowUs;
    }

    if (st.clipIndex >= 0)
        return runClip(track, st, ti, nowUs, false);

    if (started && nowUs < st.stepStart + st.stepLength)
        return StepResult::Waiting;

    // The step that ran is complete; its length now counts as elapsed (once).
    st.elapsed += st.stepLength;
    st.shownElapsed = st.elapsed;
    st.stepLength = 0;
    // Steps join end to start: the next one begins where the last one ended, however late the
    // caller noticed.
    const int64_t ideal = nowUs - late;

    const std::optional<PlayStep> step = nextPlayStep(track, measuresOf(track), st.walk);
    if (!step) {
        allNotesOff(ti, ideal);
        return StepResult::Ended;
    }
    st.playIndex = st.walk.index;
    switch (step->kind) {
    case PlayKind::Mark:
        st.stepStart = ideal;
        return StepResult::Advanced;
    case PlayKind::Clip:
        return startClip(track, st, ti, *step, nowUs, ideal);
    case PlayKind::Sound:
    case PlayKind::Rest:
        break;
    }
    startStep(track, st, ti, *step, ideal);
    return StepResult::Advanced;
}

Scheduler::StepResult Scheduler::startClip(Track& track, TrackPlayState& st, int ti, const PlayStep& step,
                                           int64_t nowUs, int64_t idealUs)
{
    const Note& n = track.noteAt(step.index);
    st.stepStart = idealUs;
    st.stepLength = 0;
    const int slot = n.filename() ? m_clips.start(*n.filename(), stampUs(idealUs)) : -1;
    if (slot < 0)
        return StepResult::Advanced; // no file or no free slot: the clip is skipped
    st.clipIndex = step.index;
    st.clipSlot = slot;
    st.clipStarted = false;
    st.clipWaitStart = nowUs;
    st.clipStartUs = idealUs;
    st.clipEndUs = kNoTime;
    m_marks->set(ti, step.index, true);
    if (m_view)
        m_view->highlightsChanged(ti, stampUs(idealUs));
    return runClip(track, st, ti, nowUs, true);
}

void Scheduler::endClip(TrackPlayState& st, int ti, int64_t atUs)
{
    m_marks->set(ti, st.clipIndex, false);
    st.clipIndex = -1;
    st.clipSlot = -1;
    st.stepStart = atUs;
    st.stepLength = 0;
    if (m_view)
        m_view->highlightsChanged(ti, stampUs(atUs));
}

Scheduler::StepResult Scheduler::runClip(Track& /*track*/, TrackPlayState& st, int ti, int64_t nowUs,
                                         bool justStarted)
{
    ClipSlots::Report r = m_clips.report(st.clipSlot);
    if (st.clipEndUs == kNoTime) {
        if (const std::optional<int64_t> endUs = m_clips.endUs(st.clipSlot))
            st.clipEndUs = std::max(st.clipStartUs, *endUs - m_originUs);
    }
    if (st.clipEndUs != kNoTime && !st.stopRequested) {
        // The clip's end is known: it holds the track until then, and the next note follows
        // it there, however late the slot notices that its sound has ended.
        st.clipStarted = true;
        if (nowUs < st.clipEndUs)
            return StepResult::Waiting;
        endClip(st, ti, st.clipEndUs);
        return StepResult::Advanced;
    }
    if (!st.clipStarted) {
        if (r == ClipSlots::Report::Playing || r == ClipSlots::Report::Finished)
            st.clipStarted = true;
        else if (nowUs - st.clipWaitStart < kClipStartTimeoutUs && !st.stopRequested)
            return StepResult::Waiting; // the slot has not begun yet
        else
            r = ClipSlots::Report::Finished;
    }
    if (r == ClipSlots::Report::Finished) {
        // A clip that took time ends its step now; one that ended at once keeps the ideal time.
        endClip(st, ti, justStarted ? st.stepStart : nowUs);
        return StepResult::Advanced;
    }
    if (!st.stopRequested && r == ClipSlots::Report::Playing)
        return StepResult::Waiting;
    if (r == ClipSlots::Report::Other) {
        // The slot does something the clip rule does not know: the track goes on at once and
        // leaves the clip to it (a stop still ends it).
        st.clipIndex = -1;
        st.stepLength = 0;
        return StepResult::Advanced;
    }
    endClip(st, ti, nowUs);
    if (st.stopRequested) {
        allNotesOff(ti, nowUs);
        return StepResult::Ended;
    }
    return StepResult::Advanced;
}

void Scheduler::startStep(Track& track, TrackPlayState& st, int ti, const PlayStep& step, int64_t startUs)
{
    st.stepStart = startUs;
    if (ti == 0 && step.measure >= 1 && step.measure != st.lastFollowedMeasure) {
        st.lastFollowedMeasure = step.measure;
        if (m_view)
            m_view->followMeasure(step.measure, stampUs(startUs));
    }

    const Ticks at = st.position;
    st.stepLength = spanUs(at, step.held, track.tempo);
    st.position += step.held;
    if (step.kind == PlayKind::Rest) {
        sound(track, st, ti, step.index, startUs, startUs + spanUs(at, step.length, track.tempo));
    } else {
        forEachPlayedNote(track, step, [&](const PlayedNote& p) {
            // The root sounds through its tie chain, a member through the chords it is tied
            // to. A stop offset lengthens or shortens the sound without moving the next step.
            const int64_t from = startUs + spanUs(at, p.offset, track.tempo);
            sound(track, st, ti, p.index, from,
                  startUs + spanUs(at, p.offset + p.held, track.tempo) + offsetUs(p.stopOffsetMs));
        });
        if (m_chordSymbols && step.index >= 0 && step.index < track.count)
            accompany(track.noteAt(step.index), startUs);
    }
    if (m_view)
        m_view->highlightsChanged(ti, stampUs(startUs));
}

void Scheduler::accompany(const Note& root, int64_t atUs)
{
    const auto symbol = root.chordSymbol() ? parseChordSymbol(*root.chordSymbol()) : std::nullopt;
    if (!symbol || !m_output.isOpen())
        return;
    releaseAccompaniment(atUs);
    const int channel = kAccompanimentChannel;
    if (!m_accompanimentProgramSent) {
        m_output.sendShortMessageAt(packShortMessage(kProgramChange | channel, kAccompanimentProgram),
                                    stampUs(atUs));
        m_accompanimentProgramSent = true;
    }
    // The chord from the root in the octave below middle C, the bass of a slash chord (or the
    // root) an octave lower.
    const int rootKey = 48 + symbol->root.pitchClass();
    m_accompaniment.push_back(36 + (symbol->bass ? symbol->bass->pitchClass() : symbol->root.pitchClass()));
    for (const int tone : chordSymbolSemitones(symbol->quality))
        if (std::find(m_accompaniment.begin(), m_accompaniment.end(), rootKey + tone) ==
            m_accompaniment.end())
            m_accompaniment.push_back(rootKey + tone);
    m_accompanimentStartUs = atUs;
    for (const int key : m_accompaniment)
        m_output.sendShortMessageAt(packShortMessage(kNoteOn | channel, key, kAccompanimentVelocity),
                                    stampUs(atUs));
}

void Scheduler::releaseAccompaniment(int64_t atUs)
{
    if (m_output.isOpen())
        for (const int key : m_accompaniment)
            m_output.sendShortMessageAt(
                packShortMessage(kNoteOff | kAccompanimentChannel, key, kAccompanimentVelocity),
                stampUs(std::max(atUs, m_accompanimentStartUs)));
    m_accompaniment.clear();
}

void Scheduler::sound(Track& track, TrackPlayState& st, int ti, int noteIndex, int64_t startUs, int64_t endUs)
{
    Note& n = track.noteAt(noteIndex);
    TrackPlayState::Sounding s;
    s.noteIndex = noteIndex;
    s.startUs = startUs;
    s.endUs = endUs;
    s.tie = (n.dwFlag & kFlagTie) != 0;
    s.channel = midiChannelOf(track);
    if (!n.isRest()) {
        s.writtenKey = n.effectiveKey();
        silenceDuplicates(st, ti, s.writtenKey, startUs);
        const int pitch = soundingPitch(n, track);
        if (pitch >= 0 && pitch <= 127 && m_port.isOpen())
            s.key = pitch;
        m_port.noteOn(n, track, track.channel, stampUs(startUs));
    }
    m_marks->set(ti, noteIndex, true);
    st.sounding.push_back(s);
}

void Scheduler::silenceDuplicates(TrackPlayState& st, int ti, int writtenKey, int64_t atUs)
{
    for (std::size_t k = 0; k < st.sounding.size();) {
        const TrackPlayState::Sounding& s = st.sounding[k];
        if (s.key >= 0 && s.writtenKey == writtenKey) {
            sendNoteOff(s, atUs);
            m_marks->set(ti, s.noteIndex, false);
            st.sounding.erase(st.sounding.begin() + static_cast<std::ptrdiff_t>(k));
        } else {
            ++k;
        }
    }
}

void Scheduler::sendNoteOff(const TrackPlayState::Sounding& s, int64_t atUs)
{
    if (s.key < 0 || !m_output.isOpen())
        return;
    m_output.sendShortMessageAt(packShortMessage(kNoteOff | s.channel, s.key, kFullVelocity),
                                stampUs(std::max(atUs, s.startUs)));
}

void Scheduler::sweepNoteOffs(Track& /*track*/, TrackPlayState& st, int ti, int64_t nowUs)
{
    bool any = false;
    for (std::size_t k = 0; k < st.sounding.size();) {
        const TrackPlayState::Sounding s = st.sounding[k];
        if (s.endUs != kNoTime && s.endUs < nowUs) {
            sendNoteOff(s, s.endUs);
            m_marks->set(ti, s.noteIndex, false);
            // The end of a tie chain also clears the mark of the note before it.
            if (s.tie && s.noteIndex > 0)
                m_marks->set(ti, s.noteIndex - 1, false);
            st.sounding.erase(st.sounding.begin() + static_cast<std::ptrdiff_t>(k));
            st.released.push_back(s);
            any = true;
        } else {
            ++k;
        }
    }
    if (any) {
        std::erase_if(st.released, [nowUs](const TrackPlayState::Sounding& s) {
            return s.endUs < nowUs - kReleasedKeptUs;
        });
        if (m_view)
            m_view->highlightsChanged(ti, stampUs(nowUs));
    }
}

void Scheduler::silenceAll(TrackPlayState& st, int64_t stampUs)
{
    for (const auto& s : st.released)
        if (s.endUs > stampUs)
            sendNoteOff(s, stampUs);
    st.released.clear();
    for (const auto& s : st.sounding) {
        const int64_t at = s.endUs == kNoTime ? stampUs : std::min(s.endUs, stampUs);
        sendNoteOff(s, at);
    }
    st.sounding.clear();
}

void Scheduler::allNotesOff(int ti, int64_t nowUs)
{
    if (!trackPlays(ti))
        return;
    TrackPlayState& st = m_states[static_cast<std::size_t>(ti)];
    m_marks->clearTrack(ti);
    silenceAll(st, nowUs);
    // Stopped whatever it reports: a clip still filling its ring would otherwise start sounding
    // after the stop.
    if (st.clipSlot >= 0)
        m_clips.stop(st.clipSlot);
    st.clipSlot = -1;
    st.clipIndex = -1;
    if (m_view)
        m_view->highlightsChanged(ti, stampUs(nowUs));
    st.playIndex = -1;
}

void Scheduler::refreshProgress(TrackPlayState& st, int64_t nowUs, bool afterSeek)
{
    if (!m_view)
        return;
    PlaybackView::Progress p;
    p.totalMs = leadLength();
    p.elapsedMs = std::clamp<int64_t>(st.shownElapsed / 1000, 0, std::max<int64_t>(p.totalMs, 0));
    const bool holding = !afterSeek && st.lastSeek != kNoTime && nowUs - st.lastSeek < kSeekHoldUs;
    p.positionHeld = holding || st.playIndex == -1;
    m_view->progress(p, stampUs(nowUs));
}

// ---------------------------------------------------------------------------------------------
// Event playback

Scheduler::StepResult Scheduler::eventStepOnce(int ti, int64_t nowUs, bool isLead)
{
    Track& track = *m_sheet.trackAt(ti);
    TrackPlayState& st = m_states[static_cast<std::size_t>(ti)];
    if (st.playIndex < 0)
        return StepResult::Ended;
    if (st.stopRequested || st.events.empty() || st.eventIndex >= static_cast<int>(st.events.size())) {
        allNotesOff(ti, nowUs);
        return StepResult::Ended;
    }
    const int channel = midiChannelOf(track);
    const int64_t t = nowUs - st.eventStart;
    st.elapsed = st.shownElapsed = t;
    RecordedEvent& e = st.events[static_cast<std::size_t>(st.eventIndex)];
    const int64_t due = eventDueUs(e, track, st);
    if (isLead && (st.lastCursorUpdate == kNoTime || nowUs - st.lastCursorUpdate >= kEventCursorRefreshUs)) {
        refreshProgress(st, nowUs);
        st.lastCursorUpdate = nowUs;
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
        s.startUs = at;
        st.sounding.push_back(s);
        if (e.noteIndex >= 0 && e.noteIndex < track.count)
            m_marks->set(ti, e.noteIndex, true);
    } else {
        m_port.eventOff(e, channel, stampUs(at));
        const auto it =
            std::find_if(st.sounding.begin(), st.sounding.end(),
                         [&](const TrackPlayState::Sounding& s) { return s.writtenKey == e.pitch; });
        if (it != st.sounding.end())
            st.sounding.erase(it);
        const int last = std::min(e.noteIndex, track.count - 1);
        for (int i = std::max(st.lastOffNote, 0); i <= last; ++i)
            m_marks->set(ti, i, false);
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
