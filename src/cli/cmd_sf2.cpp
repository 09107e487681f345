// tonvela-cli sf2: shows a SoundFont 2 bank's sound engine name and sample headers, and plays
// one of its samples.

#include "cli/cli.h"

#include "audio/sound_bank.h"
#include "audio/sound_engine.h"
#include "devices/alsa_sink.h"
#include "platform/audio_sink.h"
#include "platform/notifier.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

namespace tonvela::cli {
namespace {

const char* kUsage =
    "Usage: tonvela-cli sf2 FILE.sf2 [--play N] [--null]\n"
    "\n"
    "Prints the bank's sound engine name and every sample header (the terminal record\n"
    "included): index, name, start, end, loop start, loop end, rate, root key, correction,\n"
    "link and type.\n"
    "\n"
    "  --play N   then plays sample N once and waits until it has played\n"
    "  --null     play through the silent real-time output even when a sound device exists\n";

int runSf2(const std::vector<std::string>& words)
{
    if (wantsHelp(words, kUsage))
        return 0;
    const Args args = Args::parse(words, {"play"});
    if (!args.error.empty())
        return fail(args.error);
    if (const auto bad = args.unknown({"play", "null"}); !bad.empty())
        return fail("unknown option --" + bad.front() + " (see 'tonvela-cli sf2 --help')");
    if (args.positional.size() != 1)
        return fail("sf2 needs one FILE (see 'tonvela-cli sf2 --help')");
    int play = -1;
    std::string error;
    if (args.has("play") && !args.intValue("play", play, error))
        return fail(error);

    const std::string path = args.positional[0];
    StderrNotifier notifier;
    audio::SoundBank bank;
    const LoadResult loaded = bank.load(path, notifier);
    if (loaded.status == LoadStatus::Unreadable)
        return fail("cannot open \"" + path + "\"");
    if (!loaded.ok())
        return fail("cannot read \"" + path + "\": " + loaded.error);

    std::cout << "Engine: " << bank.engineName << "\n";
    std::cout << "Sample data: " << bank.sampleDataSize() << " bytes\n";
    std::cout << "Samples: " << bank.samples.size() << "\n";
    for (std::size_t i = 0; i < bank.samples.size(); ++i) {
        const audio::SampleHeader& h = bank.samples[i];
        std::printf("%4zu %-20s %u %u %u %u %u %u %d %u %u\n", i, h.name.c_str(), h.start, h.end, h.startLoop,
                    h.endLoop, h.sampleRate, static_cast<unsigned>(h.originalPitch),
                    static_cast<int>(h.pitchCorrection), static_cast<unsigned>(h.sampleLink),
                    static_cast<unsigned>(h.sampleType));
    }
    std::fflush(stdout);
    if (play < 0 && !args.has("play"))
        return 0;

    const unsigned char* bytes = nullptr;
    std::size_t length = 0;
    if (!bank.sampleBytes(play, bytes, length))
        return fail("the bank has no playable sample " + std::to_string(play) + " (it has " +
                    std::to_string(bank.samples.size()) + " headers)");
    AudioSink::Format format;
    auto sink = args.has("null") ? createNullSink() : openDefaultSink(format);
    if (args.has("null"))
        sink->open(format);
    audio::SoundEngine engine(notifier);
    if (engine.initAudio(std::move(sink)) != 0)
        return fail("the sound output could not start");
    const int slot = bank.playSample(engine, play);
    while (engine.streamActive(slot))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const bool never = engine.finished(slot);
    engine.shutdown();
    if (never)
        return fail("sample " + std::to_string(play) + " could not be played");
    std::cout << "Played sample " << play << " (" << bank.samples[static_cast<std::size_t>(play)].name
              << ")\n";
    return 0;
}

const CommandRegistration kSf2{{"sf2", "show a SoundFont 2 bank's samples and play one", kUsage, runSf2}};

} // namespace
} // namespace tonvela::cli
