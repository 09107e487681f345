#include "playback/midi_file_reader.h"

#include "platform/memory_policy.h"
#include "platform/sheet_lock.h"
#include "playback/midi_import_quantizer.h"
#include "playback/tempo_map.h"
#include "score/note_pitch.h"
#include "score/play_walk.h"
#include "score/sheet_document.h"
#include "score/sheet_import.h"
#include "score/track.h"
#include "score/utf8_text.h"
#include "theory/general_midi.h"
#include "theory/key_signature.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <utility>

namespace tonvela {
namespace {

// A track never holds more notes than a sheet file can carry.
constexpr int kMaxTrackNotes = Track::kMaxNotes;
// Ticks are kept as 32-bit values in the recorded events.
constexpr int64_t kMaxTick = std::numeric_limits<int32_t>::max() / 2;

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
    std::vector<ImportedNote> notes;   // one per note-on, in file order
    std::vector<RecordedEvent> events; // noteIndex: the number of note-ons before the event
    std::vector<TempoChange> tempos;
    int droppedNoteOns = 0;
    bool cutShort = false;
};

struct FileState {
    int timeSigCode = 0;
    int keyIndex = -1; // the row of the key table of the first key signature; -1 when none
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

// How many note-on and note messages (on and off) a chunk holds, read the way the parser reads
// it up to where it would stop, so that the parser's arrays take their room once.
struct NoteMessageCounts {
    std::size_t noteOns = 0;
    std::size_t noteMessages = 0;
};
NoteMessageCounts countNoteMessages(const uint8_t* data, std::size_t size)
{
    NoteMessageCounts counts;
    Cursor c(data, size);
    int status = 0;
    uint32_t value = 0;
    uint8_t b = 0;
    while (c.vlq(value) && c.peek(b)) {
        if (b >= 0x80) {
            c.byte(b);
            if (b == 0xFF) {
                if (!c.byte(b) || b == 0x2F || !c.vlq(value) || !c.skip(value))
                    break;
                continue;
            }
            if (b == 0xF0 || b == 0xF7) {
                if (!c.vlq(value) || !c.skip(value))
                    break;
                continue;
            }
            if (b > 0xF0)
                break;
            status = b;
        } else if (status == 0) {
            break;
        }
        const int kind = status & 0xF0;
        uint8_t d1 = 0;
        uint8_t d2 = 0;
        if (!c.byte(d1) || (kind != 0xC0 && kind != 0xD0 && !c.byte(d2)))
            break;
        if (kind == 0x90 || kind == 0x80) {
            ++counts.noteMessages;
            if (kind == 0x90 && (d2 & 0x7F) > 0)
                ++counts.noteOns;
        }
    }
    return counts;
}

// Reads the events of one track chunk: one note per note-on, ended by its note-off (or by the
// next note-on of its key, as a synthesizer ends it), the recorded events, the tempo changes
// and the channel settings. How the notes are written in the score is decided afterwards, when
// the whole file's tempo map is known.
class TrackParser {
  public:
    TrackParser(ParsedTrack& track, FileState& file) : m_t(track), m_file(file) {}

    void parse(const uint8_t* data, std::size_t size);

