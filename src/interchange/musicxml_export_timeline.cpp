#include "interchange/musicxml_export_timeline.h"

#include "score/loop_rule.h"
#include "score/measure_repeat.h"
#include "score/note.h"
#include "score/sounding_pitch.h"
#include "score/tie_rule.h"
#include "score/time_signature.h"
#include "score/track.h"

#include <algorithm>
#include <cmath>

namespace tonvela::musicxml {
namespace {

// A walk that plays more chords than this is refused rather than written out without bound.
constexpr long long kMaxSounds = 500'000;

// Ticks at 96 per quarter: the whole note is 384.
int64_t ticksOf(const Note& n)
{
    return n.lengthTicks();
}

// The voice (from 1) whose last sound ends by `start`, or a new one.
std::vector<Sound>& freeVoice(std::vector<std::vector<Sound>>& voices, int64_t start)
{
    for (std::size_t v = 1; v < voices.size(); ++v) {
        const Sound& last = voices[v].back();
        if (last.start + last.length <= start)
            return voices[v];
    }
    voices.emplace_back();
    return voices.back();
}

} // namespace

int64_t measureTicksOf(int timeSigCode)
{
    return static_cast<int64_t>(std::llround(measureLengthOf(timeSigCode) * 4 * kTicksPerQuarter));
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

int playbackChannelOf(const Track& track)
{
    if (track.percussive)
        return 9;
    const int c = ((track.channel % 16) + 16) % 16;
    return (c == 9 || c == 10) ? c + 2 : c;
}

std::vector<NoteValue> splitIntoNoteValues(int64_t ticks)
{
    struct Kind {
        int64_t ticks;
        const char* type;
    };
    static constexpr Kind kKinds[] = {{384, "whole"}, {192, "half"}, {96, "quarter"}, {48, "eighth"},
                                      {24, "16th"},   {12, "32nd"},  {6, "64th"}};
    std::vector<NoteValue> out;
    int64_t left = ticks;
    while (left >= 6) {
        for (const Kind& k : kKinds) {
            if (k.ticks > left)
                continue;
            const bool dot = k.ticks >= 12 && k.ticks + k.ticks / 2 <= left;
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

bool buildTimeline(const Track& track, bool unfold, TrackTimeline& out, std::string& error)
{
    out = TrackTimeline{};
    out.voices.emplace_back();
    MeasureDivision measures;
    measures.divide(track);
    const KeyAccidentalTable keys(track);

    // Start of each measure of the division, in staff order (every root once).
    {
        int64_t s = 0;
        int measure = 0;
        for (int i = 0; i < track.count; ++i) {
            const int m = measures.measureOf(i);
            while (measure < m) {
                out.measureAt.push_back(s);
                ++measure;
            }
            const Note& n = track.noteAt(i);
            if (isDurationType(n.type) && !n.isChordMember())
                s += ticksOf(n);
        }
    }

    LoopState loop;
    MeasureRepeatState repeat;
    int64_t s = 0;
    long long played = 0;
    int i = 0;
    while (i >= 0 && i <= track.count) {
        if (unfold)
            i = applyMeasureRepeat(track, measures, i, repeat);
        if (i >= track.count)
            break;
        const Note& n = track.noteAt(i);
        if (n.type == kTypeBar && !n.isChordMember())
            out.barTicks.push_back(s);
        if (!isDurationType(n.type) || n.isChordMember()) {
            ++i;
            continue;
        }
        if (++played > kMaxSounds) {
            error = "a track plays more than " + std::to_string(kMaxSounds) +
                    " notes with its loops and repeats, too many to write";
            return false;
        }

        // The tie chain that playback sounds as one note: every link is written as its own
        // note, tied to the next, at the pitch the chain sounds (the first note's).
        std::vector<int> chain{i};
        int u = i;
        int v = track.nextRoot(u);
        while (v < track.count && static_cast<int>(chain.size()) <= kMaxTieMerge &&
               tieMerges(track.noteAt(u), track.noteAt(v)) && !tieCrossesRepeat(track, measures, u, v)) {
            chain.push_back(v);
            u = v;
            v = track.nextRoot(v);
        }

        const bool sounds = !n.isRest();
        const int rootKey = soundingPitch(n, track, keys);
        const bool rootPlays = sounds && rootKey >= 0 && rootKey <= 127;
        int64_t at = s;
        for (std::size_t k = 0; k < chain.size(); ++k) {
            const Note& link = track.noteAt(chain[k]);
            Sound sound;
            sound.start = at;
            sound.length = ticksOf(link);
            sound.rest = !rootPlays;
            if (rootPlays) {
                Head h;
                h.noteIndex = chain[k];
                h.key = rootKey;
                h.tieFromPrevious = k > 0;
                h.tieToNext = k + 1 < chain.size();
                sound.heads.push_back(h);
            }
            if (link.lyrictext() && !link.isRest())
                sound.lyric = &*link.lyrictext();
            at += sound.length;
            out.voices[0].push_back(std::move(sound));
        }

        // Chord members sound with the first note of the chain for their own length; a chord
        // whose root is a rest sounds none of them.
        for (int k = 0; k < n.childCount && k < kMaxChordMembers && sounds; ++k) {
            const int m = n.children[k];
            if (m <= i || m >= track.count)
                continue;
            const Note& member = track.noteAt(m);
            if (member.isRest() || !isDurationType(member.type))
                continue;
            const int key = soundingPitch(member, track, keys);
            if (key < 0 || key > 127)
                continue;
            Sound& first = out.voices[0][out.voices[0].size() - chain.size()];
            if (!first.lyric && member.lyrictext())
                first.lyric = &*member.lyrictext();
            const int64_t length = ticksOf(member);
            const auto same = [&](const Head& h) { return h.key == key; };
            if (length == first.length && rootPlays) {
                if (std::none_of(first.heads.begin(), first.heads.end(), same))
                    first.heads.push_back({m, key, false, false});
                continue;
            }
            // A member of another length: its own voice, joined to a chord there when it
            // starts and ends with one.
            bool joined = false;
            for (std::size_t vi = 1; vi < out.voices.size() && !joined; ++vi) {
                Sound& last = out.voices[vi].back();
                if (last.start == s && last.length == length) {
                    if (std::none_of(last.heads.begin(), last.heads.end(), same))
                        last.heads.push_back({m, key, false, false});
                    joined = true;
                }
            }
            if (!joined) {
                Sound extra;
                extra.start = s;
                extra.length = length;
                extra.heads.push_back({m, key, false, false});
                freeVoice(out.voices, s).push_back(std::move(extra));
            }
        }
        s = at;

        bool jumped = false;
        const int next = applyLoopRule(track, i, loop, &jumped);
        if (!unfold && jumped)
            i = chain.size() > 1 ? v : i + 1; // loops are written out only when unfolding
        else
            i = (jumped || next < 1 || chain.size() == 1) ? next : v;
    }
    out.end = s;
    return true;
}

} // namespace tonvela::musicxml
