#pragma once

#include "playback/tempo_map.h"
#include "score/loop_rule.h"
#include "score/measure_repeat.h"
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

// Scheduler times are milliseconds from the start of the playback; this marks "none yet".
inline constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();
// The range of the "Length:" progress slider.
inline constexpr int kSliderRange = 384;
// How often the lead track refreshes the slider and the time texts.
inline constexpr int64_t kCursorRefreshMs = 100;
inline constexpr int64_t kEventCursorRefreshMs = 101;
// The slider is left alone this long after the user moved it.
inline constexpr int64_t kSeekSliderHoldMs = 500;
// A track ignores a second seek within this long of the previous one.
inline constexpr int64_t kSeekRepeatMs = 100;
// A clip whose slot reports neither playing nor finished is given up after this long, so a
// clip that never starts cannot hold the track for ever.
inline constexpr int64_t kClipStartTimeoutMs = 5000;

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
    struct Progress {
        int slider = -1;         // 0..384, or -1 when the slider is to stay where it is
        std::string elapsedText; // "00:03"
        std::string totalText;   // "01:15"
        int64_t elapsedMs = 0;
        int64_t totalMs = 0;
    };
    virtual ~PlaybackView() = default;
    virtual void progress(const Progress& /*p*/, int64_t /*atUs*/) {}
    // Sounding marks of notes changed: redraw the highlights.
    virtual void highlightsChanged(int /*trackIndex*/, int64_t /*atUs*/) {}
    // The first track reached another measure (numbered from 1, as the score's division and
    // the sheet number them): scroll it into view.
    virtual void followMeasure(int /*measureIndex*/, int64_t /*atUs*/) {}
    // The playback ended, by itself or by Stop.
    virtual void ended() {}
};

// Where one track stands in a playback.
struct TrackPlayState {
    // A note (or a recorded event) the track holds on, with exactly what was sent for it, so
    // the note off matches even when the note is edited or moved while it sounds.
    struct Sounding {
        int noteIndex = -1;
        int key = -1; // the key sent; -1 when nothing was sent (a rest)
        int channel = 0;
        int writtenKey = 0; // midi + sharp - flat, to find a sounding duplicate
        int64_t startMs = 0;
        int64_t endMs = kNoTime; // kNoTime: held until the track ends
        bool tie = false;
    };

    int playIndex = -1; // next note to start; -1 when not playing
    bool stopRequested = false;
    int64_t stepStart = kNoTime;
    int64_t stepLength = 0;
    int64_t elapsed = 0;
    int64_t shownElapsed = 0;
    // The 120-bpm length of the steps begun: each step's length at the tempo is rounded from
    // this running place, so the roundings never add up along the track.
    int64_t position120 = 0;
    int64_t lastCursorUpdate = kNoTime;
    LoopState loop; // loop in progress; loop.lastPlayedIndex is the note that started last
    MeasureRepeatState repeats;
    // The index the repeat rule last ran for: it runs once for every index the track reaches
    // (a seek runs it while it walks), however often the track waits there (a clip).
    int repeatCheckedAt = -1;
    int lastFollowedMeasure = 0;
    int clipSlot = -1;
    bool clipStarted = false;
    int64_t clipWaitStart = 0;
    int64_t clipStartMs = 0;     // when the clip's sound starts
    int64_t clipEndMs = kNoTime; // when it ends, once its slot knows
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

// The playback state machine of one sheet. It advances to a given time and sends each
// message stamped with the ideal time it computed (origin + milliseconds), so a driver may
// run it ahead of the clock: steps join end to start whatever the polling delay, and the
// output sounds every message at its time.
//
// It plays the live sheet: notes edited, inserted or removed while it plays are heard from
// the next step on. A note's `sounding` mark is set while it is held on; `reset` clears the
// marks and the selection of every note of the tracks it plays.
//
// Owns the play state of every track; the sheet, port, output and clip slots are borrowed and
// must outlive it.
//
// Thread rules: one thread at a time, holding the sheet lock around every call (the user-
// interface thread edits the same notes). Never sleeps or waits.
class Scheduler {
  public:
    // `output` is the device `port` sends to; the scheduler sends its note offs there
    // directly, with the key it sent the note on with.
    Scheduler(SheetDocument& sheet, MidiPort& port, MidiOutput& output, ClipSlots& clips,
              PlaybackView* view = nullptr);

