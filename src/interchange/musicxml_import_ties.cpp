// Notes that a score splits at bar lines into tied pieces, joined again into the one note the
// sheet writes for them.

#include "interchange/musicxml_import_model.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

namespace tonvela::musicxml {
namespace {

// Pieces that add up to within this of a sheet length are taken for that length.
constexpr int64_t kJoinTolerance = kTicksPerQuarter / 64;
// At most this many pieces join into one note.
constexpr std::size_t kMaxPieces = 64;

// A chord of one voice: the indices of its notes in the event list, the first one its root.
using Chord = std::vector<std::size_t>;

const SheetLength* sheetLengthOf(int64_t ticks)
{
    for (const SheetLength& l : kSheetLengths)
        if (std::abs(l.ticks - ticks) <= kJoinTolerance)
            return &l;
    return nullptr;
}

// The notes of a chord sorted by key, so that two chords of the same keys pair their notes.
Chord byKey(const std::vector<Event>& events, Chord chord)
{
    std::stable_sort(chord.begin(), chord.end(),
                     [&](std::size_t a, std::size_t b) { return events[a].key < events[b].key; });
    return chord;
}

// Whether chord `b` only holds on chord `a`: it starts where `a` ends, with the same keys, every
// note of `a` tied onwards and every note of `b` tied from before.
bool holdsOn(const std::vector<Event>& events, const Chord& a, const Chord& b)
{
    if (a.size() != b.size())
        return false;
    const Event& ra = events[a.front()];
    const Event& rb = events[b.front()];
    if (rb.start != ra.start + ra.duration)
        return false;
    const auto plain = [&](const Event& e, const Event& root) {
        return !e.rest && !e.cue && e.duration == root.duration && e.tupletActual == 0;
    };
    const Chord sa = byKey(events, a);
    const Chord sb = byKey(events, b);
    for (std::size_t k = 0; k < sa.size(); ++k) {
        const Event& x = events[sa[k]];
        const Event& y = events[sb[k]];
        if (!plain(x, ra) || !plain(y, rb) || !x.tieStart || !y.tieStop || x.key != y.key || !y.lyric.empty())
            return false;
    }
    return true;
}

// Joins chords [first, last] of a run into the first one.
void join(std::vector<Event>& events, const std::vector<Chord>& chords, std::size_t first, std::size_t last,
          const SheetLength& length, std::vector<bool>& removed)
{
    const Chord head = byKey(events, chords[first]);
    const Chord tail = byKey(events, chords[last]);
    for (std::size_t k = 0; k < head.size(); ++k) {
        Event& e = events[head[k]];
        e.duration = length.ticks;
        e.type = length.type;
        e.dots = length.dotted ? 1 : 0;
        e.typeOutside = false;
        e.tieStart = events[tail[k]].tieStart;
    }
    for (std::size_t c = first + 1; c <= last; ++c)
        for (std::size_t i : chords[c])
            removed[i] = true;
}

// Whether a note may run on from piece `a` into the next piece `b`: no measure between them is
// kept apart. Without `keptApart` (the second voice, or a further one whose notes join chords
// of the kept voices: neither starts measures nor ends them) every measure may be crossed.
bool mayJoin(const Event& a, const Event& b, const std::vector<bool>* keptApart)
{
    if (!keptApart)
        return true;
    for (int m = std::max(a.measure, 0); m < b.measure; ++m)
        if (static_cast<std::size_t>(m) >= keptApart->size() || (*keptApart)[static_cast<std::size_t>(m)])
            return false;
    return true;
}

// Joins the pieces of each run of chords that hold one another on, from its start: each time
// the most pieces that cross a bar line and add up to one sheet length.
// `alone` (the second voice): a run joins over a bar line only into a measure where the voice
// sounds nothing but the run's pieces, since the voice counts its time afresh in each measure.
void joinRun(std::vector<Event>& events, const std::vector<Chord>& chords, std::size_t from, std::size_t to,
             const std::vector<bool>* keptApart, const std::map<int, int>* alone, std::vector<bool>& removed)
{
    constexpr int64_t kLongest = kSheetLengths[std::size(kSheetLengths) - 1].ticks + kJoinTolerance;
    std::size_t k = from;
    while (k <= to) {
        std::size_t best = k;
        const SheetLength* bestLength = nullptr;
        int64_t total = 0;
        for (std::size_t m = k; m <= to && m - k < kMaxPieces; ++m) {
            if (m > k && !mayJoin(events[chords[m - 1].front()], events[chords[m].front()], keptApart))
                break;
            total += events[chords[m].front()].duration;
            if (total > kLongest)
                break;
            const SheetLength* l = sheetLengthOf(total);
            const int measure = events[chords[m].front()].measure;
            if (alone && measure != events[chords[m - (m > k ? 1 : 0)].front()].measure) {
                // The pieces in this measure: the voice may sound no other chord there.
                int pieces = 0;
                for (std::size_t p = m; p <= to && events[chords[p].front()].measure == measure; ++p)
                    ++pieces;
                const auto it = alone->find(measure);
                if (it == alone->end() || it->second != pieces)
                    break;
            }
            // Into a measure of the second voice, only with all of the run's pieces there.
            const bool lastThere = m == to || events[chords[m + 1].front()].measure != measure;
            if (m > k && l && measure != events[chords[k].front()].measure && (!alone || lastThere)) {
                best = m;
                bestLength = l;
            }
        }
        if (bestLength)
            join(events, chords, k, best, *bestLength, removed);
        k = best + 1;
    }
}

} // namespace

std::vector<Event> joinTiesOverBarLines(const std::vector<Event>& all, int staffIndex,
                                        const std::string& firstVoice, const std::string& secondVoice,
                                        const std::vector<bool>& keptApart)
{
    std::vector<Event> events;
    for (const Event& e : all)
        if (e.staff == staffIndex)
            events.push_back(e);

    // The chords of each voice in file order; a <chord/> note belongs to the chord before it.
    std::map<std::string, std::vector<Chord>> voices;
    std::vector<Chord>* last = nullptr;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        if (e.chord && last && !last->empty()) {
            last->back().push_back(i);
            continue;
        }
        last = &voices[e.voice];
        last->push_back({i});
    }