  private:
    int noteCount() const { return static_cast<int>(m_t.notes.size()); }
    void endNote(int key, bool atNoteOn);
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
    int64_t m_tick = 0;
    int64_t m_seq = 0; // events read so far
    int m_program = 0;
    std::array<std::vector<int>, 128> m_sounding; // notes not yet ended, by key, oldest first
    // Notes a note-on of the key ended in this tick whose own note-off may still come in the
    // same tick (a drum struck again writes its new note-on before the old note-off).
    struct Restruck {
        int64_t tick = -1;
        int owed = 0;
    };
    std::array<Restruck, 128> m_restruck{};
};

// A note-off ends the oldest sounding note of its key that started before it, or else one that
// started at the same tick. A note-on ends every note of its key that started before it; their
// note-offs, when they follow in the same tick, belong to them and leave the new note sounding.
void TrackParser::endNote(int key, bool atNoteOn)
{
    std::vector<int>& open = m_sounding[static_cast<std::size_t>(key)];
    Restruck& restruck = m_restruck[static_cast<std::size_t>(key)];
    if (restruck.tick != m_tick)
        restruck = {m_tick, 0};
    const auto end = [&](std::size_t j) {
        ImportedNote& n = m_t.notes[static_cast<std::size_t>(open[j])];
        n.end = m_tick;
        n.endSeq = m_seq;
        open.erase(open.begin() + static_cast<std::ptrdiff_t>(j));
    };
    for (std::size_t j = 0; j < open.size();) {
        if (m_t.notes[static_cast<std::size_t>(open[j])].start < m_tick) {
            end(j);
            if (!atNoteOn)
                return;
            ++restruck.owed;
        } else {
            ++j;
        }
    }
    if (atNoteOn)
        return;
    if (restruck.owed > 0) {
        // The note-off of a note this tick's note-on already ended.
        --restruck.owed;
        return;
    }
    if (!open.empty())
        end(0);
}

void TrackParser::parse(const uint8_t* data, std::size_t size)
{
    const NoteMessageCounts counts = countNoteMessages(data, size);
    m_t.notes.reserve(std::min<std::size_t>(counts.noteOns, kMaxTrackNotes));
    m_t.events.reserve(counts.noteMessages);
    prefaultForWriting(m_t.notes.data(), m_t.notes.capacity() * sizeof(ImportedNote));
    prefaultForWriting(m_t.events.data(), m_t.events.capacity() * sizeof(RecordedEvent));
    Cursor c(data, size);
    int status = 0; // running status: the last channel message's status byte
    while (!c.atEnd()) {
        uint32_t delta = 0;
        if (!c.vlq(delta)) {
            m_t.cutShort = true;
            break;
        }
        m_tick += delta;
        ++m_seq;
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
                    // A MIDI file names no encoding of its texts: what is not UTF-8 is
                    // replaced, so the sheet only ever holds UTF-8.
                    std::string name =
                        cutUtf8(validUtf8(text.substr(0, 4 * kTrackNameCapacity)), kTrackNameCapacity);
                    for (char& ch : name)
                        if (static_cast<unsigned char>(ch) < 0x20)
                            ch = ' ';
                    m_t.name = std::move(name);
                } else if (type == 0x51 && len == 3) {
                    const int32_t usPerQuarter = (int32_t{p[0]} << 16) | (int32_t{p[1]} << 8) | p[2];
                    if (usPerQuarter > 0)
                        m_t.tempos.push_back({static_cast<int32_t>(m_tick), usPerQuarter});
                } else if (type == 0x58 && len >= 2 && m_file.timeSigCode == 0 && p[1] < 8) {
                    m_file.timeSigCode = timeSignatureCodeOf(p[0], 1 << p[1]);
                } else if (type == 0x59 && len == 2 && m_file.keyIndex < 0) {
                    // Sharps (positive) or flats of the key; a minor key shares its row with
                    // its relative major.
                    const int fifths = static_cast<int8_t>(p[0]);
                    if (fifths >= -7 && fifths <= 7)
                        m_file.keyIndex = kDefaultKeyIndex - fifths;
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
                addEvent(0, noteCount(), d1, d2);
                if (noteCount() >= kMaxTrackNotes) {
                    // The track is full: the note stays in the events, so event playback
                    // still plays it, but makes no note.
                    ++m_t.droppedNoteOns;
                    break;
                }
                if (channel == 9 || channel == 10)
                    m_t.drumKey = d1;
                endNote(d1, true);
                ImportedNote n;
                n.start = m_tick;
                n.end = -1;
                n.startSeq = m_seq;
                n.endSeq = std::numeric_limits<int64_t>::max();
                n.key = d1;
                n.velocity = d2;
                n.program = m_program;
                m_sounding[d1].push_back(noteCount());
                m_t.notes.push_back(n);
                break;
            }
            [[fallthrough]]; // a note on with velocity 0 is a note off
        case 0x80:
            addEvent(1, noteCount(), d1, d2);
            endNote(d1, false);
            break;
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
        default:
            break; // key pressure, channel pressure, pitch bend
        }
    }
    // A note still sounding when its track ends lasts to the end of the track.
    for (ImportedNote& n : m_t.notes)
        if (n.end < 0)
            n.end = m_t.endTick;
}

