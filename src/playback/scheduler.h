#pragma once

#include "playback/play_marks.h"
#include "playback/tempo_map.h"
#include "score/play_walk.h"
#include "score/track.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace tonvela {

class SheetDocument;
class MidiPort;
class MidiOutput;

// The three ways a sheet plays: the selected track alone ("Play"), every track together
// ("Play All") and every track from the MIDI events recorded when it was imported.
enum class PlayMode { Track, All, Events };

// Chord symbols sound on their own channel (MIDI channel 15: never the drums' 10, and after
// the channels tracks take first) with a piano, a little softer than the melody.
inline constexpr int kAccompanimentChannel = 14;
inline constexpr int kAccompanimentProgram = 0;
inline constexpr int kAccompanimentVelocity = 80;

// Scheduler times are microseconds from the start of the playback, exact: each comes from the
// place of its note in the score (duration.h), and only the output rounds it further. This
// marks "none yet".
inline constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();
// How often the lead track reports its progress.
inline constexpr int64_t kCursorRefreshUs = 100'000;
inline constexpr int64_t kEventCursorRefreshUs = 101'000;
// The reported position is held still this long after the user moved it.
inline constexpr int64_t kSeekHoldUs = 500'000;
// A track ignores a second seek within this long of the previous one.
inline constexpr int64_t kSeekRepeatUs = 100'000;
// A clip whose slot reports neither playing nor finished is given up after this long, so a
// clip that never starts cannot hold the track for ever.
inline constexpr int64_t kClipStartTimeoutUs = 5'000'000;

// The sound engine's stream slots as the clip rule sees them: start a clip's audio file in a
// slot, read the slot's report, stop it. Reports are single words the stream thread writes, so
// reading them never blocks.
class ClipSlots {
  public:
    enum class Report { Idle, Playing, Finished, Other };
    virtual ~ClipSlots() = default;
    // The slot that plays `path` from clock time `atUs` (microseconds), or -1 when no slot
    // could take it.
    virtual int start(const std::string& path, int64_t atUs) = 0;
    virtual Report report(int slot) const = 0;
    // The clock time (microseconds) at which the slot's sound ends, once the slot knows it
    // (a stream knows its length when it has read all its data); none before, and none from
    // slots that never know it. The track goes on at that time, not when the slot reports
    // that it has stopped.
    virtual std::optional<int64_t> endUs(int /*slot*/) const { return std::nullopt; }
    // Ends the slot's stream in any state (filling, playing, finished); never waits long.
    virtual void stop(int slot) = 0;
};

// Clip slots of a build without the sound engine: every clip is finished as soon as it
// starts, so a clip note takes no time.
class ClipsEndAtOnce : public ClipSlots {
  public:
    int start(const std::string& /*path*/, int64_t /*atUs*/) override { return 0; }
    Report report(int /*slot*/) const override { return Report::Finished; }
    void stop(int /*slot*/) override {}
};

// What a playing sheet tells the window that shows it. The desktop application implements it;
// the command-line tool prints progress; tests collect. Every call carries the clock time (in
// microseconds of the playback Clock) at which what it reports sounds, because a driver steps
// the scheduler a little ahead of the clock.
//
// Thread rules: called on the thread that steps the scheduler (a playback thread) while it
// holds the sheet lock; an implementation hands the news to its user-interface thread and
// returns at once.
class PlaybackView {
  public:
    // Where the lead track stands; the view turns it into what its panel shows.
    struct Progress {
        int64_t elapsedMs = 0; // 0..totalMs
        int64_t totalMs = 0;   // the lead track's length
        // The user has just moved the position (or the track has ended): a shown position
        // stays where it is.
        bool positionHeld = false;
    };
    virtual ~PlaybackView() = default;
    virtual void progress(const Progress& /*p*/, int64_t /*atUs*/) {}
    // Notes started or stopped sounding (Scheduler::marks): redraw the highlights.
    virtual void highlightsChanged(int /*trackIndex*/, int64_t /*atUs*/) {}
    // The first track reached another measure (numbered from 1, as the score's division and
    // the sheet number them): scroll it into view.
    virtual void followMeasure(int /*measureIndex*/, int64_t /*atUs*/) {}
    // The playback ended, by itself or by Stop.
    virtual void ended() {}
};

