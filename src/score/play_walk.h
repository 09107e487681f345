#pragma once

// What a track plays, step by step: the one walk that playback, play time, the MIDI writer,
// the LilyPond and MusicXML writers and the command-line tool follow, so they agree on every
// note's place and length.

#include "score/duration.h"
#include "score/loop_rule.h"
#include "score/measure_division.h"
#include "score/measure_repeat.h"
#include "score/repeat_range.h"
#include "score/tie_rule.h"
#include "score/track.h"
#include "score/voices.h"

#include <array>
#include <optional>

namespace tonvela {

// What one step of a walk is.
enum class PlayKind {
    Sound, // a note or chord, with the notes tied on to it
    Rest,  // a rest, with the rests tied on to it; a chord whose root is a rest is a rest
    Clip,  // an audio clip note: it lasts as long as its file, which the score does not know
    Mark,  // a bar line, space, staff break or other mark: it takes no time
};

// The order a walk takes through a track.
enum class WalkOrder {
    Played,  // as playback plays: marked measures repeat, repeated passages unfold, note loops jump back
    Written, // every note once, in staff order (a writer that notates repeats with signs)
};

// One step of what a track plays.
struct PlayStep {
    PlayKind kind = PlayKind::Mark;
    int index = -1;    // the chord root, rest, clip or mark in the track
    int lastTied = -1; // the last note of its tie chain (index when nothing is tied on)
    int tiedNotes = 0; // notes after index held on by ties: they sound as part of this step
    int measure = 0;   // the measure of index (from 1), 0 where the division does not reach
    Ticks start = 0;   // where the step starts, in score time from the start of the walk
    // How long the root sounds, its tie chain included. The next step starts this much later
    // in score time: the measures, the notation and the written files count with it.
    Ticks length = 0;
    // How long playback holds the step before the next one: `length`, stretched when a chord
    // member of the root outlasts the root. On a staff with two voices the steps come in time
    // order and a step is held until the next one starts (it may be 0 where both voices start
    // together).
    Ticks held = 0;
};

// Where a walk stands. A plain value: the walk reads the track afresh at every step, so a
// track edited between two steps plays its new notes from the next step on.
struct PlayCursor {
    int index = 0;      // the next note the walk looks at
    Ticks start = 0;    // where the next step starts, in score time (of voice 1 on a staff with two)
    Ticks start2 = 0;   // where the next step of voice 2 starts (score/voices.h)
    int measure = 0;    // the measure of the last note the walk took, on a staff with two voices
    int lastIndex = -1; // that note
    LoopState loop;     // the note loop in progress
    MeasureRepeatState repeats;
    RepeatRangeState ranges; // the repeated passages (repeat_range.h)
    long long visits = 0;    // notes looked at, bounded by kMaxWalkSteps
    bool ended = false;
};

// The next step of what `track` plays, from `cursor`, with the track's division into measures
// as it is now; none at the end of the track. Chord members are part of their root's step (a
// member whose root is missing plays nothing).
// Ties: a chord root with the tie mark holds on through the next chord root when that one
// carries the mark too and reads the same letter and octave (tie_rule.h); a tie out of a
// measure marked to repeat, or over a place a repeated passage leaves from, is struck again, a tie into one
// holds on the way in. In Played order the repeat rule (measure_repeat.h), then the rule of repeated
// passages (repeat_range.h), runs at every index the walk reaches, the end of the track included, and the
// loop rule (loop_rule.h) after every step that takes time. Bounded by kMaxWalkSteps, so no damaged track
// walks for ever.
std::optional<PlayStep> nextPlayStep(const Track& track, const MeasureDivision& measures, PlayCursor& cursor,
                                     WalkOrder order = WalkOrder::Played);

// A note that sounds in a step: the root or one of its chord members, with its own length in
// score time and its legato (signed milliseconds of real time added to its sound, whatever the
// tempo).
struct PlayedNote {
    int index = -1;
    Ticks length = 0;
    int32_t stopOffsetMs = 0;
    bool rest = false; // a member that is a rest: it sounds nothing
    bool root = false;
    // How long it sounds, from `offset`: the root its whole tie chain (the step's length), a
    // chord member its own length and that of the notes of the later chords of the chain that
    // repeat its pitch (a tied chord holds every pitch the next chord repeats).
    Ticks held = 0;
    // Where it starts after the step does: 0, or the start of the later chord of the tie chain
    // that adds it (a pitch the chord before did not hold).
    Ticks offset = 0;
};

// The chord roots of a step's tie chain (at most kMaxTieMerge) and where each starts after the
// step does; returns how many there are.
int tieLinks(const Track& track, const PlayStep& step, std::array<int, kMaxTieMerge>& roots,
             std::array<Ticks, kMaxTieMerge>& starts);
// How long `note`, a note of the chord at roots[link], sounds through the chords of the chain
// after it that repeat its pitch with a tie.
Ticks heldThroughTies(const Track& track, const int* roots, int links, int link, int note);
// The note of the chord at `chord` (its root or a member) that a tie from `from` holds on, -1
// when none does.
int tiedInChord(const Track& track, int chord, const Note& from);
// True when `note` of the chord at roots[link] is held on by a tie from the chord before it.
bool tiedFromChordBefore(const Track& track, const int* roots, int link, int note);

// Calls f(PlayedNote) for the root of a Sound step, then for each of its chord members (every
// valid member other than the root), then, when the root is tied on to later chords, for each
// pitch one of them adds; nothing for rests, clips and marks.
template <class F> void forEachPlayedNote(const Track& track, const PlayStep& step, F&& f)
{
    if (step.kind != PlayKind::Sound)
        return;
    const Note& root = track.noteAt(step.index);
    f(PlayedNote{step.index, lengthTicks(root), root.dwStopOffset, false, true, step.length, 0});
    auto members = [&](int chord, auto&& each) {
        const Note& r = track.noteAt(chord);
        for (int k = 0; k < r.childCount && k < kMaxChordMembers; ++k) {
            const int m = r.children[k];
            if (m >= 0 && m < track.count && m != chord)
                each(m);
        }
    };
    if (step.tiedNotes == 0) {
        members(step.index, [&](int m) {
            const Note& member = track.noteAt(m);
            const Ticks own = lengthTicks(member);
            f(PlayedNote{m, own, member.dwStopOffset, member.isRest(), false, own, 0});
        });
        return;
    }
    std::array<int, kMaxTieMerge> roots{};
    std::array<Ticks, kMaxTieMerge> starts{};
    const int links = tieLinks(track, step, roots, starts);
    for (int link = 0; link < links; ++link)
        members(roots[static_cast<std::size_t>(link)], [&](int m) {
            if (link > 0 && tiedFromChordBefore(track, roots.data(), link, m))
                return;
            const Note& member = track.noteAt(m);
            f(PlayedNote{m, lengthTicks(member), member.dwStopOffset, member.isRest(), false,
                         heldThroughTies(track, roots.data(), links, link, m),
                         starts[static_cast<std::size_t>(link)]});
        });
}

// Calls f(index, start) for the root of a Sound or Rest step and each note tied on to it, in
// order, with where each starts in score time. The chain stays in the root's voice, as the walk
// follows it: on a staff with two voices the other voice's notes lie between its links.
template <class F> void forEachTiedNote(const Track& track, const PlayStep& step, F&& f)
{
    if (step.kind != PlayKind::Sound && step.kind != PlayKind::Rest)
        return;
    int u = step.index;
    Ticks at = step.start;
    for (int k = 0; k <= step.tiedNotes && u < track.count; ++k) {
        f(u, at);
        if (k == step.tiedNotes)
            break; // the last link: no next root is looked for
        at += lengthTicks(track.noteAt(u));
        u = nextRootInVoice(track, u);
    }
}

// The step a walk of two voices looked at ahead, and the cursor after it.
struct PlayLookahead {
    PlayStep step;
    PlayCursor after;
    bool valid = false;
};

// A whole walk over a track that does not change while it is walked (a writer, play time):
// the track divided into measures once, then step after step.
class PlayWalk {
  public:
    explicit PlayWalk(const Track& track, WalkOrder order = WalkOrder::Played);
    // The steps nextPlayStep gives, one after another.
    std::optional<PlayStep> next();
    const MeasureDivision& measures() const { return m_measures; }
    const PlayCursor& cursor() const { return m_cursor; }

  private:
    const Track& m_track;
    MeasureDivision m_measures;
    PlayCursor m_cursor;
    WalkOrder m_order;
    PlayLookahead m_ahead;
};

} // namespace tonvela
