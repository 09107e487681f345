// The MusicXML reader's second half: one staff of a part, as the reader's model holds it,
// written into a sheet track as the score notates it.

#include "interchange/musicxml_import_model.h"

#include "score/measure_division.h"
#include "score/note.h"
#include "score/sounding_pitch.h"
#include "score/time_signature.h"
#include "score/track.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace tonvela::musicxml {
namespace {

constexpr int64_t kQ = kTicksPerQuarter;
// A remainder shorter than this is taken for rounding in the file's divisions, not for music.
constexpr int64_t kRoundingTicks = kQ / 64;
// The drum key of a percussion track whose part has no unpitched note: the acoustic snare.
constexpr int kDefaultDrumKey = 38;

using Length = SheetLength;
constexpr const auto& kLengths = kSheetLengths;
// Rests go up to a whole rest.
constexpr int64_t kLongestRest = kQ * 4;

// What the track will hold, in order, before it becomes notes.
struct Item {
    enum Kind { Sound, Rest, Bar } kind = Sound;
    const Event* event = nullptr;
    int type = kTypeQuarter;
    bool dotted = false;
    bool triplet = false;
    int parent = -1; // item index of the chord root for a chord member
    bool voice2 = false;
    const Event* sound = nullptr; // the note whose pitch it sounds, when not `event`'s
    int tie = -1;                 // 1: tied to its neighbours of the voice, whatever the file says
    bool continued = false;       // a later piece of a note the sheet ties over its measure's end
};

// A note or rest of a kept voice with the notes that sound with it.
struct Slot {
    const Event* root;
    std::vector<const Event*> members;
    const Event* sound = nullptr; // voice 2: the member sounding in place of a root in unison
    bool silent = false;          // voice 2: a root in unison with voice 1 and no member to sound
};

// How long an item lasts in reader ticks: a chord member and a bar line take no time of their own.
int64_t itemTicks(const Item& item)
{
    if (item.kind == Item::Bar || item.parent >= 0)
        return 0;
    const int flags = (item.dotted ? kFlagDot : 0) | (item.triplet ? kFlagTriplet : 0);
    return lengthTicks(item.type, flags) * kQ / kQuarterTicks;
}

// Rests for `ticks`, longest first up to a whole rest; `left` is set to what no rest fills.
std::vector<Item> restItems(int64_t ticks, bool voice2, int64_t& left)
{
    std::vector<Item> rests;
    while (ticks >= kLengths[0].ticks) {
        const Length* best = &kLengths[0];
        for (const Length& l : kLengths)
            if (l.ticks <= ticks && l.ticks <= kLongestRest)
                best = &l;
        Item rest{Item::Rest, nullptr, best->type, best->dotted, false, -1};
        rest.voice2 = voice2;
        rests.push_back(rest);
        ticks -= best->ticks;
    }
    left = ticks;
    return rests;
}

// The length of the sheet's measure in reader ticks.
int64_t sheetMeasureTicks(const Track& track)
{
    return measureTicksOf(track.timeSig) * kQ / kQuarterTicks;
}

// Whether a measure of the file has another length than the sheet's (a pickup, a change of
// time): it ends with a Bar note, since the sheet counts its measures afresh from a bar and so
// the later ones still begin where the file's do.
bool otherLength(const Measure& measure, int64_t sheetMeasure)
{
    return std::abs((measure.end - measure.start) - sheetMeasure) > kRoundingTicks &&
           measure.end > measure.start;
}

// The measures whose end no note may run over: those of another length, and those that end
// with a repeat sign or before one.
std::vector<bool> measuresKeptApart(const Part& part, const Track& track)
{
    const int64_t sheetMeasure = sheetMeasureTicks(track);
    std::vector<bool> apart(part.measures.size(), false);
    for (std::size_t m = 0; m < part.measures.size(); ++m) {
        const Measure& measure = part.measures[m];
        apart[m] = otherLength(measure, sheetMeasure) || measure.repeatTimes > 0 ||
                   (m + 1 < part.measures.size() && part.measures[m + 1].repeatForward);
    }
    return apart;
}

class StaffWriter {
  public:
    StaffWriter(const Part& part, int staffIndex, Track& track, LeftOut& leftOut)
        : m_part(part), m_staffIndex(staffIndex), m_track(track), m_leftOut(leftOut), m_events([&] {
              const Staff& staff = part.staves[static_cast<std::size_t>(staffIndex)];
              std::vector<Event> events =
                  joinTiesOverBarLines(part.events, staffIndex, staff.firstVoice, staff.secondVoice,
                                       measuresKeptApart(part, track));
              joinTiesOfChordNotes(events, staff.firstVoice, staff.secondVoice);
              return events;
          }())
    {
    }