// Where one track stands in a playback. Times in microseconds from the playback's start.
struct TrackPlayState {
    // A note (or a recorded event) the track holds on, with exactly what was sent for it, so
    // the note off matches even when the note is edited or moved while it sounds.
    struct Sounding {
        int noteIndex = -1;
        int key = -1; // the key sent; -1 when nothing was sent (a rest)
        int channel = 0;
        int writtenKey = 0; // midi + sharp - flat, to find a sounding duplicate
        int64_t startUs = 0;
        int64_t endUs = kNoTime; // kNoTime: held until the track ends
        bool tie = false;
    };

    // The next note the walk looks at; -1 when the track does not play.
    int playIndex = -1;
    bool stopRequested = false;
    PlayCursor walk; // where the walk of what the track plays stands
    // The place of the next step in played time (steps as long as playback holds them): step
    // times come from places, so they never drift from the score.
    Ticks position = 0;
    int64_t stepStart = kNoTime;
    int64_t stepLength = 0;
    int64_t elapsed = 0;
    int64_t shownElapsed = 0;
    int64_t lastCursorUpdate = kNoTime;
    int lastFollowedMeasure = 0;
    // The audio clip being played: its note, its slot and what the slot has said.
    int clipIndex = -1;
    int clipSlot = -1;
    bool clipStarted = false;
    int64_t clipWaitStart = 0;
    int64_t clipStartUs = 0;     // when the clip's sound starts
    int64_t clipEndUs = kNoTime; // when it ends, once its slot knows
    int64_t lastSeek = kNoTime;
    // Event playback.
    std::vector<RecordedEvent> events; // sorted by tick, note offs first at equal ticks
    // The time of the events along the imported file's tempo map; none when the track has
    // no map, and its events then play at its tempo.
    std::optional<TempoTimeline> eventTime;
    int eventIndex = 0;
    int64_t eventStart = 0;
    int lastOffNote = 0;

    std::vector<Sounding> sounding;
    // Notes whose note off went out ahead of the clock: a Stop before that time silences them
    // again at once. Entries are dropped once their time is well past.
    std::vector<Sounding> released;
};

// The playback state machine of one sheet. It follows the walk of what each track plays
// (play_walk.h), advances to a given time and sends each message stamped with the exact time
// it computed (origin + microseconds), so a driver may run it ahead of the clock: steps join
// end to start whatever the polling delay, and the output sounds every message at its time.
//
// It plays the live sheet: notes edited, inserted or removed while it plays are heard from
// the next step on. What sounds is marked in its PlayMarks while it is held on, for views to
// highlight; `reset` clears the marks of a track and the selection of its notes.
//
// Owns the play state of every track; the sheet, port, output, clip slots, view and marks are
// borrowed and must outlive it. Without marks of its own to write it keeps private ones.
//
// Thread rules: one thread at a time, holding the sheet lock around every call (the user-
// interface thread edits the same notes). Never sleeps or waits.
class Scheduler {
  public:
    // `output` is the device `port` sends to; the scheduler sends its note offs there
    // directly, with the key it sent the note on with.
    Scheduler(SheetDocument& sheet, MidiPort& port, MidiOutput& output, ClipSlots& clips,
              PlaybackView* view = nullptr, PlayMarks* marks = nullptr);

    // Starts a playback at clock time `originUs` (time 0 of the playback). Play takes the
    // sheet's selected track (track 0 when it names none). Returns false when the sheet is
    // already playing or has nothing to play. The port must be open.
    bool begin(PlayMode mode, int64_t originUs);
    // Advances every playing track to `nowUs` (microseconds since the origin), sending every
    // message that is due by then. Returns whether the playback goes on.
    bool cycle(int64_t nowUs);
    // Stop: every sounding note is silenced at once (notes stamped to start after `nowUs`
    // are silenced as they start), marks and highlights cleared. The next begin starts from
    // the first note.
    void stopPlayback(int64_t nowUs);
    // Moves every track to fraction `f` (0..1) of the lead track's length.
    void seek(double f, int64_t nowUs);