    // Starts a playback at clock time `originUs` (time 0 of the playback). Play takes the
    // sheet's selected track (track 0 when it names none). Returns false when the sheet is
    // already playing or has nothing to play. The port must be open.
    bool begin(PlayMode mode, int64_t originUs);
    // Advances every playing track to `nowMs` (milliseconds since the origin), sending every
    // message that is due by then. Returns whether the playback goes on.
    bool cycle(int64_t nowMs);
    // Stop: every sounding note is silenced at once (notes stamped to start after `nowMs`
    // are silenced as they start), marks and highlights cleared. The next begin starts from
    // the first note.
    void stopPlayback(int64_t nowMs);
    // Moves every track to fraction `f` (0..1) of the lead track's length.
    void seek(double f, int64_t nowMs);

    bool playing() const { return m_playing; }
    PlayMode mode() const { return m_mode; }
    int leadTrack() const { return m_leadTrack; }
    int64_t leadLength() const { return m_leadLength; }
    int64_t originUs() const { return m_originUs; }
    int64_t stampUs(int64_t ms) const { return m_originUs + ms * 1000; }

    // Operations on one track (by index in the sheet).
    void reset(int trackIndex);
    // Advances the track to `nowMs`; returns whether it still plays.
    bool step(int trackIndex, int64_t nowMs, bool isLead);
    bool eventStep(int trackIndex, int64_t nowMs, bool isLead);
    // Ends the track's playback; held notes are silenced with stamps no later than `nowMs`
    // (and no earlier than their start).
    void allNotesOff(int trackIndex, int64_t nowMs);
    // Total length in milliseconds at the track's tempo, with loops and measure repeats.
    int64_t playLength(int trackIndex) const;
    const TrackPlayState& state(int trackIndex) const;

  private:
    enum class StepResult { Ended, Waiting, Advanced };
    StepResult stepOnce(int trackIndex, int64_t nowMs, bool isLead);
    StepResult eventStepOnce(int trackIndex, int64_t nowMs, bool isLead);
    std::optional<StepResult> runClipRule(Track& track, TrackPlayState& st, int ti, int64_t nowMs,
                                          int64_t idealMs);
    StepResult startNote(Track& track, TrackPlayState& st, int ti, int64_t startMs);
    void sweepNoteOffs(Track& track, TrackPlayState& st, int ti, int64_t nowMs);
    void silenceDuplicates(TrackPlayState& st, Track& track, int writtenKey, int64_t atMs);
    void sendNoteOff(const TrackPlayState::Sounding& s, int64_t atMs);
    void sound(Track& track, TrackPlayState& st, int noteIndex, int64_t startMs, int64_t endMs);
    void refreshProgress(TrackPlayState& st, int64_t nowMs, bool afterSeek = false);
    void silenceAll(TrackPlayState& st, int64_t stampMs);
    // Walks the roots in playing order (loops and measure repeats) from the start, adding each
    // step's length, until `target` is reached; returns the note reached (-1 at the end).
    int walkTo(const Track& track, int64_t target, int64_t& sum, LoopState& loop, MeasureRepeatState& repeats,
               int64_t* sum120 = nullptr) const;
    bool trackPlays(int ti) const;

    SheetDocument& m_sheet;
    MidiPort& m_port;
    MidiOutput& m_output;
    ClipSlots& m_clips;
    PlaybackView* m_view;
    std::vector<TrackPlayState> m_states;
    bool m_playing = false;
    PlayMode m_mode = PlayMode::All;
    int m_playTrack = 0; // the one track of Play
    int m_leadTrack = -1;
    int64_t m_leadLength = 0;
    int64_t m_originUs = 0;
};

} // namespace tonvela