    int write();

  private:
    std::vector<Slot> gatherSlots(int& dropped);
    void keepUnisonsApart(std::vector<Slot>& first);
    static void giveUpRoot(Slot& slot);
    void addRests(int64_t ticks, bool atEnd = false);
    void addSecondVoice(const std::vector<int64_t>& measureSheetStart, std::vector<int>& firstItem);
    void addSlot(const Slot& slot, bool trailing);
    Length lengthOf(const Event& e, bool& triplet);
    void addBarLine(const Measure& measure, int64_t sheetMeasure, int64_t cursor);
    void writeNotes();
    void writeRepeats(const std::vector<int>& firstItem);
    void left(const std::string& what, int count = 1) { countLeftOut(m_leftOut, what, count); }

    const Part& m_part;
    int m_staffIndex;
    Track& m_track;
    LeftOut& m_leftOut;
    const std::vector<Event> m_events; // the staff's notes, those split at bar lines joined
    std::vector<Item> m_items;
    std::vector<Slot> m_second; // the second voice's notes and rests, in time order
    int m_unisons = 0;          // notes on a key another note of the chord or voice already sounds
};

std::vector<Slot> StaffWriter::gatherSlots(int& dropped)
{
    const Staff& staff = m_part.staves[static_cast<std::size_t>(m_staffIndex)];
    const bool twoVoices = !staff.secondVoice.empty();
    std::vector<Slot> slots;
    std::vector<const Event*> later;
    for (const Event& e : m_events) {
        std::vector<Slot>* voice = e.voice == staff.firstVoice                 ? &slots
                                   : twoVoices && e.voice == staff.secondVoice ? &m_second
                                                                               : nullptr;
        if (!voice) {
            later.push_back(&e);
        } else if (e.chord) {
            if (!voice->empty() && !e.rest && !e.cue && !voice->back().root->rest)
                voice->back().members.push_back(&e);
        } else if (!e.cue) {
            voice->push_back({&e, {}});
        }
    }
    const auto byTime = [](const Slot& a, const Slot& b) { return a.root->start < b.root->start; };
    std::stable_sort(slots.begin(), slots.end(), byTime);
    std::stable_sort(m_second.begin(), m_second.end(), byTime);
    const auto startsOf = [](const std::vector<Slot>& voice) {
        std::map<int64_t, std::size_t> byStart;
        for (std::size_t i = 0; i < voice.size(); ++i)
            if (!voice[i].root->rest)
                byStart.emplace(voice[i].root->start, i);
        return byStart;
    };
    const std::map<int64_t, std::size_t> byStart = startsOf(slots);
    const std::map<int64_t, std::size_t> byStart2 = startsOf(m_second);
    // A note of a further voice joins the chord it starts with: of voice 1, else of voice 2.
    for (const Event* e : later) {
        if (e->rest || e->cue)
            continue;
        if (const auto it = byStart.find(e->start); it != byStart.end())
            slots[it->second].members.push_back(e);
        else if (const auto it2 = byStart2.find(e->start); it2 != byStart2.end())
            m_second[it2->second].members.push_back(e);
        else
            ++dropped;
    }
    // Two voices on one key at once sound one note, the longer: the sheet has no way to strike
    // a key twice at once, and a MIDI file that does ends the second sound with the first.
    for (std::vector<Slot>* voice : {&slots, &m_second})
        for (Slot& slot : *voice) {
            std::vector<const Event*> kept;
            for (const Event* m : slot.members) {
                if (m->key == slot.root->key) {
                    m_unisons += 1;
                    continue;
                }
                const auto same =
                    std::find_if(kept.begin(), kept.end(), [&](const Event* k) { return k->key == m->key; });
                if (same == kept.end()) {
                    kept.push_back(m);
                } else {
                    m_unisons += 1;
                    if (m->duration > (*same)->duration)
                        *same = m;
                }
            }
            slot.members = std::move(kept);
        }
    keepUnisonsApart(slots);
    // A tie from a note of one voice into a note of another: the sheet ties the notes of each
    // voice, so the note the tie goes into is struck again.
    std::multimap<std::pair<int64_t, int>, const std::string*> tieEnds; // (end, key) -> voice
    for (const Event& e : m_events)
        if (!e.rest && !e.cue && e.tieStart)
            tieEnds.emplace(std::make_pair(e.start + e.duration, e.key), &e.voice);
    int crossing = 0;
    for (const std::vector<Slot>* voice : {&slots, &m_second})
        for (const Slot& slot : *voice) {
            const Event& root = *slot.root;
            if (root.rest || slot.silent || slot.sound || !root.tieStop)
                continue;
            const auto [from, to] = tieEnds.equal_range({root.start, root.key});
            bool other = false;
            bool own = false;
            for (auto it = from; it != to; ++it)
                (*it->second == root.voice ? own : other) = true;
            crossing += other && !own ? 1 : 0;
        }
    if (crossing > 0)
        left("ties from one voice into another (the tied note is struck again)", crossing);
    return slots;
}

// A voice 2 note on a key that voice 1 strikes at the same time is played once, by voice 1:
// two notes struck on one key at once would end one another at once. A root in unison gives
// its place in the rhythm to its first other member, or with none falls silent.
void StaffWriter::keepUnisonsApart(std::vector<Slot>& first)
{
    std::map<int64_t, const Slot*> struck;
    for (const Slot& slot : first)
        if (!slot.root->rest)
            struck.emplace(slot.root->start, &slot);
    for (Slot& slot : m_second) {
        const auto it = struck.find(slot.root->start);
        if (slot.root->rest || it == struck.end())
            continue;
        const Slot& other = *it->second;
        const auto sounds = [&](const Event* e) {
            return e->key == other.root->key || std::any_of(other.members.begin(), other.members.end(),
                                                            [&](const Event* m) { return m->key == e->key; });
        };
        // A note the file ties from the one before is no note struck: it is not counted.
        const auto end = std::stable_partition(slot.members.begin(), slot.members.end(),
                                               [&](const Event* m) { return !sounds(m); });
        m_unisons += static_cast<int>(
            std::count_if(end, slot.members.end(), [](const Event* m) { return !m->tieStop; }));
        slot.members.erase(end, slot.members.end());
        if (!sounds(slot.root))
            continue;
        m_unisons += slot.root->tieStop ? 0 : 1;
        giveUpRoot(slot);
    }
    // The pieces a voice 2 root given up was tied on into are given up with it: the file
    // strikes them only as that note, which voice 1 plays.
    for (std::size_t n = 0; n < m_second.size(); ++n) {
        const Event* root = m_second[n].root;
        if (!(m_second[n].silent || m_second[n].sound) || !root->tieStart)
            continue;
        for (std::size_t next = n + 1; next < m_second.size(); ++next) {
            Slot& piece = m_second[next];
            if (piece.root->start > root->start + root->duration)
                break;
            if (piece.root->start == root->start + root->duration && piece.root->tieStop && !piece.silent &&
                !piece.sound && piece.root->key == root->key) {
                giveUpRoot(piece);
                break;
            }
        }
    }
}

// A voice 2 root leaves its place in the rhythm to its first member, or with none falls silent.
void StaffWriter::giveUpRoot(Slot& slot)
{
    if (slot.members.empty()) {
        slot.silent = true;
    } else {
        slot.sound = slot.members.front();
        slot.members.erase(slot.members.begin());
    }
}

// Rests for a gap of the first voice. A remainder too short for any rest is named, except at
// the end of the part, where it only pads the last measure and no note follows it.
void StaffWriter::addRests(int64_t ticks, bool atEnd)
{
    while (ticks >= kLengths[0].ticks) {
        const Length* best = &kLengths[0];
        for (const Length& l : kLengths)
            if (l.ticks <= ticks && l.ticks <= kLongestRest)
                best = &l;
        m_items.push_back({Item::Rest, nullptr, best->type, best->dotted, false, -1});
        ticks -= best->ticks;
    }
    if (ticks > kRoundingTicks && !atEnd)
        left("durations that fit no note length");
}

// The notated length of a note: its <type> with dots and triplet, or else the length nearest
// to its duration.
Length StaffWriter::lengthOf(const Event& e, bool& triplet)
{
    triplet = e.tupletActual == 3 && e.tupletNormal == 2;
    if (e.tupletActual > 0 && e.tupletNormal > 0 && e.tupletActual != e.tupletNormal && !triplet)
        left("tuplets other than triplets");
    if (e.type != 0) {
        if (e.dots > 1)
            left("notes with more than one dot (written with one)");
        for (const Length& l : kLengths)
            if (l.type == e.type && l.dotted == (e.dots > 0))
                return l;
    }
    if (e.typeOutside)
        left("note lengths shorter than a thirty-second or longer than a dotted whole");
    // From the duration: what the notation would be without the tuplet's shortening.
    int64_t ticks = e.duration;
    if (e.tupletActual > 0 && e.tupletNormal > 0)
        ticks = ticks * e.tupletActual / e.tupletNormal;
    const Length* best = &kLengths[0];
    for (const Length& l : kLengths)
        if (std::abs(l.ticks - ticks) < std::abs(best->ticks - ticks))
            best = &l;
    if (!e.typeOutside && std::abs(best->ticks - ticks) > kRoundingTicks)
        left("durations that fit no note length");
    return *best;
}

// `trailing`: no note sounds after the slot.
void StaffWriter::addSlot(const Slot& slot, bool trailing)
{
    const Event& root = *slot.root;
    // A whole-measure rest, one without a written length, or a whole rest in a measure shorter
    // than a whole note (the usual way of writing a bar's rest), fills its time with rests.
    const bool shortWholeRest =
        root.type == kTypeWhole && root.dots == 0 && std::abs(root.duration - 4 * kQ) > kRoundingTicks;
    if (root.rest && (root.type == 0 || root.measureRest || shortWholeRest)) {
        addRests(root.duration, trailing);
        return;
    }
    bool triplet = false;
    const Length l = lengthOf(root, triplet);
    const int rootIndex = static_cast<int>(m_items.size());
    m_items.push_back({root.rest ? Item::Rest : Item::Sound, &root, l.type, l.dotted, triplet, -1});
    int members = 0;
    for (const Event* m : slot.members) {
        if (members == kMaxChordMembers) {
            left("chord notes beyond 32 in one chord");
            continue;
        }
        ++members;
        bool memberTriplet = false;
        const Length ml = lengthOf(*m, memberTriplet);
        m_items.push_back({Item::Sound, m, ml.type, ml.dotted, memberTriplet, rootIndex});
    }
}

// The Bar note that ends a measure, if it needs one. A Bar note between two tied notes parts
// them, so a bar line that only shows a style (a double or final bar) under a tie, or under a
// note that runs over it, is left out; one that keeps the count of the measures stays, and the
// tie over it is named as lost.
void StaffWriter::addBarLine(const Measure& measure, int64_t sheetMeasure, int64_t cursor)
{
    // The sheet's pickup is the first measure: its measure count needs no Bar note.
    if (&measure == &m_part.measures.front() && m_track.pickupTicks > 0 && !measure.barlineEnd)
        return;
    const bool counts = otherLength(measure, sheetMeasure);
    if (!counts && !measure.barlineEnd)
        return;
    // The notes of the last chord that a tie holds on over the bar line.
    int tied = 0;
    const bool runsOver = cursor > measure.end;
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        tied += it->kind == Item::Sound && it->event->tieStart ? 1 : 0;
        if (it->parent < 0)
            break;
    }
    if (!counts && (tied > 0 || runsOver)) {
        left("bar lines under a tie or a note over the bar (the tie is kept)");
        return;
    }
    if (tied > 0)
        left("ties over a pickup or a change of measure length (the tied notes are struck again)", tied);
    m_items.push_back({Item::Bar, nullptr, kTypeBar, false, false, -1});
}