    // Chord symbols sound too: each symbol's chord (its bass below) on the accompaniment
    // channel from its note until the next symbol, the end or a stop. Off unless set; set it
    // before begin.
    void setChordSymbols(bool on) { m_chordSymbols = on; }

    bool playing() const { return m_playing; }
    PlayMode mode() const { return m_mode; }
    int leadTrack() const { return m_leadTrack; }
    // The lead track's length in milliseconds, rounded, as the time displays show it.
    int64_t leadLength() const { return (m_leadLengthUs + 500) / 1000; }
    int64_t originUs() const { return m_originUs; }
    int64_t stampUs(int64_t us) const { return m_originUs + us; }
    // What sounds now, by track and note.
    const PlayMarks& marks() const { return *m_marks; }

    // Operations on one track (by index in the sheet).
    void reset(int trackIndex);
    // Advances the track to `nowUs`; returns whether it still plays.
    bool step(int trackIndex, int64_t nowUs, bool isLead);
    bool eventStep(int trackIndex, int64_t nowUs, bool isLead);
    // Ends the track's playback; held notes are silenced with stamps no later than `nowUs`
    // (and no earlier than their start).
    void allNotesOff(int trackIndex, int64_t nowUs);
    // The track's length in milliseconds at its tempo, rounded (play_time.h), with loops and
    // measure repeats.
    int64_t playLength(int trackIndex) const;
    const TrackPlayState& state(int trackIndex) const;

  private:
    // The accompaniment: the chord of `root`'s symbol from `atUs` on, the one before released.
    void accompany(const Note& root, int64_t atUs);
    void releaseAccompaniment(int64_t atUs);
    enum class StepResult { Ended, Waiting, Advanced };
    StepResult stepOnce(int trackIndex, int64_t nowUs, bool isLead);
    StepResult eventStepOnce(int trackIndex, int64_t nowUs, bool isLead);
    StepResult startClip(Track& track, TrackPlayState& st, int ti, const PlayStep& step, int64_t nowUs,
                         int64_t idealUs);
    StepResult runClip(Track& track, TrackPlayState& st, int ti, int64_t nowUs, bool justStarted);
    void endClip(TrackPlayState& st, int ti, int64_t atUs);
    void startStep(Track& track, TrackPlayState& st, int ti, const PlayStep& step, int64_t startUs);
    void sweepNoteOffs(Track& track, TrackPlayState& st, int ti, int64_t nowUs);
    void silenceDuplicates(TrackPlayState& st, int ti, int writtenKey, int64_t atUs);
    void sendNoteOff(const TrackPlayState::Sounding& s, int64_t atUs);
    void sound(Track& track, TrackPlayState& st, int ti, int noteIndex, int64_t startUs, int64_t endUs);
    void refreshProgress(TrackPlayState& st, int64_t nowUs, bool afterSeek = false);
    void silenceAll(TrackPlayState& st, int64_t stampUs);
    // How long the lead track plays, in microseconds.
    int64_t playLengthUs(int trackIndex) const;
    bool trackPlays(int ti) const;

    SheetDocument& m_sheet;
    MidiPort& m_port;
    MidiOutput& m_output;
    ClipSlots& m_clips;
    PlaybackView* m_view;
    PlayMarks m_ownMarks;
    PlayMarks* m_marks;
    std::vector<TrackPlayState> m_states;
    bool m_playing = false;
    bool m_chordSymbols = false;
    bool m_accompanimentProgramSent = false;
    std::vector<int> m_accompaniment; // keys the accompaniment channel holds
    int64_t m_accompanimentStartUs = 0;
    PlayMode m_mode = PlayMode::All;
    int m_playTrack = 0; // the one track of Play
    int m_leadTrack = -1;
    int64_t m_leadLengthUs = 0;
    int64_t m_originUs = 0;
};

} // namespace tonvela