// A part whose notes lie mostly below middle C is written on the F clef.
bool mostlyLow(const std::vector<ImportedNote>& notes)
{
    const auto low =
        std::count_if(notes.begin(), notes.end(), [](const ImportedNote& n) { return n.key < 60; });
    return static_cast<std::size_t>(low) * 2 > notes.size();
}

// Fills a sheet track from a parsed chunk: settings, notes written by the quantiser, events
// (moved into the track: the chunk's notes stay for the timing check).
QuantizedTrack buildTrack(Track& track, ParsedTrack& p, int division, int tempo,
                          const std::vector<TempoChange>& tempoMap, int keyIndex)
{
    track.name = p.name;
    track.iid = p.program;
    track.groupid = p.program / kInstrumentsPerGroup;
    track.fileChannel = p.fileChannel;
    setStaffKind(track, staffKindForMidiImport(p.percussive, mostlyLow(p.notes)));
    track.drumKey = p.drumKey;
    track.volume = p.volume;
    track.pan = p.pan;
    track.banknum = p.bank;
    track.bankFlag121 = p.flag121;
    track.division = division;
    track.tempo = tempo;
    track.tempoMap = tempoMap;
    // The file's key: notes are spelled in it (a drum staff shows no key).
    if (keyIndex >= 0 && !track.percussive)
        track.setKeyIndex(keyIndex);

    QuantizedTrack q = quantizeIntoTrack(p.notes, p.endTick, division, TempoTimeline(tempoMap, division),
                                         track, kMaxTrackNotes);

    // Events name the sheet note they belong to (a note-off the note after the last one begun).
    track.events = std::move(p.events);
    for (auto& e : track.events) {
        const auto raw = static_cast<std::size_t>(e.noteIndex);
        e.noteIndex = raw < q.sheetIndex.size() && q.sheetIndex[raw] >= 0 ? q.sheetIndex[raw] : track.count;
        e.sounding = 0;
        e.spare = 0;
    }
    track.eventsStale = 0;
    track.freshTrack = track.count > 0 ? 0 : 1;
    return q;
}

// How many of the chunk's notes the sheet strikes more than kMovedNoteMs away from their time
// in the file: the score's lengths cannot place them nearer (tuplets, a tempo that changes
// gradually). The sheet plays at the track's tempo what its notes' places say.
int notesMovedInTime(const Track& track, const ParsedTrack& p, const QuantizedTrack& q, int division,
                     const std::vector<TempoChange>& tempoMap)
{
    std::vector<Ticks> placeOf(static_cast<std::size_t>(track.count), -1);
    PlayWalk walk(track, WalkOrder::Written);
    while (const std::optional<PlayStep> step = walk.next())
        forEachPlayedNote(track, *step, [&](const PlayedNote& n) {
            placeOf[static_cast<std::size_t>(n.index)] = step->start + n.offset;
        });
    const TempoTimeline fileTime(tempoMap, division);
    int moved = 0;
    for (std::size_t k = 0; k < p.notes.size() && k < q.sheetIndex.size(); ++k) {
        const int at = q.sheetIndex[k];
        if (at < 0 || at >= track.count || placeOf[static_cast<std::size_t>(at)] < 0)
            continue;
        const double sheetMs =
            static_cast<double>(usAtTempo(placeOf[static_cast<std::size_t>(at)], track.tempo)) / 1000.0;
        if (std::fabs(sheetMs - fileTime.msAt(p.notes[k].start)) > kMovedNoteMs)
            ++moved;
    }
    return moved;
}

