#include "score/track.h"

#include "harmony/pitch.h"
#include "platform/sheet_lock.h"
#include "score/loop_rule.h"
#include "score/markup_tree.h"
#include "score/sheet_document.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tonvela {

namespace {

const std::array<TimeSignatureInfo, 14>& timeSignatureTable()
{
    static const std::array<TimeSignatureInfo, 14> table{{
        {kTimeSig24, "2/4", 2, 0.5, 0},
        {kTimeSig34, "3/4", 3, 0.75, 0},
        {kTimeSig44, "4/4", 4, 1.0, 1},
        {kTimeSig54, "5/4", 5, 1.25, 2},
        {kTimeSig68, "6/8", 6, 0.75, 0},
        {kTimeSig64, "6/4", 6, 1.5, 3},
        {kTimeSig74, "7/4", 7, 1.75, 4},
        {kTimeSig84, "8/4", 8, 2.0, 5},
        {kTimeSig94, "9/4", 9, 2.25, 6},
        {kTimeSigSingleGlyph, "single", 4, 1.0, 0},
        {kTimeSig38, "3/8", 3, 0.375, 7},
        {kTimeSig58, "5/8", 5, 0.625, 8},
        {kTimeSig78, "7/8", 7, 0.875, 9},
        {kTimeSig98, "9/8", 9, 1.125, 10},
    }};
    return table;
}

// Panel entries in list order.
constexpr int kPanelCodes[] = {kTimeSig34, kTimeSig44, kTimeSig54, kTimeSig64, kTimeSig74, kTimeSig84,
                               kTimeSig94, kTimeSig38, kTimeSig58, kTimeSig78, kTimeSig98};

constexpr int kNoteIndexLimit = 65536;

} // namespace

const TimeSignatureInfo& timeSignatureInfo(int code)
{
    for (const auto& row : timeSignatureTable())
        if (row.code == code)
            return row;
    return timeSignatureTable()[2];
}

int timeSignatureOfPanelEntry(int entry)
{
    if (entry < 0 || entry >= static_cast<int>(std::size(kPanelCodes)))
        return kTimeSig44;
    return kPanelCodes[entry];
}

const std::vector<std::string>& timeSignaturePanelTexts()
{
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> t;
        for (int code : kPanelCodes)
            t.emplace_back(timeSignatureInfo(code).text);
        return t;
    }();
    return texts;
}

// ---------------------------------------------------------------------------------------------
// Undo storage

struct NoteTexts {
    std::optional<std::string> filename;
    std::optional<std::string> displayName;
    std::optional<std::string> lyrictext;
};

struct NoteContent {
    int32_t volume, pan, octave, type, iid, banknum, dwFlag, velocity, dwStopOffset, loopTo, loopCount;
    uint32_t timeSig, keyType, bendTime, dwBendAmount, dwChorus, dwReverb;
    int16_t line, chordparent;
    int8_t midi;
    char letter, key;
    uint8_t selected;
    char label[kLabelCapacity];
    std::shared_ptr<const NoteTexts> texts;
};