// Voice 2 into the items of voice 1. The sheet counts voice 2's time from the start of each
// of its measures (as voice 1's chord roots divide them) and again after a bar line inside
// one: each note goes into that stretch of voice 1 at its time there, after voice 2 rests
// that fill the time from the voice's last note, and a note that runs on into the next
// stretch goes on there in tied pieces. The items of a stretch lie in time order, voice 1
// before voice 2 where both start together. `firstItem` is kept naming the same notes.
void StaffWriter::addSecondVoice(const std::vector<int64_t>& measureSheetStart, std::vector<int>& firstItem)
{
    if (std::none_of(m_second.begin(), m_second.end(), [](const Slot& s) { return !s.root->rest; }))
        return;
    // The stretches of voice 1, as the sheet's measure division finds them.
    struct Stretch {
        int64_t start = 0;
        int measure = 0;     // its measure of the sheet, from 0
        std::size_t end = 0; // one past its last voice 1 item
    };
    std::vector<Stretch> stretches;
    std::vector<int64_t> itemStart(m_items.size(), 0);
    {
        const int64_t full = sheetMeasureTicks(m_track);
        const int64_t pickup = validPickup(m_track.pickupTicks, m_track.timeSig) * kQ / kQuarterTicks;
        int64_t length = pickup > 0 ? pickup : full;
        int64_t sum = 0;
        int64_t t = 0;
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            const Item& item = m_items[i];
            if (item.parent >= 0) {
                itemStart[i] = itemStart[static_cast<std::size_t>(item.parent)];
                stretches.back().end = i + 1;
                continue;
            }
            itemStart[i] = t;
            if (stretches.empty()) {
                stretches.push_back({t, 0, i});
            } else if (sum >= length) {
                stretches.push_back({t, stretches.back().measure + 1, i});
                sum = 0;
                length = full;
            } else if (item.kind == Item::Bar) {
                stretches.push_back({t, stretches.back().measure, i});
            }
            stretches.back().end = i + 1;
            if (item.kind == Item::Bar)
                sum = 0;
            sum += itemTicks(item);
            t += itemTicks(item);
        }
        if (stretches.empty())
            stretches.push_back({0, 0, 0});
        stretches.push_back({t, stretches.back().measure + 1, m_items.size()}); // the end
    }
    const std::size_t count = stretches.size() - 1;
    const auto lengthOfStretch = [&](std::size_t k) { return stretches[k + 1].start - stretches[k].start; };

    // Voice 2 of each stretch: its items with their time in the stretch, a root before its members.
    struct Placed {
        int64_t offset;
        Item item;
    };
    std::vector<std::vector<Placed>> voice2(count);
    std::vector<int64_t> clock(count, 0); // where voice 2 of the stretch ends
    int moved = 0;
    int64_t unfilled = 0;
    const auto restUntil = [&](std::size_t k, int64_t offset) {
        int64_t left = 0;
        for (const Item& rest : restItems(offset - clock[k], true, left)) {
            voice2[k].push_back({clock[k], rest});
            clock[k] += itemTicks(rest);
        }
        unfilled += left > kRoundingTicks ? 1 : 0;
        clock[k] = offset;
    };
    // Where each note of voice 2 starts in the sheet's time; -1 for those it leaves out.
    std::vector<int64_t> starts(m_second.size(), -1);
    for (std::size_t n = 0; n < m_second.size(); ++n) {
        const Event& root = *m_second[n].root;
        if (!root.rest && !m_second[n].silent && root.measure >= 0 &&
            static_cast<std::size_t>(root.measure) < measureSheetStart.size())
            starts[n] = measureSheetStart[static_cast<std::size_t>(root.measure)] + root.start -
                        m_part.measures[static_cast<std::size_t>(root.measure)].start;
    }
    const auto stretchAt = [&](int64_t at) {
        std::size_t k = 0;
        while (k + 1 < count && stretches[k + 1].start <= at)
            ++k;
        return k;
    };
    for (std::size_t n = 0; n < m_second.size(); ++n) {
        const Slot& slot = m_second[n];
        const Event& root = *slot.root;
        if (starts[n] < 0)
            continue;
        const int64_t at = starts[n];
        std::size_t k = stretchAt(at);
        int64_t offset = std::max<int64_t>(at - stretches[k].start, 0);
        if (offset < clock[k]) {
            offset = clock[k];
            ++moved;
        }
        if (offset > clock[k])
            restUntil(k, offset);
        bool triplet = false;
        const Length l = lengthOf(root, triplet);
        Item first{Item::Sound, &root, l.type, l.dotted, triplet, -1};
        first.voice2 = true;
        first.sound = slot.sound;
        int64_t ticks = itemTicks(first);
        // The note as written where it ends in its stretch, or where voice 2 sounds nothing
        // else up to the end of the stretch it ends in (it runs on over the bar line, as the
        // file's tied pieces joined into it do); else tied pieces up to each stretch's end and
        // on in the next.
        const std::size_t ends = stretchAt(stretches[k].start + offset + ticks - 1);
        int64_t nextStart = std::numeric_limits<int64_t>::max();
        for (std::size_t later = n + 1;
             later < m_second.size() && nextStart == std::numeric_limits<int64_t>::max(); ++later)
            if (starts[later] >= 0)
                nextStart = starts[later];
        const bool runsOn = ends > k && (nextStart == std::numeric_limits<int64_t>::max() ||
                                         (ends + 1 < count && nextStart >= stretches[ends + 1].start));
        std::size_t rootStretch = k;
        std::size_t rootAt = voice2[k].size();
        bool split = false;
        while (ticks > 0) {
            const bool last = k + 1 >= count || runsOn;
            const int64_t room = last ? ticks : lengthOfStretch(k) - clock[k];
            if (!split && ticks <= room + kRoundingTicks) {
                voice2[k].push_back({clock[k], first});
                clock[k] += ticks;
                break;
            }
            const int64_t take = std::min(ticks, std::max<int64_t>(room, 0));
            int64_t rest = 0;
            for (const Item& r : restItems(take, true, rest)) {
                Item piece = first;
                piece.type = r.type;
                piece.dotted = r.dotted;
                piece.triplet = false;
                piece.tie = 1;
                piece.continued = split;
                split = true;
                voice2[k].push_back({clock[k], piece});
                clock[k] += itemTicks(piece);
            }
            ticks -= take;
            if (ticks <= 0 || last)
                break;
            clock[k] = std::max(clock[k], lengthOfStretch(k));
            ++k;
        }
        // The chord's other notes go with its first piece.
        if (rootAt < voice2[rootStretch].size()) {
            std::vector<Placed> members;
            for (const Event* m : slot.members) {
                if (members.size() == static_cast<std::size_t>(kMaxChordMembers)) {
                    left("chord notes beyond 32 in one chord");
                    continue;
                }
                bool memberTriplet = false;
                const Length ml = lengthOf(*m, memberTriplet);
                Item member{Item::Sound, m, ml.type, ml.dotted, memberTriplet, 0};
                member.voice2 = true;
                members.push_back({voice2[rootStretch][rootAt].offset, member});
            }
            voice2[rootStretch].insert(voice2[rootStretch].begin() + static_cast<std::ptrdiff_t>(rootAt) + 1,
                                       members.begin(), members.end());
        }
    }
    if (moved > 0)
        left("notes of the second voice that start before its previous note ends (moved to follow it)",
             moved);
    if (unfilled > 0)
        left("durations that fit no note length", static_cast<int>(unfilled));
    // Voice 2 of a stretch that a bar line ends inside a measure runs up to that bar line when
    // voice 2 goes on after it, since its count starts again there.
    for (std::size_t k = count; k-- > 0;) {
        bool later = false;
        for (std::size_t j = k + 1; j < count && stretches[j].measure == stretches[k].measure; ++j)
            later = later || !voice2[j].empty();
        if (later && clock[k] < lengthOfStretch(k))
            restUntil(k, lengthOfStretch(k));
    }

    // Both voices in time order, stretch by stretch.
    std::vector<Item> merged;
    merged.reserve(m_items.size() + m_second.size() * 2);
    std::vector<int> newIndex(m_items.size() + 1, 0);
    std::size_t i = 0;
    for (std::size_t k = 0; k < count; ++k) {
        std::size_t v = 0;
        int root2 = -1;
        const auto emit2 = [&](int64_t until) {
            for (; v < voice2[k].size() && (voice2[k][v].item.parent >= 0 || voice2[k][v].offset < until);
                 ++v) {
                Item item = voice2[k][v].item;
                if (item.parent >= 0) {
                    item.parent = root2;
                } else {
                    root2 = static_cast<int>(merged.size());
                }
                merged.push_back(item);
            }
        };
        for (; i < stretches[k].end; ++i) {
            const Item& item = m_items[i];
            if (item.parent < 0)
                emit2(itemStart[i] - stretches[k].start);
            newIndex[i] = static_cast<int>(merged.size());
            merged.push_back(item);
            if (item.parent >= 0)
                merged.back().parent = newIndex[static_cast<std::size_t>(item.parent)];
        }
        emit2(std::numeric_limits<int64_t>::max());
    }
    newIndex[m_items.size()] = static_cast<int>(merged.size());
    for (int& f : firstItem)
        f = newIndex[static_cast<std::size_t>(std::clamp(f, 0, static_cast<int>(m_items.size())))];
    m_items = std::move(merged);
}

