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

using bench::put32;
using bench::putVlq;

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

void BM_ImportSixTracksOfTenThousandNotes(benchmark::State& state)
{
    const std::string smf = bench::makeSixTracksOfTenThousandNotes();
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