    // Voice 2 counts its time from the start of each of the sheet's measures: its notes stay
    // in the file's pieces, tied over the bar line, unless the note's pieces are all it sounds
    // in the measures after the first (then one note runs on over the bar lines, even those of
    // repeats, which voice 2 does not count).
    std::map<int, int> secondChords; // measure -> chords the second voice sounds there
    for (const Event& e : events)
        if (!secondVoice.empty() && e.voice == secondVoice && !e.chord && !e.rest && !e.cue)
            ++secondChords[e.measure];
    std::vector<bool> removed(events.size(), false);
    for (const auto& [voice, chords] : voices) {
        std::size_t start = 0;
        for (std::size_t k = 0; k < chords.size(); ++k) {
            const bool ends = k + 1 == chords.size() || !holdsOn(events, chords[k], chords[k + 1]);
            if (!ends)
                continue;
            if (k > start) {
                const bool second = !secondVoice.empty() && voice == secondVoice;
                joinRun(events, chords, start, k, voice == firstVoice ? &keptApart : nullptr,
                        second ? &secondChords : nullptr, removed);
            }
            start = k + 1;
        }
    }
    std::vector<Event> out;
    out.reserve(events.size());
    for (std::size_t i = 0; i < events.size(); ++i)
        if (!removed[i])
            out.push_back(std::move(events[i]));
    return out;
}

