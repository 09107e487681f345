#include "playback/midi_file_writer.h"

#include "playback/midi_port.h"
#include "score/export_formats.h"
#include "score/play_walk.h"
#include "score/sheet_document.h"
#include "score/time_signature.h"
#include "score/track.h"
#include "theory/key_signature.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tonvela {
namespace {

constexpr uint32_t kMaxDelta = 0x0FFFFFFF; // the largest variable-length quantity
// The tempos a Set Tempo event can hold in whole beats per minute: at most 0xFFFFFF us to the
// quarter note (about 3.6 bpm), at least 1 us.
constexpr int kMinFileTempo = 4;
constexpr int kMaxFileTempo = 60'000'000;

struct SheetMeta {
    int tempo = 120;
    int timeSigCode = 0;
    int keyIndex = -1; // a row of the key table; -1 writes no key (a drum track)
};

int clampedTempo(int tempo)
{
    return std::clamp(tempo, 1, kMaxFileTempo);
}

// A place in the score (duration.h) as a tick of the written file: 96 to the quarter note at
// the file's tempo. A track at another tempo is timed against it (a quarter note of a track at
// half the file's tempo is 192 ticks), so it sounds at its own speed. Rounded once from the
// exact place, so roundings never add up along the track.
int64_t fileTick(Ticks at, int tempo, int fileTempo)
{
    // at / kQuarterTicks quarters, each 96 file ticks at the file's tempo, fileTempo / tempo
    // of that at the track's.
    const int64_t num = int64_t{kWriterDivision} * clampedTempo(fileTempo);
    const int64_t den = kQuarterTicks * clampedTempo(tempo);
    at = std::max<Ticks>(at, 0);
    return (at * num + den / 2) / den;
}

// A stop offset (milliseconds of real time, whatever the tempo) in written ticks at the file's
// tempo: 96 ticks to 60 000 / fileTempo ms.
int64_t offsetTicks(int32_t ms, int fileTempo)
{
    return static_cast<int64_t>(
        std::llround(static_cast<double>(ms) * kWriterDivision * clampedTempo(fileTempo) / 60000.0));
}

// A note on of a key that still sounds first ends the sound before it, as playback does, and
// the earlier note's own note off, which would end the new note, is dropped.
void releaseRepeatedKeys(std::vector<ExportEvent>& events)
{
    struct Holder {
        bool held = false;
        int noteIndex = 0;
        int ordinal = 0;
    };
    std::array<Holder, 128> holders{};
    std::vector<ExportEvent> out;
    out.reserve(events.size());
    for (const ExportEvent& e : events) {
        if (e.rest) {
            out.push_back(e);
            continue;
        }
        Holder& h = holders[static_cast<std::size_t>(e.key & 0x7F)];
        if (e.on) {
            if (h.held) {
                ExportEvent release = e;
                release.on = false;
                release.noteIndex = h.noteIndex;
                release.ordinal = h.ordinal;
                out.push_back(release);
            }
            h = {true, e.noteIndex, e.ordinal};
            out.push_back(e);
        } else if (h.held && h.noteIndex == e.noteIndex && h.ordinal == e.ordinal) {
            h.held = false;
            out.push_back(e);
        }
    }
    events = std::move(out);
}

void putVlq(std::string& out, uint32_t v)
{
    char buf[5];
    int n = 0;
    buf[4 - n++] = static_cast<char>(v & 0x7F);
    while ((v >>= 7) != 0)
        buf[4 - n++] = static_cast<char>(0x80 | (v & 0x7F));
    out.append(buf + 5 - n, static_cast<std::size_t>(n));
}

void put32(std::string& out, uint32_t v)
{
    out.push_back(static_cast<char>(v >> 24));
    out.push_back(static_cast<char>(v >> 16));
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
}

void put16(std::string& out, int v)
{
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
    out.push_back(static_cast<char>(v & 0xFF));
}

void putBytes(std::string& out, std::initializer_list<int> bytes)
{
    for (int b : bytes)
        out.push_back(static_cast<char>(b & 0xFF));
}

// The delta to an event; a gap too long for one quantity is bridged with empty text events.
void putDelta(std::string& out, int64_t delta)
{
    while (delta > kMaxDelta) {
        putVlq(out, kMaxDelta);
        putBytes(out, {0xFF, 0x01, 0x00});
        delta -= kMaxDelta;
    }
    putVlq(out, static_cast<uint32_t>(std::max<int64_t>(delta, 0)));
}

// The meta events that say what the sheet is: its meter, the key of its first track and the
// file's tempo, at the start of the first chunk.
void putSheetMetaEvents(std::string& out, const SheetMeta& meta)
{
    const TimeSignatureInfo& ts = timeSignatureInfo(meta.timeSigCode);
    int power = 0;
    while ((1 << power) < ts.beatUnit && power < 7)
        ++power;
    // Numerator, denominator as a power of two, MIDI clocks per beat, 32nds per quarter note.
    putBytes(out, {0x00, 0xFF, 0x58, 0x04, ts.beatsPerMeasure, power, 96 / ts.beatUnit, 8});
    // Sharps (positive) or flats (negative) of the key, and major (0): a key row of the sheet
    // names a major key and its relative minor alike.
    if (meta.keyIndex >= 0)
        putBytes(out, {0x00, 0xFF, 0x59, 0x02, kDefaultKeyIndex - meta.keyIndex, 0});
    const uint32_t usPerQuarter = static_cast<uint32_t>(60'000'000 / clampedTempo(meta.tempo));
    putBytes(out, {0x00, 0xFF, 0x51, 0x03, static_cast<int>(usPerQuarter >> 16),
                   static_cast<int>(usPerQuarter >> 8), static_cast<int>(usPerQuarter)});
}

void writeTrackChunk(const Track& track, const TrackExport& ex, const SheetMeta* meta, std::string& out)
{
    out += "MTrk";
    const std::size_t lengthAt = out.size();
    put32(out, 0);
    const std::size_t dataStart = out.size();

    // The track's name, as a track name event at its start.
    if (!track.name.empty()) {
        const std::string name = track.name.substr(0, kTrackNameCapacity);
        putBytes(out, {0x00, 0xFF, 0x03});
        putVlq(out, static_cast<uint32_t>(name.size()));
        out += name;
    }
    if (meta)
        putSheetMetaEvents(out, *meta);

    const int c = midiChannelOf(track);
    int64_t t0 = 0;
    for (const ExportEvent& e : ex.events) {
        if (e.on && e.rest) {
            // A rest sounds nothing; an empty text event carries its time.
            putDelta(out, e.tick - t0);
            putBytes(out, {0xFF, 0x01, 0x00});
        } else if (e.on) {
            putBytes(out, {0x00, kProgramChange | c, e.program});
            putBytes(out, {0x00, kControlChange | c, kControllerVolume, e.volume});
            putBytes(out, {0x00, kControlChange | c, kControllerPan, e.pan});
            putDelta(out, e.tick - t0);
            putBytes(out, {kNoteOn | c, e.key, kFullVelocity});
        } else {
            putDelta(out, e.tick - t0);
            putBytes(out, {kNoteOff | c, e.key, kFullVelocity});
        }
        t0 = e.tick;
    }
    // The end of the track comes when its last note or rest ends.
    putDelta(out, ex.endTick - t0);
    putBytes(out, {0xFF, 0x2F, 0x00});

    const uint32_t length = static_cast<uint32_t>(out.size() - dataStart);
    std::string len;
    put32(len, length);
    out.replace(lengthAt, 4, len);
}

} // namespace

