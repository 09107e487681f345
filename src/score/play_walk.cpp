#include "score/play_walk.h"

#include "score/tie_rule.h"
#include "score/voices.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tonvela {

namespace {

// A tie the walk does not merge: it runs over a place where a repeat goes back or a repeated
// passage leaves.
bool tieCut(const Track& track, const MeasureDivision& measures, int from, int to)
{
    return tieCrossesRepeat(track, measures, from, to) || tieCrossesRangeEnd(track, measures, from, to);
}

// Both repeat rules at index i: a measure repeat first; only when it goes on does a repeated
// passage go back or leave. A jump starts the measure being played afresh.
int applyRepeats(const Track& track, const MeasureDivision& measures, int i, PlayCursor& c)
{
    const int next = applyMeasureRepeat(track, measures, i, c.repeats);
    if (next != i)
        return next;
    const int jumped = applyRepeatRanges(track, measures, i, c.ranges);
    if (jumped != i)
        c.repeats.repeatStart = jumped;
    return jumped;
}

// The note that strikes the sound note i is held on in, when i is part of a tie chain of its
// voice that began before it; -1 when i is struck itself. The walk of a track with two voices
// goes through the array note by note and passes a held note by.
int struckBeforeInVoice(const Track& track, const MeasureDivision& measures, int i)
{
    // Only a note with the tie mark is held on from one before it (tie_rule.h).
    if (!(track.noteAt(i).dwFlag & kFlagTie))
        return -1;
    std::vector<int> chain{i};
    for (int p = previousRootInVoice(track, i);
         p >= 0 && chain.size() <= static_cast<std::size_t>(kMaxTieMerge) * 64;
         p = previousRootInVoice(track, p)) {
        const int u = chain.back();
        if (!tieMerges(track.noteAt(p), track.noteAt(u)) || lengthTicks(track.noteAt(u)) == 0 ||
            lengthTicks(track.noteAt(p)) == 0 || tieCut(track, measures, p, u))
            break;
        chain.push_back(p);
    }
    // A chain sounds at most kMaxTieMerge notes as one; the next note of it is struck again.
    const std::size_t back = (chain.size() - 1) % static_cast<std::size_t>(kMaxTieMerge);
    return back == 0 ? -1 : chain[back];
}

// `withHeld` false leaves the step's held length unset: a look ahead needs only where the
// next step starts.
std::optional<PlayStep> stepOnce(const Track& track, const MeasureDivision& measures, PlayCursor& c,
                                 WalkOrder order, bool withHeld = true)
{
    const bool played = order == WalkOrder::Played;
    const bool voiced = measures.hasSecondVoice();
    while (!c.ended) {
        if (++c.visits > kMaxWalkSteps || c.index < 0 || c.index > track.count) {
            c.ended = true;
            break;
        }
        // The repeat rule sees every index the walk reaches, the end of the track included.
        if (played)
            c.index = applyRepeats(track, measures, c.index, c);
        if (c.index >= track.count) {
            c.ended = true;
            break;
        }
        const int i = c.index;
        const Note& n = track.noteAt(i);
        if (n.isChordMember()) {
            // A chord member sounds with its root; one whose root is missing sounds not at all.
            ++c.index;
            continue;
        }
        PlayStep step;
        step.index = i;
        step.lastTied = i;
        step.measure = measures.measureOf(i);
        step.start = c.start;
        const Ticks own = lengthTicks(n);
        const bool second = voiced && own > 0 && n.inVoice2();
        if (voiced) {
            // Voice 2 starts each measure where voice 1 does; a jump back (a repeat, a loop)
            // starts the count again there.
            if (step.measure != c.measure || i < c.lastIndex)
                c.start2 = c.start;
            c.measure = step.measure;
            c.lastIndex = i;
            if (const int struck = own > 0 ? struckBeforeInVoice(track, measures, i) : -1; struck >= 0) {
                // Each voice's clock moves on note by note, the held notes too: a tie over a bar
                // line then leaves both clocks where the new measure begins.
                (second ? c.start2 : c.start) += own;
                ++c.index;
                continue;
            }
            if (second)
                step.start = c.start2;
        }
        if (n.type == kTypeAudioClip || own == 0) {
            step.kind = n.type == kTypeAudioClip ? PlayKind::Clip : PlayKind::Mark;
            ++c.index;
            return step;
        }
        step.kind = n.isRest() ? PlayKind::Rest : PlayKind::Sound;

        // The tie chain: at most kMaxTieMerge notes sound as one.
        step.length = own;
        int u = i;
        auto after = [&](int at) { return voiced ? nextRootInVoice(track, at) : track.nextRoot(at); };
        // A note without the tie mark holds on through none (tie_rule.h): its next root is
        // not looked for.
        int v = (n.dwFlag & kFlagTie) ? after(u) : track.count;
        // Only notes that take time join: a tie into a bar line or a clip ends there.
        while (v < track.count && step.tiedNotes + 1 < kMaxTieMerge &&
               tieMerges(track.noteAt(u), track.noteAt(v)) && lengthTicks(track.noteAt(v)) > 0 &&
               !tieCut(track, measures, u, v)) {
            // A tie into a measure marked to repeat: that measure begins at v, which the walk
            // passes by inside this step.
            if (played)
                applyMeasureRepeat(track, measures, v, c.repeats);
            step.length += lengthTicks(track.noteAt(v));
            ++step.tiedNotes;
            u = v;
            v = after(v);
        }
        step.lastTied = u;

        // A chord member that sounds on after the root's chain holds the step on.
        step.held = step.length;
        if (withHeld && step.kind == PlayKind::Sound)
            forEachPlayedNote(track, step, [&](const PlayedNote& p) {
                step.held = std::max(step.held, p.offset + p.held);
            });

        (second ? c.start2 : c.start) += voiced ? own : step.length;
        // With two voices the walk goes on note by note and passes the tied-on notes by.
        const bool jumpTies = step.tiedNotes > 0 && !voiced;
        if (played) {
            bool jumped = false;
            const int next = applyLoopRule(track, i, c.loop, &jumped);
            c.index = (jumped || next < 1 || !jumpTies) ? next : v;
        } else {
            c.index = jumpTies ? v : i + 1;
        }
        return step;
    }
    return std::nullopt;
}

} // namespace

