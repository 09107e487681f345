#include "interchange/musicxml_export_timeline.h"

#include "score/play_walk.h"
#include "score/sounding_pitch.h"
#include "score/time_signature.h"
#include "score/track.h"
#include "score/voices.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tonvela::musicxml {
namespace {

// A walk that plays more chords than this is refused rather than written out without bound.
constexpr long long kMaxSounds = 500'000;

// A place or length of the score (duration.h) in the file's divisions. Every note length is a
// whole number of divisions (the shortest, a thirty-second, is 12).
int64_t divisionsOf(Ticks t)
{
    return t * kTicksPerQuarter / kQuarterTicks;
}

// The voice (from `from`) whose last sound ends by `start`, or a new one.
std::vector<Sound>& freeVoice(std::vector<std::vector<Sound>>& voices, std::size_t from, int64_t start)
{
    for (std::size_t v = from; v < voices.size(); ++v) {
        const Sound& last = voices[v].back();
        if (last.start + last.length <= start)
            return voices[v];
    }
    voices.emplace_back();
    return voices.back();
}

} // namespace

int64_t measureDivisionsOf(int timeSigCode)
{
    return divisionsOf(measureTicksOf(timeSigCode));
}

int64_t pickupDivisionsOf(const Track& track)
{
    return divisionsOf(validPickup(track.pickupTicks, track.timeSig));
}

bool hasNoteLoops(const Track& track)
{
    for (int i = 0; i < track.count; ++i) {
        const Note& n = track.noteAt(i);
        if (n.loopCount > 0 && n.loopTo >= 0 && n.loopTo < track.count && isDurationType(n.type) &&
            !n.isChordMember())
            return true;
    }
    return false;
}

std::vector<NoteValue> splitIntoNoteValues(int64_t ticks)
{
    // The note kinds of the score, and the 64th that splits what is left below a thirty-second.
    struct Kind {
        int64_t ticks;
        const char* type;
    };
    static const std::vector<Kind> kKinds = [] {
        std::vector<Kind> kinds;
        for (const NoteKind& k : kNoteKinds)
            kinds.push_back({divisionsOf(k.ticks), k.musicXmlType});
        kinds.push_back({divisionsOf(kWholeTicks / 64), "64th"});
        return kinds;
    }();
    const int64_t shortest = kKinds.back().ticks;
    const int64_t shortestDotted = kKinds[kKinds.size() - 2].ticks;
    std::vector<NoteValue> out;
    int64_t left = ticks;
    while (left >= shortest) {
        for (const Kind& k : kKinds) {
            if (k.ticks > left)
                continue;
            const bool dot = k.ticks >= shortestDotted && k.ticks + k.ticks / 2 <= left;
            const int64_t t = dot ? k.ticks + k.ticks / 2 : k.ticks;
            out.push_back({t, k.type, dot});
            left -= t;
            break;
        }
    }
    if (left > 0 && !out.empty())
        out.back().ticks += left; // a remainder below a 64th stays with the last value
    else if (left > 0)
        out.push_back({left, "64th", false});
    return out;
}

namespace {

// A voice 2 that overfills its measure (a hand-edited file, a voice 2 note made longer) still
// sounds each measure's notes from the measure's start, so a note can still sound where the
// next one begins. The writer takes a voice as one line of notes: such a note moves to
// `overlapping` (the caller gives it a voice of its own, where it keeps its whole length) and a
// rest keeps its time in voice 2 up to the next note; a rest still running is cut there. Without
// this the measure after it held more than its meter and MuseScore moved its notes.
void keepVoiceInStep(std::vector<Sound>& sounds, std::vector<Sound>& overlapping)
{
    std::vector<Sound> kept;
    kept.reserve(sounds.size());
    for (Sound& s : sounds) {
        if (!kept.empty() && kept.back().start + kept.back().length > s.start) {
            Sound& held = kept.back();
            const bool note = !held.rest && !held.heads.empty();
            if (note)
                overlapping.push_back(held);
            if (held.start < s.start) {
                if (note) {
                    held = Sound{};
                    held.start = overlapping.back().start;
                    held.rest = true;
                }
                held.length = s.start - held.start;
                held.triplet = false;
                held.writtenType = nullptr;
                held.writtenDotted = false;
            } else {
                kept.pop_back();
            }
        }
        kept.push_back(std::move(s));
    }
    sounds = std::move(kept);
}

} // namespace