void StaffWriter::writeNotes()
{
    const int total = static_cast<int>(m_items.size());
    m_track.noteAt(total + 1); // grow once
    const KeyAccidentalTable keys(m_track);
    int beyondStaff = 0;
    for (int i = 0; i < total; ++i) {
        const Item& item = m_items[static_cast<std::size_t>(i)];
        Note& note = m_track.noteAt(i);
        note = Note{};
        note.iid = m_part.program;
        note.pan = m_part.pan;
        if (item.kind == Item::Bar) {
            note.type = kTypeBar;
            continue;
        }
        const Event* e = item.sound ? item.sound : item.event;
        // The sheet ties two neighbouring notes that both carry the tie mark: the first and the
        // last note of a tie carry it as well as those between.
        const bool tied = item.tie >= 0 ? item.tie > 0 : e && (e->tieStart || e->tieStop);
        int flags = (item.dotted ? kFlagDot : 0) | (item.triplet ? kFlagTriplet : 0) | (tied ? kFlagTie : 0);
        note.voice = item.voice2 ? kVoice2 : kVoice1;
        if (item.kind == Item::Rest) {
            note.setStaffPosition(-6); // the middle line of the staff
            note.dwFlag = kFlagRest | flags;
            note.volume = 0;
            note.velocity = 0;
        } else if (m_track.percussive) {
            // A drum keeps its key as it stands, shown where the file shows it.
            note.setStaffPosition(28 - e->diatonic);
            note.midi = static_cast<int8_t>(e->key);
            note.dwFlag = flags;
            note.volume = m_part.volume;
        } else {
            const int position = 28 - e->diatonic - staffOf(m_track).readingShift;
            note.setStaffPosition(position, staffKindOf(m_track));
            note.dwFlag = flags | e->marks;
            if (!placeNear(note, m_track, keys, e->key, position, true))
                ++beyondStaff;
            note.volume = m_part.volume;
        }
        note.type = item.type;
        note.chordparent = static_cast<int16_t>(item.parent);
        if (e && !e->lyric.empty() && !item.continued)
            note.setLyric(e->lyric);
        if (e && !e->chordSymbol.empty() && item.parent < 0 && !item.voice2)
            note.setChordSymbol(e->chordSymbol);
    }
    if (beyondStaff > 0)
        left("pitches the staff cannot sound", beyondStaff);
    // A note tied from the one before and the next note tied onwards: the sheet joins them too.
    // Each voice ties its own notes.
    int previous[2] = {-1, -1};
    for (int i = 0; i < total; ++i) {
        const Item& item = m_items[static_cast<std::size_t>(i)];
        if (item.parent >= 0)
            continue;
        int& prev = previous[item.voice2 ? 1 : 0];
        const Item* before = prev >= 0 ? &m_items[static_cast<std::size_t>(prev)] : nullptr;
        if (before && item.kind == Item::Sound && before->kind == Item::Sound && before->tie < 0 &&
            !(before->sound ? before->sound : before->event)->tieStart) {
            const Note& a = m_track.noteAt(prev);
            const Note& b = m_track.noteAt(i);
            if ((a.dwFlag & b.dwFlag & kFlagTie) && a.letter == b.letter && a.octave == b.octave)
                left("notes the sheet ties though the file does not");
        }
        prev = i;
    }
    m_track.count = total;
    m_track.rebuildChordLists();
    m_track.eventsStale = 1;
    m_track.freshTrack = total > 0 ? 0 : 1;
}