namespace {

// The first note of the chord at `chord`, its root before its valid members, for which
// pred(index) holds; -1 when there is none.
template <class P> int firstNoteOfChord(const Track& track, int chord, P&& pred)
{
    if (pred(chord))
        return chord;
    const Note& root = track.noteAt(chord);
    for (int k = 0; k < root.childCount && k < kMaxChordMembers; ++k) {
        const int m = root.children[k];
        if (m >= 0 && m < track.count && m != chord && pred(m))
            return m;
    }
    return -1;
}

} // namespace

int tieLinks(const Track& track, const PlayStep& step, std::array<int, kMaxTieMerge>& roots,
             std::array<Ticks, kMaxTieMerge>& starts)
{
    int links = 0;
    forEachTiedNote(track, step, [&](int u, Ticks at) {
        if (links < kMaxTieMerge) {
            roots[static_cast<std::size_t>(links)] = u;
            starts[static_cast<std::size_t>(links)] = at - step.start;
            ++links;
        }
    });
    return links;
}

// The chords of a chain are tied as a whole (their roots carry the mark), as the staff draws
// and LilyPond writes them: every pitch the next chord repeats holds on, whatever its own
// mark. Only a note as long as its chord's root takes the tie: a longer member still sounds
// when the next chord begins.
int tiedInChord(const Track& track, int chord, const Note& from)
{
    const Note& root = track.noteAt(chord);
    const Ticks rootLength = lengthTicks(root);
    auto takes = [&](int i) {
        const Note& n = track.noteAt(i);
        // On a drum staff the drum, not the place on the staff, is what sounds on.
        return !n.isRest() && lengthTicks(n) == rootLength && tieCanJoin(from, n) &&
               (!track.percussive || n.midi == from.midi);
    };
    return firstNoteOfChord(track, chord, takes);
}

Ticks heldThroughTies(const Track& track, const int* roots, int links, int link, int note)
{
    Ticks held = lengthTicks(track.noteAt(note));
    int at = note;
    for (int k = link; k + 1 < links; ++k) {
        const Note& n = track.noteAt(at);
        if (n.isRest() || lengthTicks(n) != lengthTicks(track.noteAt(roots[k])))
            break;
        const int next = tiedInChord(track, roots[k + 1], n);
        if (next < 0)
            break;
        held += lengthTicks(track.noteAt(next));
        at = next;
    }
    return held;
}

bool tiedFromChordBefore(const Track& track, const int* roots, int link, int note)
{
    if (link <= 0)
        return false;
    const int before = roots[link - 1];
    const Note& n = track.noteAt(note);
    if (n.isRest())
        return false;
    const Note& root = track.noteAt(before);
    auto holds = [&](int i) {
        const Note& p = track.noteAt(i);
        return lengthTicks(p) == lengthTicks(root) && tiedInChord(track, roots[link], p) == note;
    };
    return firstNoteOfChord(track, before, holds) >= 0;
}

namespace {

// One step as nextPlayStep takes it. With two voices the step after it is looked at to know
// how long the step holds; `cache` (when given) keeps that step and the cursor after it when
// it came next, so the following call takes it from there instead of stepping again.
std::optional<PlayStep> walkStep(const Track& track, const MeasureDivision& measures, PlayCursor& c,
                                 WalkOrder order, PlayLookahead* cache)
{
    const bool voiced = measures.hasSecondVoice();
    std::optional<PlayStep> step;
    if (cache && cache->valid) {
        step = cache->step;
        c = std::move(cache->after);
        cache->valid = false;
    } else {
        // With two voices the held length comes from the step after, below.
        step = stepOnce(track, measures, c, order, !voiced);
    }
    if (!step || !voiced || (step->kind != PlayKind::Sound && step->kind != PlayKind::Rest))
        return step;
    // Two voices: the steps come in time order, and the next one starts when the next step of
    // either voice does, so a step is held until then (its notes still sound their own length).
    PlayCursor ahead = c;
    std::optional<PlayStep> next;
    int taken = 0;
    while ((next = stepOnce(track, measures, ahead, order, false))) {
        ++taken;
        if (next->kind == PlayKind::Sound || next->kind == PlayKind::Rest)
            break;
    }
    const Ticks until = next ? next->start : std::max(ahead.start, ahead.start2);
    step->held = std::max<Ticks>(0, until - step->start);
    if (cache && next && taken == 1) {
        cache->step = *next;
        cache->after = std::move(ahead);
        cache->valid = true;
    }
    return step;
}

} // namespace

std::optional<PlayStep> nextPlayStep(const Track& track, const MeasureDivision& measures, PlayCursor& c,
                                     WalkOrder order)
{
    return walkStep(track, measures, c, order, nullptr);
}

std::optional<PlayStep> PlayWalk::next()
{
    return walkStep(m_track, m_measures, m_cursor, m_order, &m_ahead);
}

PlayWalk::PlayWalk(const Track& track, WalkOrder order) : m_track(track), m_order(order)
{
    // Divided here from the notes as they are: a walk needs no layout to have run.
    m_measures.divide(track);
}

} // namespace tonvela
