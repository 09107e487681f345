#include "playback/midi_file_writer.h"

#include "playback/midi_port.h"
#include "score/loop_rule.h"
#include "score/measure_repeat.h"
#include "score/play_time.h"
#include "score/sheet_document.h"
#include "score/tie_rule.h"
#include "score/track.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tonvela {
namespace {

constexpr uint32_t kMaxDelta = 0x0FFFFFFF; // the largest variable-length quantity

int64_t scaleTicks(int64_t ticks, int tempo)
{
    // The same factor and rounding playback uses for milliseconds (a half added, truncated).
    // NOLINTNEXTLINE(bugprone-incorrect-roundings)
    return static_cast<int64_t>(static_cast<double>(ticks) / tempoFactor(tempo) + 0.5);
}

// A stop offset (milliseconds, not scaled by the tempo) in written ticks: the file plays at
// 120 beats per minute, 96 ticks to 500 ms.
int64_t offsetTicks(int32_t ms)
{
    return static_cast<int64_t>(std::llround(static_cast<double>(ms) * kWriterDivision / 500.0));
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

void writeTrackChunk(const Track& track, const TrackExport& ex, std::string& out)
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

bool buildTrackExport(const Track& track, TrackExport& out, std::string& error)
{
    out = TrackExport{};
    LoopState loop;
    MeasureRepeatState repeat;
    // Divided here from the notes as they are: writing needs no layout to have run.
    MeasureDivision measures;
    measures.divide(track);
    // Where the next note starts, in ticks before the tempo is folded in: every start and end is
    // scaled from the running sum, so rounding never adds up along the track.
    int64_t s120 = 0;
    int ordinal = 0;
    int i = 0;
    auto addNote = [&](const Note& n, int index, int64_t start, int64_t length, bool isRoot) {
        ExportEvent on;
        on.on = true;
        on.tick = start;
        on.noteIndex = index;
        on.ordinal = ordinal;
        if (n.isRest()) {
            if (!isRoot)
                return;
            on.rest = true;
            out.events.push_back(on);
            return;
        }
        const std::optional<int> key = playableKey(n, track);
        if (!key)
            return;
        on.key = *key;
        on.volume = std::clamp(n.volume, 0, 127);
        on.pan = std::clamp(n.pan, 0, 127);
        on.program = std::clamp(n.iid, 0, 127);
        out.events.push_back(on);
        // The sound lasts the note's length and its stop offset, as playback sounds it.
        ExportEvent off = on;
        off.on = false;
        off.tick = std::max(start, start + length + offsetTicks(n.dwStopOffset));
        out.events.push_back(off);
    };

    while (i >= 0 && i <= track.count) {
        // The repeat rule sees every index the walk reaches, marks and the end of the track
        // included, as playback applies it.
        i = applyMeasureRepeat(track, measures, i, repeat);
        if (i >= track.count)
            break;
        const Note& n = track.noteAt(i);
        if (!isDurationType(n.type) || n.isChordMember()) {
            ++i;
            continue;
        }
        if (++out.notes > kMaxWrittenNotesPerTrack) {
            error = "a track plays more than " + std::to_string(kMaxWrittenNotesPerTrack) +
                    " notes with its loops and repeats, too many to write";
            return false;
        }

        // Tied notes of the same pitch sound as one.
        int64_t ticks = n.lengthTicks();
        int u = i;
        int v = track.nextRoot(u);
        int merged = 0;
        while (v < track.count && merged < kMaxTieMerge && tieMerges(track.noteAt(u), track.noteAt(v)) &&
               !tieCrossesRepeat(track, measures, u, v)) {
            ticks += track.noteAt(v).lengthTicks();
            u = v;
            v = track.nextRoot(v);
            ++merged;
        }
        const int64_t start = scaleTicks(s120, track.tempo);
        addNote(n, i, start, scaleTicks(s120 + ticks, track.tempo) - start, true);
        // A chord whose root is a rest plays as a rest: playback sounds none of its members.
        for (int k = 0; k < n.childCount && k < kMaxChordMembers && !n.isRest(); ++k) {
            const int m = n.children[k];
            if (m <= i || m >= track.count)
                continue;
            const Note& member = track.noteAt(m);
            addNote(member, m, start, scaleTicks(s120 + member.lengthTicks(), track.tempo) - start, false);
        }
        ++ordinal;
        s120 += ticks;

        bool jumped = false;
        const int next = applyLoopRule(track, i, loop, &jumped);
        i = (jumped || next < 1 || merged == 0) ? next : v;
    }
    out.endTick = scaleTicks(s120, track.tempo);
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
    TrackExport ex;
    for (std::size_t k = 0; k < tracks.size(); ++k) {
        if (!buildTrackExport(*tracks[k], ex, error)) {
            std::string where = "track ";
            where += std::to_string((trackIndex == kAllTracks ? static_cast<int>(k) : trackIndex) + 1);
            where += ": ";
            error.insert(0, where);
            out.clear();
            return false;
        }
        writeTrackChunk(*tracks[k], ex, out);
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

} // namespace tonvela