namespace {

bool hasTexts(const Note& n)
{
    return n.filename || n.displayName || n.lyrictext;
}

NoteContent captureContent(const Note& n)
{
    NoteContent c{};
    c.volume = n.volume;
    c.pan = n.pan;
    c.octave = n.octave;
    c.type = n.type;
    c.iid = n.iid;
    c.banknum = n.banknum;
    c.dwFlag = n.dwFlag;
    c.velocity = n.velocity;
    c.dwStopOffset = n.dwStopOffset;
    c.loopTo = n.loopTo;
    c.loopCount = n.loopCount;
    c.timeSig = n.timeSig;
    c.keyType = n.keyType;
    c.bendTime = n.bendTime;
    c.dwBendAmount = n.dwBendAmount;
    c.dwChorus = n.dwChorus;
    c.dwReverb = n.dwReverb;
    c.line = n.line;
    c.chordparent = n.chordparent;
    c.midi = n.midi;
    c.letter = n.letter;
    c.key = n.key;
    c.selected = n.selected;
    std::memcpy(c.label, n.label, sizeof c.label);
    if (hasTexts(n))
        c.texts = std::make_shared<const NoteTexts>(NoteTexts{n.filename, n.displayName, n.lyrictext});
    return c;
}

bool sameContent(const NoteContent& c, const Note& n)
{
    if (c.volume != n.volume || c.pan != n.pan || c.octave != n.octave || c.type != n.type ||
        c.iid != n.iid || c.banknum != n.banknum || c.dwFlag != n.dwFlag || c.velocity != n.velocity ||
        c.dwStopOffset != n.dwStopOffset || c.loopTo != n.loopTo || c.loopCount != n.loopCount ||
        c.timeSig != n.timeSig || c.keyType != n.keyType || c.bendTime != n.bendTime ||
        c.dwBendAmount != n.dwBendAmount || c.dwChorus != n.dwChorus || c.dwReverb != n.dwReverb ||
        c.line != n.line || c.chordparent != n.chordparent || c.midi != n.midi || c.letter != n.letter ||
        c.key != n.key || c.selected != n.selected || std::memcmp(c.label, n.label, sizeof c.label) != 0)
        return false;
    if (!c.texts)
        return !hasTexts(n);
    return c.texts->filename == n.filename && c.texts->displayName == n.displayName &&
           c.texts->lyrictext == n.lyrictext;
}

void restoreContent(Note& n, const NoteContent& c)
{
    n.volume = c.volume;
    n.pan = c.pan;
    n.octave = c.octave;
    n.type = c.type;
    n.iid = c.iid;
    n.banknum = c.banknum;
    n.dwFlag = c.dwFlag;
    n.velocity = c.velocity;
    n.dwStopOffset = c.dwStopOffset;
    n.loopTo = c.loopTo;
    n.loopCount = c.loopCount;
    n.timeSig = c.timeSig;
    n.keyType = c.keyType;
    n.bendTime = c.bendTime;
    n.dwBendAmount = c.dwBendAmount;
    n.dwChorus = c.dwChorus;
    n.dwReverb = c.dwReverb;
    n.line = c.line;
    n.chordparent = c.chordparent;
    n.midi = c.midi;
    n.letter = c.letter;
    n.key = c.key;
    n.selected = c.selected;
    std::memcpy(n.label, c.label, sizeof c.label);
    if (c.texts) {
        n.filename = c.texts->filename;
        n.displayName = c.texts->displayName;
        n.lyrictext = c.texts->lyrictext;
    } else {
        n.filename.reset();
        n.displayName.reset();
        n.lyrictext.reset();
    }
    n.width = static_cast<int16_t>(kindWidthOf(n.type));
    n.fresh = 1;
}

constexpr std::size_t kChunkNotes = 64;
constexpr std::size_t kSmallChunk = kChunkNotes / 2;

// Reads the notes of a snapshot by index without flattening it.
class SnapshotReader {
  public:
    explicit SnapshotReader(const TrackSnapshot& s) : m_snap(s)
    {
        std::size_t start = 0;
        for (const auto& c : s.chunks) {
            m_starts.push_back(start);
            start += c->size();
        }
    }
    std::size_t chunkCount() const { return m_snap.chunks.size(); }
    std::size_t chunkStart(std::size_t k) const { return m_starts[k]; }
    std::size_t chunkEnd(std::size_t k) const { return m_starts[k] + m_snap.chunks[k]->size(); }

  private:
    const TrackSnapshot& m_snap;
    std::vector<std::size_t> m_starts;
};

} // namespace

// ---------------------------------------------------------------------------------------------

Track::Track() : m_notes(kInitialNoteCapacity)
{
    for (auto& n : m_notes)
        n.track = this;
}