bool buildTimeline(const Track& track, bool unfold, TrackTimeline& out, std::string& error)
{
    out = TrackTimeline{};
    out.voices.emplace_back();
    PlayWalk walk(track, unfold ? WalkOrder::Played : WalkOrder::Written);
    const MeasureDivision& measures = walk.measures();
    const KeyAccidentalTable keys(track);
    // A staff with two voices keeps its second voice in the second lane; the voices of chord
    // members of another length follow.
    out.secondVoice = measures.hasSecondVoice();
    if (out.secondVoice)
        out.voices.emplace_back();
    const std::size_t firstExtra = out.secondVoice ? 2 : 1;

    // Start of each measure of the division, in staff order (every root once).
    {
        Ticks s = 0;
        int measure = 0;
        for (int i = 0; i < track.count; ++i) {
            const int m = measures.measureOf(i);
            while (measure < m) {
                out.measureAt.push_back(divisionsOf(s));
                ++measure;
            }
            if (!track.noteAt(i).isChordMember())
                s += lengthTicks(track.noteAt(i));
        }
    }

    long long played = 0;
    while (const std::optional<PlayStep> step = walk.next()) {
        const int64_t s = divisionsOf(step->start);
        const Note& n = track.noteAt(step->index);
        if (step->kind == PlayKind::Mark && n.type == kTypeBar)
            out.barTicks.push_back(s);
        if (step->kind != PlayKind::Sound && step->kind != PlayKind::Rest)
            continue;
        if (++played > kMaxSounds) {
            error = "a track plays more than " + std::to_string(kMaxSounds) +
                    " notes with its loops and repeats, too many to write";
            return false;
        }

        // The tie chain that playback sounds as one note: every link is written as its own
        // note, tied to the next, at the pitch the chain sounds (the first note's).
        const bool sounds = step->kind == PlayKind::Sound;
        const int rootKey = soundingPitch(n, track, keys);
        const bool rootPlays = sounds && rootKey >= 0 && rootKey <= 127;
        // By index: a new voice for a chord member moves the lanes.
        const std::size_t lane = out.secondVoice && voiceOf(track, step->index) == kVoice2 ? 1 : 0;
        const std::size_t first = out.voices[lane].size();
        int link = 0;
        forEachTiedNote(track, *step, [&](int u, Ticks at) {
            const Note& note = track.noteAt(u);
            Sound sound;
            sound.start = divisionsOf(at);
            sound.length = divisionsOf(lengthTicks(note));
            if (isTriplet(note.type, note.dwFlag)) {
                sound.triplet = true;
                sound.writtenType = noteKindOf(note.type)->musicXmlType;
                sound.writtenDotted = note.isDotted();
            }
            sound.rest = !rootPlays;
            if (rootPlays) {
                Head h;
                h.noteIndex = u;
                h.key = rootKey;
                h.tieFromPrevious = link > 0;
                h.tieToNext = link < step->tiedNotes;
                sound.heads.push_back(h);
            }
            if (note.lyrictext() && !note.isRest())
                sound.lyric = &*note.lyrictext();
            // A symbol stands at the note that carries it, also a note a tie holds on (a pickup
            // tied into the downbeat where the chord changes); a link without one names none.
            if (note.chordSymbol() && !note.isRest())
                sound.chordSymbol = &*note.chordSymbol();
            out.voices[lane].push_back(std::move(sound));
            ++link;
        });

        // Every chord of the chain writes its members, each head tied to the note of the next
        // chord it holds on to (playback holds them the same way); a chord whose root is a rest
        // sounds none of them.
        if (!sounds)
            continue;
        std::array<int, kMaxTieMerge> roots{};
        std::array<Ticks, kMaxTieMerge> starts{};
        const int links = tieLinks(track, *step, roots, starts);
        for (int k = 0; k < links && first + static_cast<std::size_t>(k) < out.voices[lane].size(); ++k) {
            const int chord = roots[static_cast<std::size_t>(k)];
            const Note& chordRoot = track.noteAt(chord);
            const int64_t at = divisionsOf(step->start + starts[static_cast<std::size_t>(k)]);
            for (int c = 0; c < chordRoot.childCount && c < kMaxChordMembers; ++c) {
                const int m = chordRoot.children[c];
                if (m < 0 || m >= track.count || m == chord)
                    continue;
                const Note& member = track.noteAt(m);
                if (member.isRest() || lengthTicks(member) == 0)
                    continue;
                const int key = soundingPitch(member, track, keys);
                if (key < 0 || key > 127)
                    continue;
                Sound& linkSound = out.voices[lane][first + static_cast<std::size_t>(k)];
                if (!linkSound.lyric && member.lyrictext())
                    linkSound.lyric = &*member.lyrictext();
                const int64_t length = divisionsOf(lengthTicks(member));
                const auto same = [&](const Head& h) { return h.key == key; };
                if (length == linkSound.length && rootPlays) {
                    if (std::none_of(linkSound.heads.begin(), linkSound.heads.end(), same)) {
                        const bool fromBefore = tiedFromChordBefore(track, roots.data(), k, m);
                        const bool toNext =
                            k + 1 < links &&
                            tiedInChord(track, roots[static_cast<std::size_t>(k) + 1], member) >= 0;
                        linkSound.heads.push_back({m, key, fromBefore, toNext});
                    }
                    continue;
                }
                // A member of another length: its own voice, joined to a chord there when it
                // starts and ends with one.
                bool joined = false;
                for (std::size_t vi = firstExtra; vi < out.voices.size() && !joined; ++vi) {
                    Sound& last = out.voices[vi].back();
                    if (last.start == at && last.length == length) {
                        if (std::none_of(last.heads.begin(), last.heads.end(), same))
                            last.heads.push_back({m, key, false, false});
                        joined = true;
                    }
                }
                if (joined)
                    continue;
                Sound extra;
                extra.start = at;
                extra.length = length;
                extra.heads.push_back({m, key, false, false});
                freeVoice(out.voices, firstExtra, at).push_back(std::move(extra));
            }
        }
    }
    if (out.secondVoice) {
        std::vector<Sound> overlapping;
        keepVoiceInStep(out.voices[1], overlapping);
        for (Sound& o : overlapping)
            freeVoice(out.voices, firstExtra, o.start).push_back(std::move(o));
    }
    out.end = divisionsOf(walk.cursor().start);
    return true;
}

} // namespace tonvela::musicxml
