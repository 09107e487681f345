#include "bench_sheets.h"

#include "platform/memory_policy.h"
#include "score/track.h"

#include <algorithm>
#include <vector>

namespace tonvela::bench {

namespace {
// The benchmarks measure the core as the programs run it, under their allocator policy.
[[maybe_unused]] const bool kMemoryPolicy = keepFreedMemoryForReuse();
} // namespace

std::unique_ptr<SheetDocument> makeLargestSheet(int tracks, int notesPerTrack)
{
    auto sheet = std::make_unique<SheetDocument>();
    sheet->setTrackCount(tracks);
    static constexpr int kTypes[] = {kTypeQuarter,   kTypeEighth,    kTypeEighth,  kTypeHalf,
                                     kTypeSixteenth, kTypeSixteenth, kTypeQuarter, kTypeWhole};
    for (int t = 0; t < tracks; ++t) {
        Track& track = *sheet->trackAt(t);
        track.iid = t * 8;
        int i = 0;
        int root = -1;
        int k = 0;
        while (i < notesPerTrack) {
            Note& n = track.noteAt(i);
            n = Note();
            if (i % 33 == 32) {
                n.type = kTypeBar;
            } else {
                n.type = kTypes[k % 8];
                n.setStaffPosition((k * 5) % 14 - 6);
                if (k % 16 == 15)
                    n.dwFlag |= kFlagRest;
                if (k % 8 == 0 && i + 2 < notesPerTrack) {
                    root = i;
                } else if (root >= 0 && i - root <= 2) {
                    n.chordparent = static_cast<int16_t>(root);
                }
                if (k % 4 == 0)
                    n.setLyric("la" + std::to_string(k % 100));
                n.iid = track.iid;
                ++k;
            }
            ++i;
        }
        track.count = notesPerTrack;
        Note& loopNote = track.noteAt(notesPerTrack / 2);
        loopNote.loopTo = notesPerTrack / 2 - 40;
        loopNote.loopCount = 1;
        track.rebuildChordLists();
    }
    return sheet;
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
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(static_cast<char>((v >> s) & 0xFF));
}

// 6 tracks of 10 000 note-ons each at 480 ticks per quarter: sixteenths over notes held for a
// half measure and three-note chords, as a piano part plays them; the conductor track changes
// tempo every 64 beats.
std::string makeSixTracksOfTenThousandNotes()
{
    constexpr int kTracks = 6;
    constexpr int kNotes = 10000;
    std::string file = "MThd";
    put32(file, 6);
    file += std::string("\0\1\0", 3);
    file.push_back(static_cast<char>(kTracks + 1));
    file += std::string("\x01\xE0", 2);
    std::string conductor;
    for (int k = 0; k < 64; ++k) {
        putVlq(conductor, k == 0 ? 0 : 64 * 480);
        const uint32_t us = k % 2 ? 500000 : 450000;
        conductor += std::string("\xFF\x51\x03", 3);
        conductor.push_back(static_cast<char>(us >> 16));
        conductor.push_back(static_cast<char>(us >> 8));
        conductor.push_back(static_cast<char>(us));
    }
    putVlq(conductor, 0);
    conductor += std::string("\xFF\x2F\x00", 3);
    file += "MTrk";
    put32(file, static_cast<uint32_t>(conductor.size()));
    file += conductor;
    for (int t = 0; t < kTracks; ++t) {
        struct Ev {
            uint32_t tick;
            int on;
            int key;
        };
        std::vector<Ev> evs;
        uint32_t tick = 0;
        int made = 0;
        for (int i = 0; made < kNotes; ++i) {
            const int base = 40 + (i * 7 + t * 5) % 24;
            if (i % 8 == 0) { // a held bass note and a chord above it
                evs.push_back({tick, 1, base});
                evs.push_back({tick + 960, 0, base});
                for (int k = 1; k < 3 && made + 3 < kNotes; ++k) {
                    evs.push_back({tick + 3, 1, base + 12 + 3 * k});
                    evs.push_back({tick + 400, 0, base + 12 + 3 * k});
                }
                made += 3;
            } else {
                evs.push_back({tick, 1, base + 24});
                evs.push_back({tick + 110, 0, base + 24});
                ++made;
            }
            tick += 120;
        }
        std::stable_sort(evs.begin(), evs.end(), [](const Ev& a, const Ev& b) {
            return a.tick != b.tick ? a.tick < b.tick : a.on < b.on;
        });
        std::string data;
        uint32_t last = 0;
        for (const Ev& e : evs) {
            putVlq(data, e.tick - last);
            data.push_back(static_cast<char>(e.on ? 0x90 | t : 0x80 | t));
            data.push_back(static_cast<char>(e.key));
            data.push_back(static_cast<char>(e.on ? 90 : 64));
            last = e.tick;
        }
        putVlq(data, 0);
        data += std::string("\xFF\x2F\x00", 3);
        file += "MTrk";
        put32(file, static_cast<uint32_t>(data.size()));
        file += data;
    }
    return file;
}

} // namespace tonvela::bench
