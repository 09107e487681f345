#include "playback/midi_file_reader.h"

#include "platform/atomic_file.h"
#include "platform/sheet_lock.h"
#include "playback/general_midi.h"
#include "score/note_pitch.h"
#include "score/sheet_document.h"
#include "score/track.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace tonvela {
namespace {

// A silence never turns into more rests than this, and a track never holds more notes than a
// sheet file can carry; both keep hostile files from filling memory.
constexpr int kMaxRestsPerSilence = 256;
constexpr int kMaxTrackNotes = Track::kMaxNotes;
// Ticks are kept as 32-bit values in the recorded events.
constexpr int64_t kMaxTick = std::numeric_limits<int32_t>::max() / 2;
// A rest of this many quarter notes or more becomes a whole rest.
constexpr double kWholeRestFrom = 5.4;

// The lengths notes and rests are quantised to, in quarter notes.
constexpr double kLengthTable[] = {0.125, 0.1875, 0.25, 0.375, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0, 4.0, 6.0};

double nearestLength(double x)
{
    double best = kLengthTable[0];
    for (double v : kLengthTable)
        if (std::fabs(x - v) < std::fabs(x - best))
            best = v;
    return best;
}

uint32_t be32(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
int be16(const uint8_t* p)
{
    return (p[0] << 8) | p[1];
}

// Reads one chunk's bytes; every read says whether the bytes were there.
class Cursor {
  public:
    Cursor(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos >= m_size; }
    bool byte(uint8_t& out)
    {
        if (m_pos >= m_size)
            return false;
        out = m_data[m_pos++];
        return true;
    }
    bool peek(uint8_t& out) const
    {
        if (m_pos >= m_size)
            return false;
        out = m_data[m_pos];
        return true;
    }
    // A variable-length quantity: at most four bytes, as the file format allows.
    bool vlq(uint32_t& out)
    {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b = 0;
            if (!byte(b))
                return false;
            out = (out << 7) | (b & 0x7Fu);
            if (!(b & 0x80))
                return true;
        }
        return false;
    }
    bool skip(uint32_t n)
    {
        if (n > m_size - m_pos)
            return false;
        m_pos += n;
        return true;
    }
    bool bytes(uint32_t n, std::string_view& out)
    {
        if (n > m_size - m_pos)
            return false;
        out = std::string_view(reinterpret_cast<const char*>(m_data + m_pos), n);
        m_pos += n;
        return true;
    }

  private:
    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

struct ParsedNote {
    int64_t start = 0;
    int64_t end = 0;
    int key = -1; // -1 for a rest
    int velocity = 0;
    int program = 0;
    int parent = -1;
    int memberCount = 0;
    bool ended = false;
    double restLength = 0; // quarter notes, rests only
};

struct ParsedTrack {
    std::string name;
    int program = 0;
    int fileChannel = 0;
    bool percussive = false;
    int drumKey = 0;
    int volume = 127;
    int pan = 64;
    int bank = 0;
    bool flag121 = false;
    int64_t endTick = 0;
    std::vector<ParsedNote> notes;
    std::vector<RecordedEvent> events;
    int droppedNoteOns = 0;
    bool cutShort = false;
    bool restsCapped = false;
};

struct FileState {
    int division = 96;
    int tempoBpm = 0;
    int timeSigCode = 0;
    long long noteOns = 0;
};

int timeSignatureCodeOf(int numerator, int denominator)
{
    static constexpr struct {
        int num, den, code;
    } kCodes[] = {
        {2, 4, kTimeSig24}, {3, 4, kTimeSig34}, {4, 4, kTimeSig44}, {5, 4, kTimeSig54}, {6, 8, kTimeSig68},
        {6, 4, kTimeSig64}, {7, 4, kTimeSig74}, {8, 4, kTimeSig84}, {9, 4, kTimeSig94}, {3, 8, kTimeSig38},
        {5, 8, kTimeSig58}, {7, 8, kTimeSig78}, {9, 8, kTimeSig98},
    };
    for (const auto& c : kCodes)
        if (c.num == numerator && c.den == denominator)
            return c.code;
    return 0;
}

// Builds the notes of one track chunk: the rules that end notes (E), make notes and chords (N)
// and fill silences with rests.
class TrackParser {
  public:
    TrackParser(ParsedTrack& track, FileState& file)
        : m_t(track), m_file(file), m_division(file.division), m_sixteenth(file.division / 4)
    {
    }

    void parse(const uint8_t* data, std::size_t size);

  private:
    int noteCount() const { return static_cast<int>(m_t.notes.size()); }
    int rootOf(int i) const
    {
        const int p = m_t.notes[static_cast<std::size_t>(i)].parent;
        return p >= 0 ? p : i;
    }
    void lengthenLastEnded(int64_t d)
    {
        if (m_newestEnded >= 0 && d > 0)
            m_t.notes[static_cast<std::size_t>(rootOf(m_newestEnded))].end += d;
    }
    void markEnded(int i, int64_t t)
    {
        ParsedNote& n = m_t.notes[static_cast<std::size_t>(i)];
        n.end = t;
        n.ended = true;
        m_newestEnded = std::max(m_newestEnded, i);
    }
    void endNote(int key, int64_t silence);
    void fillSilence(int64_t s);
    void makeNote(int key, int velocity);
    void addEvent(uint8_t kind, int noteIndex, int key, int velocity)
    {
        RecordedEvent e;
        e.kind = kind;
        e.tick = static_cast<int32_t>(m_tick);
        e.noteIndex = noteIndex;
        e.pitch = static_cast<uint8_t>(key & 0x7F);
        e.velocity = static_cast<uint8_t>(velocity & 0x7F);
        e.pan = 63;
        e.program = static_cast<uint8_t>(m_program & 0x7F);
        m_t.events.push_back(e);
    }

    ParsedTrack& m_t;
    FileState& m_file;
    int m_division;
    int m_sixteenth;
    int64_t m_tick = 0;
    // Ticks since the last event that measured a silence (note on, note off, pitch bend), so
    // that time spent in controller or meta events between notes is not lost.
    int64_t m_sinceMeasured = 0;
    int m_program = 0;
    int m_newestEnded = -1;
    bool m_full = false;
    std::array<std::vector<int>, 128> m_sounding; // notes not yet ended, by key
};

void TrackParser::endNote(int key, int64_t silence)
{
    if (key >= 0 && key < 128) {
        std::vector<int>& open = m_sounding[static_cast<std::size_t>(key)];
        for (std::size_t j = open.size(); j-- > 0;) {
            const int idx = open[j];
            if (m_t.notes[static_cast<std::size_t>(idx)].start < m_tick) {
                markEnded(idx, m_tick);
                open.erase(open.begin() + static_cast<std::ptrdiff_t>(j));
                return;
            }
        }
    }
    // No note ended here: the time since the last such event was silence. A full track
    // takes no more rests.
    if (m_full)
        return;
    if (silence <= m_sixteenth) {
        lengthenLastEnded(silence);
        return;
    }
    fillSilence(silence);
}

void TrackParser::fillSilence(int64_t s)
{
    int made = 0;
    while (s >= 1 && s >= m_sixteenth) {
        if (made >= kMaxRestsPerSilence || noteCount() >= kMaxTrackNotes) {
            m_t.restsCapped = true;
            return;
        }
        const double x = static_cast<double>(s) / m_division;
        double value = x >= kWholeRestFrom ? 4.0 : nearestLength(x);
        auto ticksOf = [&](double v) { return static_cast<int64_t>(v * m_division); };
        if (ticksOf(value) > s) {
            // The nearest rest is longer than the silence: take the longest that fits, at least
            // a sixteenth (one always fits, since the silence is a sixteenth or more).
            value = 0;
            for (double v : kLengthTable)
                if (v >= 0.25 && ticksOf(v) <= s)
                    value = v;
            if (value == 0)
                break;
        }
        const int64_t ticks = ticksOf(value);
        if (ticks < 1)
            break;
        ParsedNote rest;
        rest.start = m_tick - s;
        rest.end = rest.start + ticks;
        rest.ended = true;
        rest.program = m_program;
        rest.restLength = value;
        m_t.notes.push_back(rest);
        m_newestEnded = noteCount() - 1;
        s -= ticks;
        ++made;
    }
    if (s >= 1 && s < m_sixteenth)
        lengthenLastEnded(s);
}

void TrackParser::makeNote(int key, int velocity)
{
    int root = -1;
    if (m_sixteenth > 0) {
        for (int i = noteCount() - 1; i >= 0; --i) {
            const ParsedNote& r = m_t.notes[static_cast<std::size_t>(i)];
            if (m_tick - r.start >= m_sixteenth)
                break; // every older note starts earlier still
            if (r.parent == -1 && r.key >= 0 && r.key != key && !r.ended && r.start <= m_tick) {
                if (r.memberCount < kMaxChordMembers)
                    root = i;
                break;
            }
        }
    }
    ParsedNote n;
    n.start = m_tick;
    n.key = key;
    n.velocity = velocity;
    n.program = m_program;
    n.parent = root;
    if (root >= 0)
        ++m_t.notes[static_cast<std::size_t>(root)].memberCount;
    m_t.notes.push_back(n);
    m_sounding[static_cast<std::size_t>(key)].push_back(noteCount() - 1);
}

void TrackParser::parse(const uint8_t* data, std::size_t size)
{
    Cursor c(data, size);
    int status = 0; // running status: the last channel message's status byte
    while (!c.atEnd()) {
        uint32_t delta = 0;
        if (!c.vlq(delta)) {
            m_t.cutShort = true;
            break;
        }
        m_tick += delta;
        m_sinceMeasured += delta;
        if (m_tick > kMaxTick) {
            m_t.cutShort = true;
            break;
        }
        m_t.endTick = m_tick;
        uint8_t b = 0;
        if (!c.peek(b))
            break;
        if (b >= 0x80) {
            c.byte(b);
            if (b < 0xF0) {
                status = b;
                const int channel = b & 0x0F;
                m_t.fileChannel = channel;
                m_t.percussive = channel == kPercussionChannel;
            } else if (b == 0xFF) {
                uint8_t type = 0;
                uint32_t len = 0;
                std::string_view text;
                if (!c.byte(type) || !c.vlq(len) || !c.bytes(len, text)) {
                    m_t.cutShort = true;
                    break;
                }
                const auto* p = reinterpret_cast<const uint8_t*>(text.data());
                if (type == 0x2F)
                    break; // end of track
                if (type == 0x03) {
                    std::string name(text.substr(0, kTrackNameCapacity));
                    for (char& ch : name)
                        if (static_cast<unsigned char>(ch) < 0x20)
                            ch = ' ';
                    m_t.name = std::move(name);
                } else if (type == 0x51 && len == 3 && m_file.tempoBpm == 0) {
                    const uint32_t usPerQuarter = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
                    if (usPerQuarter > 0)
                        m_file.tempoBpm =
                            static_cast<int>(std::clamp(std::lround(60'000'000.0 / usPerQuarter), 1L, 1000L));
                } else if (type == 0x58 && len >= 2 && m_file.timeSigCode == 0 && p[1] < 8) {
                    m_file.timeSigCode = timeSignatureCodeOf(p[0], 1 << p[1]);
                }
                continue;
            } else if (b == 0xF0 || b == 0xF7) {
                uint32_t len = 0;
                if (!c.vlq(len) || !c.skip(len)) {
                    m_t.cutShort = true;
                    break;
                }
                continue;
            } else {
                // System common and real-time messages do not belong in a file.
                m_t.cutShort = true;
                break;
            }
        } else if (status == 0) {
            // A data byte with no status before it.
            m_t.cutShort = true;
            break;
        }

        const int kind = status & 0xF0;
        const int channel = status & 0x0F;
        uint8_t d1 = 0, d2 = 0;
        const int dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        if (!c.byte(d1) || (dataBytes == 2 && !c.byte(d2))) {
            m_t.cutShort = true;
            break;
        }
        d1 &= 0x7F;
        d2 &= 0x7F;
        switch (kind) {
        case 0x90:
            if (d2 > 0) {
                ++m_file.noteOns;
                if (noteCount() > kMaxNotesFromNoteOns) {
                    // The track is full: the note stays in the events, so event playback
                    // still plays it, but makes no note and no rest.
                    ++m_t.droppedNoteOns;
                    m_full = true;
                    addEvent(0, noteCount(), d1, d2);
                    break;
                }
                if (channel == 9 || channel == 10)
                    m_t.drumKey = d1;
                const int64_t silence = m_sinceMeasured;
                m_sinceMeasured = 0;
                endNote(d1, silence);
                addEvent(0, noteCount(), d1, d2);
                makeNote(d1, d2);
                break;
            }
            [[fallthrough]]; // a note on with velocity 0 is a note off
        case 0x80: {
            addEvent(1, noteCount(), d1, d2);
            const int64_t silence = m_sinceMeasured;
            m_sinceMeasured = 0;
            endNote(d1, silence);
            break;
        }
        case 0xB0:
            if (d1 == 0)
                m_t.bank = d2;
            else if (d1 == 7)
                m_t.volume = d2;
            else if (d1 == 10)
                m_t.pan = d2;
            else if (d1 == 32)
                m_t.flag121 = d2 == 121;
            break;
        case 0xC0:
            m_program = d1;
            m_t.program = d1;
            break;
        case 0xE0: {
            // A silence before a pitch bend is measured like one before a note.
            const int64_t silence = m_sinceMeasured;
            m_sinceMeasured = 0;
            endNote(-1, silence);
            break;
        }
        default:
            break; // key pressure, channel pressure
        }
    }
}

// Fills a sheet track from a parsed chunk: notes with their quantised lengths, chords, events.
void buildTrack(Track& track, const ParsedTrack& p, int division)
{
    track.name = p.name;
    track.iid = p.program;
    track.groupid = p.program / kInstrumentsPerGroup;
    track.fileChannel = p.fileChannel;
    track.percussive = p.percussive ? 1 : 0;
    track.drawmode = kDrawGClef;
    track.drumKey = p.drumKey;
    track.volume = p.volume;
    track.pan = p.pan;
    track.banknum = p.bank;
    track.bankFlag121 = p.flag121;
    track.division = division;

    const int n = static_cast<int>(p.notes.size());
    track.noteAt(n + 1); // grow once
    // Length of each root in quarter notes; members take their root's.
    std::vector<double> lengthOf(static_cast<std::size_t>(n), 0.0);
    for (int i = 0; i < n; ++i) {
        const ParsedNote& pn = p.notes[static_cast<std::size_t>(i)];
        if (pn.parent != -1)
            continue;
        // A note still sounding when its track ends lasts to the end of the track.
        const int64_t end = pn.ended ? pn.end : std::max(p.endTick, pn.start);
        lengthOf[static_cast<std::size_t>(i)] = static_cast<double>(end - pn.start) / division;
    }
    for (int i = 0; i < n; ++i) {
        const ParsedNote& pn = p.notes[static_cast<std::size_t>(i)];
        Note& note = track.noteAt(i);
        note = Note{};
        if (pn.key < 0) {
            note.setStaffPosition(-6); // the middle line of the staff
            note.dwFlag = kFlagRest;
            note.type = kTypeQuarter;
            note.volume = 0;
            note.velocity = 0;
        } else {
            noteFromMidiKey(note, pn.key);
            note.volume = pn.velocity;
            note.velocity = pn.velocity;
        }
        note.iid = pn.program;
        note.chordparent = static_cast<int16_t>(pn.parent);
        const double x = lengthOf[static_cast<std::size_t>(pn.parent != -1 ? pn.parent : i)];
        if (x != 0)
            note.quantizeBeats(x);
        note.layout.width = static_cast<int16_t>(note.kindWidth());
    }
    track.count = n;
    track.rebuildChordLists();
    track.events = p.events;
    for (auto& e : track.events) {
        e.sounding = 0;
        e.spare = 0;
    }
    track.eventsStale = 0;
    track.freshTrack = n > 0 ? 0 : 1;
}

} // namespace

MidiImportResult importMidiData(std::string_view data, SheetDocument& sheet)
{
    MidiImportResult result;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    const std::size_t size = data.size();
    if (size < 8 || std::memcmp(bytes, "MThd", 4) != 0) {
        result.error = "not a Standard MIDI File (it does not begin with an \"MThd\" header)";
        return result;
    }
    const uint32_t headerLength = be32(bytes + 4);
    if (headerLength < 6 || size < 14) {
        result.error = "the MIDI file's header is cut short";
        return result;
    }
    MidiFileInfo& info = result.info;
    info.format = be16(bytes + 8);
    info.declaredTracks = be16(bytes + 10);
    const int rawDivision = be16(bytes + 12);
    int division = rawDivision;
    if (rawDivision & 0x8000) {
        // Frames per second and ticks per frame: at the standard 120 beats per minute a quarter
        // note lasts half a second.
        int fps = -static_cast<int8_t>(rawDivision >> 8);
        if (fps == 29)
            fps = 30;
        division = fps * (rawDivision & 0xFF) / 2;
    }
    if (division <= 0) {
        result.error = "the MIDI file gives a division of 0 ticks per quarter note, so no note "
                       "lengths can be read from it";
        return result;
    }
    info.division = division;

    // Every MTrk chunk, in file order. Other chunks are passed over by their length.
    FileState file;
    file.division = division;
    std::vector<ParsedTrack> parsed;
    std::size_t pos = 8 + std::min<std::size_t>(headerLength, size - 8);
    bool sawTrack = false;
    while (pos + 8 <= size) {
        const uint8_t* chunk = bytes + pos;
        const uint32_t length = be32(chunk + 4);
        pos += 8;
        const std::size_t available = std::min<std::size_t>(length, size - pos);
        if (std::memcmp(chunk, "MTrk", 4) == 0) {
            sawTrack = true;
            if (static_cast<int>(parsed.size()) >= kMaxImportedTracks) {
                result.warnings.push_back("only the first " + std::to_string(kMaxImportedTracks) +
                                          " track chunks were imported");
                break;
            }
            ParsedTrack& t = parsed.emplace_back();
            const long long before = file.noteOns;
            TrackParser(t, file).parse(bytes + pos, available);
            info.chunks.push_back({t.name, static_cast<int>(file.noteOns - before), -1});
        }
        if (available < length) {
            result.warnings.push_back("the file ends inside a chunk; its last track is cut short");
            break;
        }
        pos += length;
    }
    if (!sawTrack) {
        result.error = "the MIDI file holds no \"MTrk\" track chunk";
        return result;
    }
    info.noteOns = file.noteOns;
    info.tempoBpm = file.tempoBpm;
    info.timeSigCode = file.timeSigCode;
    const bool anyNotes =
        std::any_of(parsed.begin(), parsed.end(), [](const ParsedTrack& t) { return !t.notes.empty(); });
    if (!anyNotes) {
        result.error = "the MIDI file holds no notes to import";
        return result;
    }

    SheetLockGuard lock(sheetLock());
    sheet.removeAllTracks();
    if (file.timeSigCode != 0)
        sheet.setTimeSignatureCode(file.timeSigCode);
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const ParsedTrack& p = parsed[i];
        const std::string label = "track chunk " + std::to_string(i + 1);
        if (p.cutShort)
            result.warnings.push_back(label + " is damaged or cut short; it was read up to the damage");
        if (p.droppedNoteOns > 0)
            result.warnings.push_back(label + ": " + std::to_string(p.droppedNoteOns) + " notes beyond " +
                                      std::to_string(kMaxNotesFromNoteOns) +
                                      " were left out (they still play in event playback)");
        if (p.restsCapped)
            result.warnings.push_back(label + ": a very long silence was shortened");
        if (p.notes.empty())
            continue;
        Track& track = sheet.addTrack();
        buildTrack(track, p, division);
        if (file.tempoBpm > 0)
            track.tempo = file.tempoBpm;
        info.chunks[i].sheetTrack = sheet.trackCount() - 1;
    }
    sheet.selectTrack(0);
    sheet.requestRelayout();
    result.ok = true;
    return result;
}

std::unique_ptr<SheetDocument> importMidiFile(const std::string& path, MidiImportResult* result)
{
    MidiImportResult local;
    MidiImportResult& res = result ? *result : local;
    res = MidiImportResult{};
    std::string content;
    if (const FileResult read = readWholeFile(path, content, kMaxMidiFileBytes); !read) {
        res.error = read.error;
        return nullptr;
    }
    auto sheet = std::make_unique<SheetDocument>();
    res = importMidiData(content, *sheet);
    if (!res.ok)
        return nullptr;
    const auto slash = path.find_last_of('/');
    sheet->caption = slash == std::string::npos ? path : path.substr(slash + 1);
    sheet->path.clear();
    sheet->modified = 0;
    sheet->refreshWindowText();
    return sheet;
}

} // namespace tonvela
