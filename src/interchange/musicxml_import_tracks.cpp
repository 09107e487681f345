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
};

// A first-voice note or rest with the notes that sound with it.
struct Slot {
    const Event* root;
    std::vector<const Event*> members;
};

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
              const std::string& firstVoice = part.staves[static_cast<std::size_t>(staffIndex)].firstVoice;
              std::vector<Event> events =
                  joinTiesOverBarLines(part.events, staffIndex, firstVoice, measuresKeptApart(part, track));
              joinTiesOfChordNotes(events, firstVoice);
              return events;
          }())
    {
    }

    int write();

  private:
    std::vector<Slot> gatherSlots(int& dropped);
    void addRests(int64_t ticks, bool atEnd = false);
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
    int m_unisons = 0; // notes on a key another note of the chord already sounds
};

std::vector<Slot> StaffWriter::gatherSlots(int& dropped)
{
    const Staff& staff = m_part.staves[static_cast<std::size_t>(m_staffIndex)];
    std::vector<Slot> slots;
    std::vector<const Event*> later;
    for (const Event& e : m_events) {
        if (e.voice != staff.firstVoice) {
            later.push_back(&e);
        } else if (e.chord) {
            if (!slots.empty() && !e.rest && !e.cue && !slots.back().root->rest)
                slots.back().members.push_back(&e);
        } else if (!e.cue) {
            slots.push_back({&e, {}});
        }
    }
    std::stable_sort(slots.begin(), slots.end(),
                     [](const Slot& a, const Slot& b) { return a.root->start < b.root->start; });
    std::map<int64_t, std::size_t> byStart;
    for (std::size_t i = 0; i < slots.size(); ++i)
        if (!slots[i].root->rest)
            byStart.emplace(slots[i].root->start, i);
    for (const Event* e : later) {
        if (e->rest || e->cue)
            continue;
        if (const auto it = byStart.find(e->start); it != byStart.end())
            slots[it->second].members.push_back(e);
        else
            ++dropped;
    }
    // Two voices on one key at once sound one note, the longer: the sheet has no way to strike
    // a key twice at once, and a MIDI file that does ends the second sound with the first.
    for (Slot& slot : slots) {
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
    return slots;
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
        const Event* e = item.event;
        // The sheet ties two neighbouring notes that both carry the tie mark: the first and the
        // last note of a tie carry it as well as those between.
        int flags = (item.dotted ? kFlagDot : 0) | (item.triplet ? kFlagTriplet : 0) |
                    (e && (e->tieStart || e->tieStop) ? kFlagTie : 0);
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
        if (e && !e->lyric.empty())
            note.setLyric(e->lyric);
        if (e && !e->chordSymbol.empty() && item.parent < 0)
            note.setChordSymbol(e->chordSymbol);
    }
    if (beyondStaff > 0)
        left("pitches the staff cannot sound", beyondStaff);
    // A note tied from the one before and the next note tied onwards: the sheet joins them too.
    for (int i = 0, prev = -1; i < total; ++i) {
        const Item& item = m_items[static_cast<std::size_t>(i)];
        if (item.parent >= 0)
            continue;
        if (prev >= 0 && item.kind == Item::Sound &&
            m_items[static_cast<std::size_t>(prev)].kind == Item::Sound &&
            !m_items[static_cast<std::size_t>(prev)].event->tieStart) {
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
    for (std::size_t m = 0; m < m_part.measures.size(); ++m) {
        const Measure& measure = m_part.measures[m];
        firstItem[m] = static_cast<int>(m_items.size());
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
