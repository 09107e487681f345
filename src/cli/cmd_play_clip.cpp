// tonvela-cli play-clip: plays one MP3 or wave file through a stream slot of the sound engine
// and waits until it has played out.

#include "cli/cli.h"

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
    "Usage: tonvela-cli play-clip FILE.mp3|FILE.wav [--null]\n"
    "\n"
    "Plays FILE through a stream slot of the sound engine on the default sound device and waits\n"
    "until it has played. Playback begins once two seconds are buffered (at once for shorter\n"
    "files). When no sound device opens, the file plays silently in real time.\n"
    "\n"
    "  --null   play through the silent real-time output even when a sound device exists\n";

bool isWave(const std::string& path)
{
    return extensionOf(path) == ".wav";
}

int runPlayClip(const std::vector<std::string>& words)
{
    if (wantsHelp(words, kUsage))
        return 0;
    const Args args = Args::parse(words, {});
    if (!args.error.empty())
        return fail(args.error);
    if (const auto bad = args.unknown({"null"}); !bad.empty())
        return fail("unknown option --" + bad.front() + " (see 'tonvela-cli play-clip --help')");
    if (args.positional.size() != 1)
        return fail("play-clip needs one FILE (see 'tonvela-cli play-clip --help')");
    const std::string path = args.positional[0];
    if (std::FILE* f = std::fopen(path.c_str(), "rb"))
        std::fclose(f);
    else
        return fail("cannot open \"" + path + "\"");

    AudioSink::Format format;
    std::string whyNull;
    auto sink = args.has("null") ? createNullSink() : openDefaultSink(format, &whyNull);
    if (args.has("null"))
        sink->open(format);
    const std::string sinkName = sink->name();
    StderrNotifier notifier;
    audio::SoundEngine engine(notifier);
    if (engine.initAudio(std::move(sink)) != 0)
        return fail("the sound output could not start");
    if (!whyNull.empty())
        std::cerr << "tonvela-cli: no sound device (" << whyNull << "); playing silently\n";

    const auto started = std::chrono::steady_clock::now();
    const int slot = isWave(path) ? engine.startWave(path) : engine.startClip(path);
    std::cout << "Playing " << path << " in slot " << slot << " through " << sinkName << std::endl;
    bool played = false;
    while (engine.streamActive(slot)) {
        played = played || engine.playing(slot);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const bool never = engine.finished(slot);
    engine.shutdown();
    if (never)
        return fail("\"" + path + "\" holds no audio that can be played");
    char line[64];
    std::snprintf(line, sizeof line, "%.1f", seconds);
    std::cout << "Played " << path << " (" << line << " s)" << std::endl;
    return 0;
}

const CommandRegistration kPlayClip{
    {"play-clip", "play an MP3 or wave file through a sound engine slot", kUsage, runPlayClip}};

} // namespace
} // namespace tonvela::cli