Track::~Track() = default;

void Track::ensureCapacity(int i)
{
    int cap = capacity();
    if (i < cap - 32)
        return;
    while (i >= cap - 32)
        cap *= 2;
    m_notes.resize(static_cast<std::size_t>(cap));
    for (auto& n : m_notes)
        n.track = this;
}

Note& Track::noteAt(int i)
{
    if (i < 0)
        return m_notes[0];
    assert(i < kNoteIndexLimit);
    i = std::min(i, kNoteIndexLimit - 1);
    ensureCapacity(i);
    if (i >= m_highWater)
        m_highWater = i + 1;
    Note& n = m_notes[static_cast<std::size_t>(i)];
    n.track = this;
    return n;
}

const Note& Track::noteAt(int i) const
{
    if (i < 0 || i >= capacity()) {
        static const Note kEmpty;
        return i < 0 ? m_notes[0] : kEmpty;
    }
    return m_notes[static_cast<std::size_t>(i)];
}

void Track::insertNote(const Note& note, int index)
{
    SheetLockGuard lock(sheetLock());
    index = std::clamp(index, 0, count);
    // The caller's note may live in this very array; take a copy before anything moves.
    const Note incoming = note;
    noteAt(count + 10);
    for (int j = 0; j < count; ++j) {
        Note& n = m_notes[static_cast<std::size_t>(j)];
        if (n.chordparent >= index)
            ++n.chordparent;
    }

    const int div = division > 0 ? division : 96;
    long long t = 0;
    for (int j = 0; j < index; ++j) {
        const Note& n = m_notes[static_cast<std::size_t>(j)];
        if (n.chordparent == -1)
            t += static_cast<long long>(n.lengthTicks()) * div / 96;
    }
    const long long tOff = t + static_cast<long long>(incoming.lengthTicks()) * div / 96;
    RecordedEvent on;
    on.kind = 0;
    on.tick = static_cast<int32_t>(std::min<long long>(t, INT32_MAX));
    on.noteIndex = index;
    on.pitch = static_cast<uint8_t>(std::clamp(incoming.effectiveKey(), 0, 127));
    on.velocity = static_cast<uint8_t>(std::clamp(incoming.velocity, 0, 127));
    on.pan = static_cast<uint8_t>(std::clamp(incoming.pan, 0, 127));
    on.program = static_cast<uint8_t>(std::clamp(incoming.iid, 0, 127));
    RecordedEvent off = on;
    off.kind = 1;
    off.tick = static_cast<int32_t>(std::min<long long>(tOff, INT32_MAX));
    auto byTick = [](const RecordedEvent& a, const RecordedEvent& b) {
        if (a.tick != b.tick)
            return a.tick < b.tick;
        return a.kind > b.kind; // note-offs first at equal ticks
    };
    if (std::is_sorted(events.begin(), events.end(), byTick)) {
        // The new events go in front of the events of their tick and kind: the same order as
        // placing both before the first event at or after the start and sorting stably.
        events.insert(std::lower_bound(events.begin(), events.end(), on, byTick), on);
        events.insert(std::lower_bound(events.begin(), events.end(), off, byTick), off);
    } else {
        auto pos = std::find_if(events.begin(), events.end(),
                                [&](const RecordedEvent& e) { return e.tick >= on.tick; });
        pos = events.insert(pos, on);
        events.insert(pos, off);
        std::stable_sort(events.begin(), events.end(), byTick);
    }

    for (int j = count - 1; j >= index; --j)
        m_notes[static_cast<std::size_t>(j + 1)].moveFrom(m_notes[static_cast<std::size_t>(j)]);
    Note& slot = m_notes[static_cast<std::size_t>(index)];
    slot.moveFrom(incoming);
    slot.track = this;
    ++count;
    if (count > m_highWater)
        m_highWater = count;
    eventsStale = 1;
    freshTrack = 0;
}