// The bytes of the Standard MIDI File inside a RIFF MIDI file ("RIFF", size, "RMID", then
// chunks, one of them "data"); other bytes as they are.
std::string_view unwrapRiffMidi(std::string_view data)
{
    if (data.size() < 12 || data.substr(0, 4) != "RIFF" || data.substr(8, 4) != "RMID")
        return data;
    std::size_t pos = 12;
    while (pos + 8 <= data.size()) {
        const auto* p = reinterpret_cast<const uint8_t*>(data.data() + pos + 4);
        const std::size_t length =
            uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
        const std::size_t available = std::min(length, data.size() - pos - 8);
        if (data.substr(pos, 4) == "data")
            return data.substr(pos + 8, available);
        pos += 8 + available + (available & 1);
    }
    return data;
}

} // namespace

LoadResult importMidiData(std::string_view data, SheetDocument& sheet, MidiFileInfo* infoOut)
{
    LoadResult result;
    MidiFileInfo local;
    MidiFileInfo& info = infoOut ? *infoOut : local;
    info = MidiFileInfo{};
    data = unwrapRiffMidi(data);
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    const std::size_t size = data.size();
    if (size < 8 || std::memcmp(bytes, "MThd", 4) != 0)
        return LoadResult::failure(LoadStatus::WrongKind,
                                   "not a Standard MIDI File (it does not begin with an \"MThd\" header)");
    const uint32_t headerLength = be32(bytes + 4);
    if (headerLength < 6 || size < 14)
        return LoadResult::failure(LoadStatus::Invalid, "the MIDI file's header is cut short");
    info.format = be16(bytes + 8);
    info.declaredTracks = be16(bytes + 10);
    const int rawDivision = be16(bytes + 12);
    int division = rawDivision;
    const bool smpte = (rawDivision & 0x8000) != 0;
    if (smpte) {
        // Frames per second and ticks per frame: at the standard 120 beats per minute a quarter
        // note lasts half a second. Ticks are then real time, and tempo events do not apply.
        int fps = -static_cast<int8_t>(rawDivision >> 8);
        if (fps == 29)
            fps = 30;
        division = fps * (rawDivision & 0xFF) / 2;
    }
    if (division <= 0)
        return LoadResult::failure(LoadStatus::Invalid,
                                   "the MIDI file gives a division of 0 ticks per quarter note, so no note "
                                   "lengths can be read from it");
    info.division = division;

    // Every MTrk chunk, in file order. Other chunks are passed over by their length.
    FileState file;
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
    if (!sawTrack)
        return LoadResult::failure(LoadStatus::Invalid, "the MIDI file holds no \"MTrk\" track chunk");
    info.noteOns = file.noteOns;
    info.timeSigCode = file.timeSigCode;
    const bool anyNotes =
        std::any_of(parsed.begin(), parsed.end(), [](const ParsedTrack& t) { return !t.notes.empty(); });
    if (!anyNotes)
        return LoadResult::failure(LoadStatus::Invalid, "the MIDI file holds no notes to import");

    // The tempo map: the tempo events of every chunk together, as players read a format 0 or 1
    // file; in a format 2 file each chunk is a piece of its own with its own tempos.
    const auto mapOf = [&](const std::vector<const ParsedTrack*>& chunks) {
        std::vector<TempoChange> map;
        if (smpte)
            return map;
        for (const ParsedTrack* t : chunks)
            map.insert(map.end(), t->tempos.begin(), t->tempos.end());
        std::stable_sort(map.begin(), map.end(),
                         [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
        return map;
    };
    std::vector<const ParsedTrack*> all;
    int64_t fileEnd = 0;
    for (const ParsedTrack& t : parsed) {
        all.push_back(&t);
        fileEnd = std::max(fileEnd, t.endTick);
    }
    const std::vector<TempoChange> fileMap = mapOf(all);
    const bool ownMaps = info.format == 2;
    // The sheet plays at the tempo in force for most of the file; the notes are placed by the
    // file's time, so the parts at other tempos still last as long as in the file.
    info.tempoBpm = dominantTempoBpm(fileMap, division, fileEnd);
    // The tempos in force one after another (several events at one tick: the last), for info.
    std::vector<std::pair<int64_t, int>> spans{{0, bpmOfTempo(kDefaultUsPerQuarter)}};
    for (const TempoChange& c : fileMap) {
        if (c.tick == spans.back().first)
            spans.back().second = bpmOfTempo(c.usPerQuarter);
        else if (c.tick < fileEnd)
            spans.emplace_back(c.tick, bpmOfTempo(c.usPerQuarter));
    }
    info.minTempoBpm = info.maxTempoBpm = spans.front().second;
    for (std::size_t k = 0; k < spans.size(); ++k) {
        info.minTempoBpm = std::min(info.minTempoBpm, spans[k].second);
        info.maxTempoBpm = std::max(info.maxTempoBpm, spans[k].second);
        if (k > 0 && spans[k].second != spans[k - 1].second)
            ++info.tempoChanges;
    }

    SheetLockGuard lock(sheetLock());
    sheet.removeAllTracks();
    if (file.timeSigCode != 0)
        sheet.setTimeSignatureCode(file.timeSigCode);
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        ParsedTrack& p = parsed[i];
        const std::string label = "track chunk " + std::to_string(i + 1);
        if (p.cutShort)
            result.warnings.push_back(label + " is damaged or cut short; it was read up to the damage");
        if (p.notes.empty())
            continue; // a chunk without note-ons makes no track
        std::vector<TempoChange> map = ownMaps ? mapOf({&p}) : fileMap;
        if (map.empty())
            map.push_back({0, kDefaultUsPerQuarter}); // the events still play in the file's time
        const int tempo = ownMaps ? dominantTempoBpm(map, division, p.endTick) : info.tempoBpm;
        Track& track = sheet.addTrack();
        const QuantizedTrack q = buildTrack(track, p, division, tempo, map, file.keyIndex);
        const int leftOut = p.droppedNoteOns + q.leftOut;
        if (leftOut > 0)
            result.warnings.push_back(label + ": " + std::to_string(leftOut) + " notes beyond " +
                                      std::to_string(kMaxTrackNotes) +
                                      " notes and rests were left out (they still play in event playback)");
        if (q.overlapsCut > 0)
            result.warnings.push_back(
                label + ": " + std::to_string(q.overlapsCut) +
                " notes start while two others still sound; the sheet holds two voices, "
                "so the notes they overlap are written shorter (they still sound "
                "their full length)");
        if (q.silenceShortened)
            result.warnings.push_back(label + ": a very long silence was shortened");
        // After a shortened silence every later note is early; that warning says so already.
        if (const int moved = q.silenceShortened ? 0 : notesMovedInTime(track, p, q, division, map);
            moved > 0)
            result.warnings.push_back(label + ": " + std::to_string(moved) + " notes sound more than " +
                                      std::to_string(kMovedNoteMs) +
                                      " ms from their time in the file (the sheet's note lengths "
                                      "cannot place them nearer: tuplets or a changing tempo)");
        info.chunks[i].sheetTrack = sheet.trackCount() - 1;
    }
    sheet.selectTrack(0);
    sheet.announce({SheetChange::Load});
    return result;
}

LoadResult importMidiFile(const std::string& path, std::unique_ptr<SheetDocument>& sheet)
{
    return importAsNewSheet(
        path, kMaxMidiFileBytes,
        [](std::string_view data, SheetDocument& s) { return importMidiData(data, s); }, sheet);
}

bool hasMidiFileName(std::string_view path)
{
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return false;
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == "mid" || ext == "midi" || ext == "smf";
}

bool looksLikeMidiData(std::string_view firstBytes)
{
    return firstBytes.substr(0, 4) == "MThd" ||
           (firstBytes.size() >= 12 && firstBytes.substr(0, 4) == "RIFF" &&
            firstBytes.substr(8, 4) == "RMID");
}

bool isMidiFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    char head[12] = {};
    in.read(head, sizeof head);
    const std::string_view first(head, static_cast<std::size_t>(in.gcount()));
    if (looksLikeMidiData(first))
        return true;
    // A document of the markup files (a sheet, a chord document) is not taken for a damaged
    // MIDI file because of its name.
    const auto text = first.find_first_not_of(" \t\r\n");
    if (text != std::string_view::npos && first[text] == '<')
        return false;
    return hasMidiFileName(path);
}

} // namespace tonvela