void joinTiesOfChordNotes(std::vector<Event>& events, const std::string& firstVoice,
                          const std::string& secondVoice)
{
    const auto keptVoice = [&](const Event& e) {
        return e.voice == firstVoice || (!secondVoice.empty() && e.voice == secondVoice);
    };
    const auto inner = [&](const Event& e) { return !e.rest && !e.cue && (e.chord || !keptVoice(e)); };
    // The notes by where they start, so each finds the one it is tied to.
    std::multimap<int64_t, std::size_t> byStart;
    std::set<int64_t> rootStarts; // where a note of a kept voice starts a chord
    // The chord root of each note: a <chord/> note belongs to the chord before it.
    std::vector<std::size_t> rootOf(events.size(), 0);
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        rootOf[i] = e.chord && i > 0 ? rootOf[i - 1] : i;
        if (inner(e))
            byStart.emplace(e.start, i);
        else if (!e.rest && !e.cue && keptVoice(e))
            rootStarts.insert(e.start);
    }
    // Only a note the sheet keeps takes its tied pieces: an inner note of a chord of a kept
    // voice, or a note of a further voice that starts together with a note of a kept voice.
    const auto kept = [&](const Event& e) { return keptVoice(e) ? e.chord : rootStarts.count(e.start) > 0; };
    // On a staff with two voices the chords stay in the file's pieces over bar lines; the
    // sheet ties such a chord as a whole when its root is tied into the next chord of its
    // voice, so a note of it that is as long as the root and held on there is left alone.
    const auto heldByChordTie = [&](std::size_t i, std::size_t next) {
        if (secondVoice.empty() || !keptVoice(events[i]) || !events[i].chord)
            return false;
        const Event& root = events[rootOf[i]];
        const Event& nextRoot = events[rootOf[next]];
        return root.tieStart && nextRoot.tieStop && !nextRoot.chord && nextRoot.voice == root.voice &&
               nextRoot.start == root.start + root.duration && events[i].duration == root.duration &&
               events[next].duration == nextRoot.duration;
    };
    const auto continuation = [&](const Event& from, std::size_t self) -> std::size_t {
        const auto [first, last] = byStart.equal_range(from.start + from.duration);
        std::size_t found = events.size();
        for (auto it = first; it != last; ++it) {
            const Event& e = events[it->second];
            if (it->second == self || !e.tieStop || e.key != from.key)
                continue;
            // The same voice first, else any.
            if (found == events.size() || (e.voice == from.voice && events[found].voice != from.voice))
                found = it->second;
        }
        return found;
    };
    std::vector<bool> removed(events.size(), false);
    for (std::size_t i = 0; i < events.size(); ++i) {
        Event& head = events[i];
        if (removed[i] || !inner(head) || !head.tieStart || !kept(head))
            continue;
        if (const std::size_t next = continuation(head, i); next < events.size() && heldByChordTie(i, next))
            continue;
        // The chain of pieces, as long as it goes on.
        std::vector<std::size_t> chain{i};
        int64_t total = head.duration;
        std::size_t best = 0;
        const SheetLength* bestLength = nullptr;
        while (chain.size() < kMaxPieces) {
            const Event& tail = events[chain.back()];
            if (!tail.tieStart)
                break;
            const std::size_t next = continuation(tail, chain.back());
            if (next == events.size() || removed[next] ||
                std::find(chain.begin(), chain.end(), next) != chain.end())
                break;
            chain.push_back(next);
            total += events[next].duration;
            if (const SheetLength* l = sheetLengthOf(total)) {
                best = chain.size() - 1;
                bestLength = l;
            }
        }
        if (!bestLength)
            continue;
        head.duration = bestLength->ticks;
        head.type = bestLength->type;
        head.dots = bestLength->dotted ? 1 : 0;
        head.typeOutside = false;
        head.tupletActual = head.tupletNormal = 0;
        head.tieStart = events[chain[best]].tieStart;
        for (std::size_t k = 1; k <= best; ++k)
            removed[chain[k]] = true;
    }
    std::size_t out = 0;
    for (std::size_t i = 0; i < events.size(); ++i)
        if (!removed[i]) {
            if (out != i)
                events[out] = std::move(events[i]);
            ++out;
        }
    events.resize(out);
}

} // namespace tonvela::musicxml