bool buildTrackExport(const Track& track, TrackExport& out, std::string& error, int fileTempo)
{
    if (fileTempo <= 0)
        fileTempo = track.tempo;
    out = TrackExport{};
    // What the track plays, divided into measures from the notes as they are: writing needs no
    // layout to have run.
    PlayWalk walk(track);
    int ordinal = 0;
    auto addNote = [&](const Note& n, int index, int64_t start, int64_t length) {
        const std::optional<int> key = playableKey(n, track);
        if (!key)
            return;
        ExportEvent on;
        on.on = true;
        on.tick = start;
        on.noteIndex = index;
        on.ordinal = ordinal;
        on.key = *key;
        on.volume = std::clamp(n.volume, 0, 127);
        on.pan = std::clamp(n.pan, 0, 127);
        on.program = std::clamp(n.iid, 0, 127);
        out.events.push_back(on);
        // The sound lasts the note's length and its stop offset, as playback sounds it, and at
        // least one tick: a note off at its note on's tick is written before it, and the key
        // would sound to the end of the file.
        ExportEvent off = on;
        off.on = false;
        off.tick = std::max(start + 1, start + length + offsetTicks(n.dwStopOffset, fileTempo));
        out.events.push_back(off);
    };

    while (const std::optional<PlayStep> step = walk.next()) {
        if (step->kind != PlayKind::Sound && step->kind != PlayKind::Rest)
            continue;
        if (++out.notes > kMaxWrittenNotesPerTrack) {
            error = "a track plays more than " + std::to_string(kMaxWrittenNotesPerTrack) +
                    " notes with its loops and repeats, too many to write";
            return false;
        }
        const int64_t start = fileTick(step->start, track.tempo, fileTempo);
        if (step->kind == PlayKind::Rest) {
            ExportEvent rest;
            rest.on = true;
            rest.rest = true;
            rest.tick = start;
            rest.noteIndex = step->index;
            rest.ordinal = ordinal;
            out.events.push_back(rest);
        }
        // The root sounds through its tie chain, each chord member through the chords it is
        // tied to; the next note starts when the root's chain ends.
        forEachPlayedNote(track, *step, [&](const PlayedNote& p) {
            if (p.rest)
                return;
            const int64_t from = fileTick(step->start + p.offset, track.tempo, fileTempo);
            addNote(track.noteAt(p.index), p.index, from,
                    fileTick(step->start + p.offset + p.held, track.tempo, fileTempo) - from);
        });
        ++ordinal;
    }
    out.endTick = fileTick(walk.cursor().start, track.tempo, fileTempo);
    for (const ExportEvent& e : out.events)
        out.endTick = std::max(out.endTick, e.tick);
    std::stable_sort(out.events.begin(), out.events.end(), [](const ExportEvent& a, const ExportEvent& b) {
        if (a.tick != b.tick)
            return a.tick < b.tick;
        return !a.on && b.on;
    });
    releaseRepeatedKeys(out.events);
    return true;
}