// Repeats: musicxml_import_repeats.cpp.
void StaffWriter::writeRepeats(const std::vector<int>& firstItem)
{
    writeStaffRepeats(m_part, firstItem, m_track, m_leftOut);
}

int StaffWriter::write()
{
    const Staff& staff = m_part.staves[static_cast<std::size_t>(m_staffIndex)];
    m_track.iid = m_part.program;
    m_track.groupid = m_part.program / 8;
    m_track.volume = m_part.volume;
    m_track.pan = m_part.pan;
    setStaffKind(m_track, staff.percussive ? StaffKind::Percussion : staff.kind);
    // The strings the part is played on: the tablature's frets follow them.
    m_track.tuning = staff.tuning;
    m_track.drumKey = kDefaultDrumKey;
    if (!staff.percussive)
        m_track.setKeyIndex(7 - m_part.keyFifths);

    int dropped = 0;
    const std::vector<Slot> slots = gatherSlots(dropped);
    if (m_unisons > 0)
        left("notes in unison with another voice (played once)", m_unisons);
    for (const Slot& s : slots)
        if (!s.root->rest && staff.percussive) {
            m_track.drumKey = s.root->key;
            break;
        }
    // The first voice in measure order; its gaps become rests, so every measure keeps its length.
    std::vector<int> firstItem(m_part.measures.size() + 1, 0);
    const int64_t sheetMeasure = sheetMeasureTicks(m_track);
    std::size_t lastSound = 0; // one past the last slot that sounds
    for (std::size_t k = 0; k < slots.size(); ++k)
        if (!slots[k].root->rest)
            lastSound = k + 1;
    std::size_t next = 0;
    int64_t cursor = 0; // where the notes written so far end: a note may run over a bar line
    // Where each measure of the file starts in the time the sheet's notes count.
    std::vector<int64_t> measureSheetStart(m_part.measures.size(), 0);
    int64_t sheetTime = 0;
    std::size_t counted = 0; // items counted into sheetTime
    for (std::size_t m = 0; m < m_part.measures.size(); ++m) {
        const Measure& measure = m_part.measures[m];
        firstItem[m] = static_cast<int>(m_items.size());
        for (; counted < m_items.size(); ++counted)
            sheetTime += itemTicks(m_items[counted]);
        // The items end where the last note does, or where the rests end that fill the measure
        // before.
        const int64_t written = std::max(cursor, m > 0 ? m_part.measures[m - 1].end : int64_t{0});
        measureSheetStart[m] = sheetTime + measure.start - written;
        cursor = std::max(cursor, measure.start);
        while (next < slots.size() && slots[next].root->measure <= static_cast<int>(m)) {
            const Event& root = *slots[next].root;
            if (root.start > cursor)
                addRests(root.start - cursor);
            addSlot(slots[next], next >= lastSound);
            cursor = std::max(cursor, root.start + root.duration);
            ++next;
        }
        if (measure.end > cursor)
            addRests(measure.end - cursor, next >= lastSound && m + 1 == m_part.measures.size());
        addBarLine(measure, sheetMeasure, cursor);
    }
    firstItem[m_part.measures.size()] = static_cast<int>(m_items.size());
    addSecondVoice(measureSheetStart, firstItem);
    if (static_cast<int>(m_items.size()) > Track::kMaxNotes) {
        // Cut before a chord member, so no member is left without its root.
        std::size_t cut = static_cast<std::size_t>(Track::kMaxNotes);
        while (cut > 0 && m_items[cut].parent >= 0)
            --cut;
        int notes = 0;
        for (std::size_t i = cut; i < m_items.size(); ++i)
            notes += m_items[i].kind == Item::Sound ? 1 : 0;
        left("notes beyond " + std::to_string(Track::kMaxNotes) + " in one track", notes);
        m_items.resize(cut);
        for (int& f : firstItem)
            f = std::min(f, static_cast<int>(cut));
    }
    writeNotes();
    writeRepeats(firstItem);
    return dropped;
}

} // namespace

void buildStaffTrack(const Part& part, int staffIndex, Track& track, LeftOut& leftOut, int& droppedVoiceNotes)
{
    StaffWriter writer(part, staffIndex, track, leftOut);
    droppedVoiceNotes += writer.write();
}

} // namespace tonvela::musicxml
