// Import of a Standard MIDI File of about 1 MB (150 000 events over 16 tracks), import of a
// file of 6 tracks of 10 000 notes each (held notes under running sixteenths, chords, a tempo
// change), and export of the largest sheet (15 tracks of 4000 notes with chords and loops) as a
// MIDI file.

#include "bench_sheets.h"

#include "playback/midi_file_reader.h"
#include "playback/midi_file_writer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace tonvela;

namespace {

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

// 16 tracks of melody and chords with volume changes, lyrics, silences and drums.
std::string makeLargeSmf(int tracks = 16, int eventsPerTrack = 9375)
{
    std::string file = "MThd";
    put32(file, 6);
    file += std::string("\0\1", 2);
    file.push_back(0);
    file.push_back(static_cast<char>(tracks));
    file += std::string("\x01\xE0", 2); // 480 ticks per quarter
    unsigned seed = 12345;
    auto rnd = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int t = 0; t < tracks; ++t) {
        std::string data;
        const int ch = t == 9 ? 9 : t % 16;
        putVlq(data, 0);
        data += std::string("\xFF\x03\x05Track", 8);
        int events = 0;
        while (events < eventsPerTrack) {
            if (rnd() % 16 == 0) {
                putVlq(data, 0);
                data.push_back(static_cast<char>(0xB0 | ch));
                data.push_back(7);
                data.push_back(static_cast<char>(rnd() % 128));
                ++events;
                continue;
            }
            const int notes = 1 + static_cast<int>(rnd() % 3); // lone notes and chords
            const int base = 48 + static_cast<int>(rnd() % 24);
            for (int k = 0; k < notes; ++k) {
                putVlq(data, k == 0 ? (rnd() % 4 == 0 ? 480 : 0) : 10);
                data.push_back(static_cast<char>(0x90 | ch));
                data.push_back(static_cast<char>(base + 4 * k));
                data.push_back(static_cast<char>(64 + rnd() % 64));
            }
            // A lyric per chord, as karaoke files carry them.
            putVlq(data, 0);
            data += std::string("\xFF\x05\x0C", 3);
            data += "la-la-la-la-";
            ++events;
            const uint32_t len = 120u * (1u + rnd() % 8);
            for (int k = 0; k < notes; ++k) {
                putVlq(data, k == 0 ? len : 0);
                data.push_back(static_cast<char>(0x80 | ch));
                data.push_back(static_cast<char>(base + 4 * k));
                data.push_back(64);
            }
            events += 2 * notes;
        }
        putVlq(data, 0);
        data += std::string("\xFF\x2F\x00", 3);
        file += "MTrk";
        put32(file, static_cast<uint32_t>(data.size()));
        file += data;
    }
    return file;
}

void BM_ImportLargeMidiFile(benchmark::State& state)
{
    const std::string smf = makeLargeSmf();
    int notes = 0;
    for (auto _ : state) {
        SheetDocument sheet;
        const LoadResult res = importMidiData(smf, sheet);
        if (!res.ok())
            state.SkipWithError(res.error.c_str());
        notes = 0;
        for (int t = 0; t < sheet.trackCount(); ++t)
            notes += sheet.trackAt(t)->count;
        benchmark::DoNotOptimize(notes);
    }
    state.counters["fileBytes"] = static_cast<double>(smf.size());
    state.counters["sheetNotes"] = notes;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(smf.size()));
}
BENCHMARK(BM_ImportLargeMidiFile)->Unit(benchmark::kMillisecond);

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

void BM_ImportSixTracksOfTenThousandNotes(benchmark::State& state)
{
    const std::string smf = makeSixTracksOfTenThousandNotes();
    int notes = 0;
    for (auto _ : state) {
        SheetDocument sheet;
        const LoadResult res = importMidiData(smf, sheet);
        if (!res.ok())
            state.SkipWithError(res.error.c_str());
        notes = 0;
        for (int t = 0; t < sheet.trackCount(); ++t)
            notes += sheet.trackAt(t)->count;
        benchmark::DoNotOptimize(notes);
    }
    state.counters["fileBytes"] = static_cast<double>(smf.size());
    state.counters["sheetNotes"] = notes;
}
BENCHMARK(BM_ImportSixTracksOfTenThousandNotes)->Unit(benchmark::kMillisecond);

void BM_ExportLargestSheetToMidiBytes(benchmark::State& state)
{
    auto sheet = bench::makeLargestSheet();
    std::string out, error;
    for (auto _ : state) {
        if (!midiFileBytes(*sheet, kAllTracks, out, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["fileBytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_ExportLargestSheetToMidiBytes)->Unit(benchmark::kMillisecond);

void BM_ExportLargestSheetToMidiFile(benchmark::State& state)
{
    auto sheet = bench::makeLargestSheet();
    const std::string path = (std::filesystem::temp_directory_path() / "tonvela_bench_export.mid").string();
    for (auto _ : state) {
        const FileResult res = writeMidiFile(*sheet, path);
        if (!res)
            state.SkipWithError(res.error.c_str());
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ExportLargestSheetToMidiFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