void Track::removeNote(int index)
{
    if (index < 0 || index >= count)
        return;
    for (int j = 0; j < count; ++j) {
        Note& n = m_notes[static_cast<std::size_t>(j)];
        if (n.chordparent > index)
            --n.chordparent;
        for (int k = 0; k < n.childCount && k < kMaxChordMembers; ++k)
            if (n.children[k] > index)
                --n.children[k];
    }
    for (int j = index + 1; j < count; ++j)
        m_notes[static_cast<std::size_t>(j - 1)].moveFrom(m_notes[static_cast<std::size_t>(j)]);
    --count;
    // Slots beyond the count always hold constructed notes.
    m_notes[static_cast<std::size_t>(count)] = Note();
    m_notes[static_cast<std::size_t>(count)].track = this;
}

int Track::nextRoot(int i) const
{
    for (int j = std::max(i + 1, 0); j < count; ++j)
        if (m_notes[static_cast<std::size_t>(j)].chordparent == -1)
            return j;
    return count;
}

void Track::rebuildChordLists()
{
    for (int i = 0; i < count; ++i)
        m_notes[static_cast<std::size_t>(i)].childCount = 0;
    for (int j = 0; j < count; ++j) {
        const int p = m_notes[static_cast<std::size_t>(j)].chordparent;
        if (p < 0 || p >= count || p == j)
            continue;
        Note& root = m_notes[static_cast<std::size_t>(p)];
        // A 33rd member is not listed; it keeps its link and is drawn and played on its own.
        if (root.childCount < kMaxChordMembers)
            root.children[root.childCount++] = static_cast<int16_t>(j);
    }
}

void Track::sanitizeLinks()
{
    std::vector<uint8_t> isRoot(static_cast<std::size_t>(count));
    for (int j = 0; j < count; ++j) {
        Note& n = m_notes[static_cast<std::size_t>(j)];
        n.track = this;
        if (n.chordparent != -1 && (n.chordparent < 0 || n.chordparent >= count || n.chordparent == j))
            n.chordparent = -1;
        if (n.loopCount < 0 || (n.loopCount > 0 && (n.loopTo < 0 || n.loopTo >= count))) {
            n.loopCount = 0;
            n.loopTo = 0;
        }
    }
    for (int j = 0; j < count; ++j)
        isRoot[static_cast<std::size_t>(j)] = m_notes[static_cast<std::size_t>(j)].chordparent == -1;
    std::vector<int> members(static_cast<std::size_t>(count), 0);
    for (int j = 0; j < count; ++j) {
        Note& n = m_notes[static_cast<std::size_t>(j)];
        if (n.chordparent == -1)
            continue;
        const auto p = static_cast<std::size_t>(n.chordparent);
        if (!isRoot[p] || members[p] >= kMaxChordMembers)
            n.chordparent = -1;
        else
            ++members[p];
    }
}

void Track::deselectAll()
{
    for (auto& n : m_notes)
        n.selected = 0;
}

void Track::resetLayoutFlags()
{
    for (int i = 0; i < count; ++i) {
        Note& n = m_notes[static_cast<std::size_t>(i)];
        n.dwFlag &= ~kFlagBeamed;
        n.stemDown = (n.line <= 0 && !percussive && n.chordparent == -1 && n.childCount == 0) ? 1 : 0;
    }
}

void Track::applyToSelected(int vol, int pn, int lTo, int lCount, int vel, double legatoBeats)
{
    for (int i = 0; i < count; ++i) {
        Note& n = m_notes[static_cast<std::size_t>(i)];
        if (n.selected != 1)
            continue;
        if (vol != kKeepValue)
            n.volume = vol;
        if (pn != kKeepValue)
            n.pan = pn;
        if (lTo != kKeepValue)
            n.loopTo = lTo;
        if (lCount != kKeepValue)
            n.loopCount = lCount;
        if (vel != kKeepValue)
            n.velocity = vel;
        if (legatoBeats != static_cast<double>(kKeepValue) && std::isfinite(legatoBeats))
            n.dwStopOffset = static_cast<int32_t>(std::clamp(legatoBeats * 500.0, -1e9, 1e9));
    }
}

