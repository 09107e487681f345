// Import of a 1 MB Standard MIDI File of 16 tracks and 120 000 notes (running status, chords,
// expression changes, drums, several tempos); `midi_bench --write-large-file=PATH` writes it,
// so that bench/midi_import_vs_midicsv.sh can time and weigh the whole `tonvela-cli info`
// process on it beside midicsv. Import of a Standard MIDI File of about 1 MB (150 000 events
// over 16 tracks), import of a file of 6 tracks of 10 000 notes each (held notes under running
// sixteenths, chords, a tempo change), and export of the largest sheet (15 tracks of 4000 notes
// with chords and loops) as a MIDI file.

#include "bench_sheets.h"

#include "platform/atomic_file.h"
#include "playback/midi_file_reader.h"
#include "playback/midi_file_writer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
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

// 16 tracks of 7500 notes each, 120 000 in all, about 1 MB: lone notes and three-note chords
// of lengths from a sixteenth to a half, note-offs as note-ons of velocity 0 under running
// status as sequencers write them, expression changes between them, drums on channel 9, and a
// change among three tempos every 512 quarters.
std::string makeMegabyteSmf()
{
    constexpr int kTracks = 16;
    constexpr int kNotesPerTrack = 7500;
    constexpr uint32_t kDivision = 480;
    std::string file = "MThd";
    put32(file, 6);
    file += std::string("\0\1\0", 3);
    file.push_back(static_cast<char>(kTracks));
    file.push_back(static_cast<char>(kDivision >> 8));
    file.push_back(static_cast<char>(kDivision & 0xFF));
    unsigned seed = 2024;
    auto rnd = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int t = 0; t < kTracks; ++t) {
        std::string data;
        const int ch = t == 9 ? 9 : t % 16;
        putVlq(data, 0);
        data += std::string("\xFF\x03\x04Part", 7);
        putVlq(data, 0);
        data.push_back(static_cast<char>(0xC0 | ch));
        data.push_back(static_cast<char>(t * 7 % 128));
        int notes = 0;
        uint32_t pending = 0; // ticks since the last event written
        uint32_t sinceTempo = 0;
        bool status = false;
        while (notes < kNotesPerTrack) {
            if (t == 0 && sinceTempo >= 512 * kDivision) {
                // One of three tempos.
                const uint32_t us = 60'000'000u / (96u + 24u * (rnd() % 3u));
                putVlq(data, pending);
                data += std::string("\xFF\x51\x03", 3);
                data.push_back(static_cast<char>(us >> 16));
                data.push_back(static_cast<char>(us >> 8));
                data.push_back(static_cast<char>(us));
                pending = 0;
                sinceTempo = 0;
                status = false;
            }
            if (rnd() % 2 == 0) {
                // An expression change, which breaks the running status of the notes.
                putVlq(data, pending);
                data.push_back(static_cast<char>(0xB0 | ch));
                data.push_back(11);
                data.push_back(static_cast<char>(64 + rnd() % 64));
                pending = 0;
                status = false;
            }
            const int chord = (ch == 9 || rnd() % 3 != 0) ? 1 : 3;
            const int base = ch == 9 ? 35 + static_cast<int>(rnd() % 12) : 48 + static_cast<int>(rnd() % 24);
            for (int k = 0; k < chord && notes < kNotesPerTrack; ++k, ++notes) {
                putVlq(data, k == 0 ? pending : 0);
                if (!status)
                    data.push_back(static_cast<char>(0x90 | ch));
                status = true;
                data.push_back(static_cast<char>(base + 4 * k));
                data.push_back(static_cast<char>(64 + rnd() % 64));
            }
            const uint32_t len = kDivision / 4 * (1u + rnd() % 8);
            for (int k = 0; k < chord; ++k) {
                putVlq(data, k == 0 ? len : 0);
                data.push_back(static_cast<char>(base + 4 * k));
                data.push_back(0);
            }
            pending = rnd() % 4 == 0 ? kDivision / 2 : 0;
            sinceTempo += len + pending;
        }
        putVlq(data, 0);
        data += std::string("\xFF\x2F\x00", 3);
        file += "MTrk";
        put32(file, static_cast<uint32_t>(data.size()));
        file += data;
    }
    return file;
}

void BM_ImportMegabyteOf120000Notes(benchmark::State& state)
{
    const std::string smf = makeMegabyteSmf();
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
BENCHMARK(BM_ImportMegabyteOf120000Notes)->Unit(benchmark::kMillisecond);

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

int main(int argc, char** argv)
{
    // --write-large-file=PATH: only write the 1 MB file for the whole-process comparison.
    const std::string option = "--write-large-file=";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind(option, 0) == 0) {
            const std::string smf = makeMegabyteSmf();
            const FileResult res = writeFileAtomically(arg.substr(option.size()), smf);
            if (!res) {
                std::fprintf(stderr, "%s\n", res.error.c_str());
                return 1;
            }
            std::printf("%zu bytes\n", smf.size());
            return 0;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
