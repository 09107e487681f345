// tonvela-cli render FILE -o OUT.wav: plays a sheet through the built-in synthesizer into a
// WAV file, faster than real time.

#include "cli/cli.h"

#include "audio/wave_file.h"
#include "playback/clip_slots.h"
#include "playback/offline_render.h"
#include "score/play_time.h"
#include "score/sheet_document.h"

#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace tonvela::cli {
namespace {

constexpr const char* kUsage =
    "Audio (.wav): plays the sheet through the built-in synthesizer into a 16-bit stereo\n"
    "WAV file at 44100 Hz, faster than real time and with exact timing.\n"
    "  --all        every track together (the default)\n"
    "  --track N    track N alone (numbered from 1)\n"
    "  --events     the MIDI events recorded when a MIDI file was imported\n";

void drawBar(int64_t done, int64_t total)
{
    constexpr int kWidth = 40;
    const int filled = total > 0 ? static_cast<int>(done * kWidth / total) : kWidth;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kWidth, '.');
    std::fprintf(stderr, "\r[%s] %s / %s", bar.c_str(), formatPlayTime(done).c_str(),
                 formatPlayTime(total).c_str());
    std::fflush(stderr);
}

int renderWav(const std::string& in, const std::string& out, const Args& args)
{
    if (const auto bad = args.unknown({"output", "track", "all", "events"}); !bad.empty())
        return fail("unknown option --" + bad.front() + " for a .wav file (see 'tonvela-cli render --help')");
    if ((args.has("track") ? 1 : 0) + (args.has("all") ? 1 : 0) + (args.has("events") ? 1 : 0) > 1)
        return fail("choose one of --track N, --all and --events");
    std::string error;
    std::unique_ptr<SheetDocument> sheet = openSheet(in, error);
    if (!sheet)
        return fail(error);

    RenderOptions options;
    options.mode = args.has("events") ? PlayMode::Events : PlayMode::All;
    if (args.has("track")) {
        int n = 0;
        if (!args.intValue("track", n, error))
            return fail(error);
        if (n < 1 || n > sheet->trackCount())
            return fail("--track " + std::to_string(n) + ": the sheet has " +
                        std::to_string(sheet->trackCount()) + " tracks (numbered from 1)");
        options.mode = PlayMode::Track;
        options.track = n - 1;
    }
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    if (terminal)
        options.progress = drawBar;
    // Audio clip notes play their files and are mixed in where their notes start.
    const RenderedAudio audio = renderSheetWithClips(*sheet, options);
    if (terminal)
        std::fputc('\n', stderr);
    if (!audio.ok)
        return fail("cannot render \"" + in + "\": " + audio.error);
    if (const FileResult r = audio::writeWav(out, audio.samples, 2, audio.sampleRate); !r)
        return fail(r.error);
    return 0;
}

const RendererRegistration kWav{{".wav", {"track"}, kUsage, renderWav}};

} // namespace
} // namespace tonvela::cli