int Track::keyAccidental(int p) const
{
    // The seven degrees of the key's scale, walked here without allocating: this runs for
    // every note that sounds or is written out.
    const int kind = std::clamp(scaleKind, 0, kScaleKindCount - 1);
    const char* pattern = scaleTable()[static_cast<std::size_t>(kind)].pattern;
    char degreesBuf[8] = {};
    int n = 0;
    char pitch = key;
    for (const char* step = pattern; *step && n < 7; ++step) {
        degreesBuf[n++] = pitch;
        const int semitones = *step == 'H' ? 1 : *step == 'W' ? 2 : 3;
        for (int i = 0; i < semitones; ++i) {
            const char next = semitoneUp(pitch);
            if (next != 0)
                pitch = next;
        }
    }
    const std::string_view degrees(degreesBuf, static_cast<std::size_t>(n));
    const char t = n > 0 ? degreesBuf[0] : 'C';
    const bool f = flatKey != 0;
    static constexpr char kLetters[] = "CBAGFED";
    const int idx = p >= 0 ? p % 7 : 6 - ((-p - 1) % 7);
    const char letter = kLetters[idx];

    if (f) {
        if (letter == 'B' && (t == '4' || t == 'B'))
            return -1;
        if (letter == 'E' && t == 'B')
            return -1;
    }
    if (letter == 'E')
        return f ? 0 : ((t == '4' || t == '2') ? 1 : 0);
    if (letter == 'B')
        return (!f && t == '2') ? 1 : 0;
    const char raised = semitoneUp(letter);
    if (degrees.find(raised) != std::string_view::npos)
        return f ? -1 : 1;
    return 0;
}

double Track::measureLength() const
{
    return timeSignatureInfo(timeSig).measureLength;
}
int Track::beatsPerMeasure() const
{
    return timeSignatureInfo(timeSig).beatsPerMeasure;
}

int Track::msAtTempo(int ms120) const
{
    return static_cast<int>(ms120 / tempoFactor(tempo) + 0.5);
}

int Track::chordLengthMs120(int rootIndex) const
{
    if (rootIndex < 0 || rootIndex >= count)
        return 0;
    const Note& root = m_notes[static_cast<std::size_t>(rootIndex)];
    int longest = root.lengthMs120();
    for (int k = 0; k < root.childCount && k < kMaxChordMembers; ++k) {
        const int m = root.children[k];
        if (m >= 0 && m < count)
            longest = std::max(longest, m_notes[static_cast<std::size_t>(m)].lengthMs120());
    }
    return longest;
}

long long Track::totalPlayMs() const
{
    // Summed at 120 bpm and scaled once, as playback rounds each step from its running place.
    long long total120 = 0;
    LoopState state;
    long long steps = 0;
    for (int i = 0; i >= 0 && i < count && steps < kMaxWalkSteps; ++steps) {
        if (m_notes[static_cast<std::size_t>(i)].chordparent != -1) {
            ++i;
            continue;
        }
        total120 += chordLengthMs120(i);
        i = applyLoopRule(*this, i, state);
    }
    return std::llround(static_cast<double>(total120) / tempoFactor(tempo));
}

std::string formatPlayTime(long long ms)
{
    const long long seconds = std::max(ms, 0LL) / 1000;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%2lld:%2lld", seconds / 60, seconds % 60);
    std::string text(buf);
    std::replace(text.begin(), text.end(), ' ', '0');
    return text;
}