bool midiFileBytes(const SheetDocument& sheet, int trackIndex, std::string& out, std::string& error)
{
    out.clear();
    std::vector<const Track*> tracks;
    if (trackIndex == kAllTracks) {
        for (int i = 0; i < sheet.trackCount(); ++i)
            tracks.push_back(sheet.trackAt(i));
    } else if (const Track* t = sheet.trackAt(trackIndex)) {
        tracks.push_back(t);
    } else {
        error = "the sheet has no track " + std::to_string(trackIndex + 1);
        return false;
    }
    if (tracks.empty()) {
        error = "the sheet has no tracks to write";
        return false;
    }
    if (tracks.size() > 0xFFFF) {
        error = "the sheet has too many tracks for a MIDI file";
        return false;
    }

    out += "MThd";
    put32(out, 6);
    put16(out, 1); // format 1: tracks that play together
    put16(out, static_cast<int>(tracks.size()));
    put16(out, kWriterDivision);
    // The file plays at the first track's tempo, meter and key; the other tracks are timed
    // against that tempo.
    SheetMeta meta;
    meta.tempo = std::clamp(tracks[0]->tempo, kMinFileTempo, kMaxFileTempo);
    meta.timeSigCode = sheet.timesig;
    meta.keyIndex = tracks[0]->percussive ? -1 : tracks[0]->keyindex;
    TrackExport ex;
    for (std::size_t k = 0; k < tracks.size(); ++k) {
        if (!buildTrackExport(*tracks[k], ex, error, meta.tempo)) {
            std::string where = "track ";
            where += std::to_string((trackIndex == kAllTracks ? static_cast<int>(k) : trackIndex) + 1);
            where += ": ";
            error.insert(0, where);
            out.clear();
            return false;
        }
        writeTrackChunk(*tracks[k], ex, k == 0 ? &meta : nullptr, out);
    }
    return true;
}

FileResult writeMidiFile(const SheetDocument& sheet, const std::string& path, int trackIndex)
{
    std::string bytes;
    std::string error;
    if (!midiFileBytes(sheet, trackIndex, bytes, error))
        return FileResult::failure("could not write \"" + path + "\": " + error);
    FileResult res = writeFileAtomically(path, bytes);
    if (!res)
        return FileResult::failure(res.error);
    return res;
}

void addMidiExportFormat(ExportFormats& formats)
{
    formats.add({"MIDI", kMidiExtension, kMidiFilter, true,
                 [](SheetDocument& sheet, const std::string& path, const ExportOptions& options) {
                     return writeMidiFile(sheet, path,
                                          options.track == kEveryTrack ? kAllTracks : options.track);
                 }});
}

} // namespace tonvela