std::string Track::playTimeText(int index) const
{
    if (index >= 0 && index < count && m_notes[static_cast<std::size_t>(index)].chordparent != -1) {
        const int p = m_notes[static_cast<std::size_t>(index)].chordparent;
        if (p >= 0 && p < count)
            index = p;
    }
    long long total = 0;
    LoopState state;
    long long steps = 0;
    for (int i = 0; i >= 0 && i < count && steps < kMaxWalkSteps; ++steps) {
        if (m_notes[static_cast<std::size_t>(i)].chordparent != -1) {
            ++i;
            continue;
        }
        total += chordLengthMs120(i);
        if (i == index)
            break;
        i = applyLoopRule(*this, i, state);
    }
    return formatPlayTime(total);
}

// ---------------------------------------------------------------------------------------------
// Undo ring

void Track::snapshot()
{
    TrackSnapshot snap;
    snap.count = count;
    const std::optional<TrackSnapshot>& prevSlot =
        m_ring[static_cast<std::size_t>((m_head + kUndoSlots - 1) % kUndoSlots)];
    const std::size_t n = static_cast<std::size_t>(count);

    std::size_t reuseFront = 0;    // whole chunks of the previous snapshot kept at the front
    std::size_t reuseBackFrom = 0; // first chunk of the previous snapshot kept at the back
    std::size_t frontEnd = 0;      // notes covered by the kept front chunks
    std::size_t backNotes = 0;     // notes covered by the kept back chunks
    if (prevSlot && !prevSlot->chunks.empty()) {
        const TrackSnapshot& prev = *prevSlot;
        const SnapshotReader reader(prev);
        const std::size_t m = static_cast<std::size_t>(prev.count);
        const std::size_t limit = std::min(n, m);
        // Common prefix, chunk by chunk.
        std::size_t prefix = 0;
        for (std::size_t k = 0; k < reader.chunkCount() && prefix < limit; ++k) {
            const NoteChunk& chunk = *prev.chunks[k];
            std::size_t j = 0;
            while (j < chunk.size() && prefix < limit && sameContent(chunk[j], m_notes[prefix])) {
                ++j;
                ++prefix;
            }
            if (j < chunk.size())
                break;
        }
        // Common suffix, not overlapping the prefix.
        std::size_t suffix = 0;
        for (std::size_t k = reader.chunkCount(); k-- > 0 && suffix < limit - prefix;) {
            const NoteChunk& chunk = *prev.chunks[k];
            std::size_t j = chunk.size();
            while (j > 0 && suffix < limit - prefix && sameContent(chunk[j - 1], m_notes[n - 1 - suffix])) {
                --j;
                ++suffix;
            }
            if (j > 0)
                break;
        }
        while (reuseFront < reader.chunkCount() && reader.chunkEnd(reuseFront) <= prefix)
            ++reuseFront;
        // Small chunks next to the change are folded into the new run, so edits do not leave
        // the ring fragmented.
        while (reuseFront > 0 && prev.chunks[reuseFront - 1]->size() < kSmallChunk)
            --reuseFront;
        frontEnd = reuseFront == 0 ? 0 : reader.chunkEnd(reuseFront - 1);
        reuseBackFrom = reader.chunkCount();
        while (reuseBackFrom > reuseFront && reader.chunkStart(reuseBackFrom - 1) >= m - suffix)
            --reuseBackFrom;
        while (reuseBackFrom < reader.chunkCount() && prev.chunks[reuseBackFrom]->size() < kSmallChunk)
            ++reuseBackFrom;
        backNotes = reuseBackFrom < reader.chunkCount() ? m - reader.chunkStart(reuseBackFrom) : 0;
        for (std::size_t k = 0; k < reuseFront; ++k)
            snap.chunks.push_back(prev.chunks[k]);
    }
    const std::size_t middleEnd = n - backNotes;
    for (std::size_t start = frontEnd; start < middleEnd; start += kChunkNotes) {
        auto chunk = std::make_shared<NoteChunk>();
        const std::size_t end = std::min(middleEnd, start + kChunkNotes);
        chunk->reserve(end - start);
        for (std::size_t i = start; i < end; ++i)
            chunk->push_back(captureContent(m_notes[i]));
        snap.chunks.push_back(std::move(chunk));
    }
    if (prevSlot)
        for (std::size_t k = reuseBackFrom; k < prevSlot->chunks.size(); ++k)
            snap.chunks.push_back(prevSlot->chunks[k]);

    m_ring[static_cast<std::size_t>(m_head)] = std::move(snap);
    m_head = (m_head + 1) % kUndoSlots;
    m_current = m_head;
    if (m_head == m_tail)
        m_tail = (m_tail + 1) % kUndoSlots;
}

void Track::restore(const TrackSnapshot& snap)
{
    const int oldHigh = m_highWater;
    int i = 0;
    for (const auto& chunk : snap.chunks)
        for (const NoteContent& c : *chunk)
            restoreContent(noteAt(i++), c);
    count = snap.count;
    for (int j = count; j < std::min(oldHigh, capacity()); ++j) {
        m_notes[static_cast<std::size_t>(j)] = Note();
        m_notes[static_cast<std::size_t>(j)].track = this;
    }
    rebuildChordLists();
}

bool Track::canUndo() const
{
    return m_head != m_tail && m_tail != m_current;
}

bool Track::canRedo() const
{
    return m_head != m_tail && (m_current + 1) % kUndoSlots != m_head && m_current != m_head;
}

void Track::undo()
{
    SheetLockGuard lock(sheetLock());
    if (m_head == m_tail || m_tail == m_current)
        return;
    if (m_current == m_head) {
        snapshot();
        m_current = (m_current + kUndoSlots - 1) % kUndoSlots;
    }
    m_current = (m_current + kUndoSlots - 1) % kUndoSlots;
    if (const auto& slot = m_ring[static_cast<std::size_t>(m_current)])
        restore(*slot);
    if (count > 0)
        freshTrack = 0;
}

void Track::redo()
{
    SheetLockGuard lock(sheetLock());
    // Right after an edit nothing has been undone; the slot after the head may still hold an
    // old snapshot from before the ring wrapped, which must never be restored.
    if (m_head == m_tail || m_current == m_head)
        return;
    const int next = (m_current + 1) % kUndoSlots;
    if (next == m_head)
        return;
    m_current = next;
    if (const auto& slot = m_ring[static_cast<std::size_t>(m_current)])
        restore(*slot);
    if (count > 0)
        freshTrack = 0;
}

// ---------------------------------------------------------------------------------------------

void Track::convertNotes(int lineShift, int midiShift)
{
    const bool fClef = drawmode == kDrawFClef;
    for (int i = 0; i < count; ++i) {
        Note& n = m_notes[static_cast<std::size_t>(i)];
        n.line = static_cast<int16_t>(std::clamp(n.line + lineShift, -32768, 32767));
        n.midi = static_cast<int8_t>(std::clamp(n.midi + midiShift, -128, 127));
        n.letter = naturalLetterOfKey(n.midi, fClef);
    }
}

void Track::setTrackType(int entry)
{
    switch (entry) {
    case 0:
        if (drawmode == kDrawG2Clef)
            convertNotes(-7, 12);
        if (drawmode == kDrawFClef)
            convertNotes(5, -9);
        drawmode = kDrawGClef;
        break;
    case 1:
        if (drawmode == kDrawGClef)
            convertNotes(-5, 9);
        drawmode = kDrawFClef;
        break;
    case 2:
        percussive = 1;
        drawmode = kDrawGClef;
        break;
    case 3:
        drawmode = kDrawTablature;
        break;
    case 4:
        if (drawmode == kDrawGClef)
            convertNotes(7, -12);
        drawmode = kDrawG2Clef;
        break;
    case 5:
        drawmode = kDrawFifthKind;
        break;
    default:
        return;
    }
    if (entry != 2)
        percussive = 0;
    eventsStale = 1;
    if (owner)
        owner->requestRelayout();
}

bool Track::hoverBarLine(int px, int py)
{
    bool any = false;
    for (int m = 1; m <= measuresInUse && m <= kMeasureCount; ++m) {
        MeasureRecord& r = measures[static_cast<std::size_t>(m)];
        const bool hit =
            !r.startsRow && r.x - 10 < px && px < r.x + 10 && r.barTop - 5 < py && py < r.barBottom + 5;
        r.barHover = hit ? 1 : 0;
        any = any || hit;
    }
    return any;
}

void Track::clearBarHover()
{
    for (int m = 1; m <= measuresInUse && m <= kMeasureCount; ++m)
        measures[static_cast<std::size_t>(m)].barHover = 0;
}

void Track::setKeyIndex(int index)
{
    const KeySignature& row = keySignature(index);
    keyindex = (index >= 0 && index < kKeySignatureCount) ? index : kDefaultKeyIndex;
    key = row.tonic;
    flatKey = row.flats ? 1 : 0;
}

void Track::writeElement(std::string& out) const
{
    out += "<track>\r\n<config\r\n";
    auto put = [&](const char* name, long long v) {
        out += name;
        out += '=';
        out += std::to_string(v);
        out += ' ';
    };
    put("bpm", bpm);
    put("devid", devid);
    put("iid", iid);
    put("groupid", groupid);
    out += "key=";
    out += key;
    out += ' ';
    put("keyindex", keyindex);
    put("tempo", tempo);
    put("drawmode", drawmode);
    put("percussive", percussive ? 1 : 0);
    out += ">\r\n</config>\r\n";
    for (int i = 0; i < count; ++i)
        m_notes[static_cast<std::size_t>(i)].writeElement(out);
    out += "</track>\r\n";
}

namespace {

// A key character that would break the file or cannot name a pitch falls back to the tonic
// of the key row; a blank (an empty value in the file) is kept as it is.
bool keyCharIsWritable(char c)
{
    return c == ' ' || (c > ' ' && c < 127 && c != '"' && c != '<' && c != '>');
}

} // namespace

int Track::readElement(const MarkupElement& element)
{
    int read = 0;
    int dropped = 0;
    for (const auto& childPtr : element.children) {
        const MarkupElement& child = *childPtr;
        if (child.name == "config") {
            bpm = intAttribute(child, "bpm", 120);
            devid = std::max(0, intAttribute(child, "devid", 0));
            iid = std::clamp(intAttribute(child, "iid", 0), 0, 127);
            groupid = std::clamp(intAttribute(child, "groupid", 0), 0, 15);
            keyindex = intAttribute(child, "keyindex", 7);
            key = charAttribute(child, "key", 'C');
            if (!keyCharIsWritable(key))
                key = keySignature(keyindex).tonic;
            // Tempo divides every length; keep it in a range where times stay meaningful.
            tempo = std::clamp(intAttribute(child, "tempo", 120), 1, 1000);
            const int mode = intAttribute(child, "drawmode", 0);
            drawmode = static_cast<uint8_t>(mode >= 0 && mode <= kDrawFifthKind ? mode : kDrawGClef);
            percussive = intAttribute(child, "percussive", 0) != 0 ? 1 : 0;
        } else if (child.name == "note") {
            if (read >= kMaxNotes) {
                ++dropped;
            } else {
                Note& n = noteAt(read);
                n = Note();
                n.track = this;
                n.readElement(child);
                if (percussive)
                    n.dwFlag = 0;
                ++read;
            }
        }
        if (keyindex > 7)
            flatKey = 1;
    }
    count = read;
    if (read > 0)
        freshTrack = 0;
    sanitizeLinks();
    rebuildChordLists();
    return dropped;
}

} // namespace tonvela
