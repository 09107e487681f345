// tonvela-cli play: plays a sheet or a MIDI file in real time through a MIDI device.

#include "cli/cli.h"

#include "score/play_time.h"

#include "platform/clock.h"
#include "platform/midi_output.h"
#include "platform/notifier.h"
#include "playback/audio_system.h"
#include "playback/playback_driver.h"
#include "score/sheet_document.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <unistd.h>

namespace tonvela::cli {
namespace {

const char* kUsage =
    "Usage: tonvela-cli play FILE [--track N | --all | --events] [--device N] [--print]\n"
    "\n"
    "Plays a sheet (.shd) or a MIDI file in real time and shows the time played, as\n"
    "\"00:03 / 01:15\". Ctrl+C stops at once with every note silenced.\n"
    "\n"
    "  --all        every track together (the default)\n"
    "  --track N    track N alone (numbered from 1)\n"
    "  --events     every track from the MIDI events recorded when a MIDI file was imported\n"
    "  --device N   MIDI device N as 'tonvela-cli devices' lists it (default 0, the built-in\n"
    "               synthesizer)\n"
    "  --print      also print every MIDI message with its time\n";

std::atomic<bool> g_interrupted{false};

void onInterrupt(int)
{
    g_interrupted.store(true);
}

// Prints the progress line: on a terminal it is rewritten in place, otherwise one line per
// second of playback.
class ProgressLine : public PlaybackView {
  public:
    explicit ProgressLine(bool terminal) : m_terminal(terminal) {}
    void progress(const Progress& p, int64_t /*atUs*/) override
    {
        const std::string line = formatPlayTime(p.elapsedMs) + " / " + formatPlayTime(p.totalMs);
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (line == m_last)
            return;
        m_last = line;
        if (m_terminal)
            std::printf("\r%s", line.c_str());
        else
            std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    void finish()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_terminal && !m_last.empty())
            std::printf("\n");
        std::fflush(stdout);
    }

  private:
    bool m_terminal;
    std::mutex m_mutex;
    std::string m_last;
};

// Passes every message on and prints it with its time since the start.
class PrintingMidiOutput : public MidiOutput {
  public:
    PrintingMidiOutput(MidiOutput& target, const Clock& clock) : m_target(target), m_clock(clock) {}
    int deviceCount() const override { return m_target.deviceCount(); }
    std::string deviceName(int device) const override { return m_target.deviceName(device); }
    bool open(int device) override
    {
        m_originUs = m_clock.nowUs();
        return m_target.open(device);
    }
    bool isOpen() const override { return m_target.isOpen(); }
    void close() override { m_target.close(); }
    void sendShortMessage(uint32_t message) override
    {
        print(message, m_clock.nowUs());
        m_target.sendShortMessage(message);
    }
    void sendShortMessageAt(uint32_t message, int64_t clockUs) override
    {
        print(message, clockUs);
        m_target.sendShortMessageAt(message, clockUs);
    }
    void setVolume(uint32_t leftRight) override { m_target.setVolume(leftRight); }

  private:
    void print(uint32_t message, int64_t atUs)
    {
        const char* kind = "message";
        switch (statusOf(message) & 0xF0) {
        case 0x80:
            kind = "note off";
            break;
        case 0x90:
            kind = "note on";
            break;
        case 0xB0:
            kind = "control";
            break;
        case 0xC0:
            kind = "program";
            break;
        default:
            break;
        }
        const double ms = static_cast<double>(atUs - m_originUs) / 1000.0;
        std::printf("midi %10.1f ms  %-8s ch %2d  %3d %3d\n", ms, kind, statusOf(message) & 0x0F,
                    data1Of(message), data2Of(message));
    }
    MidiOutput& m_target;
    const Clock& m_clock;
    int64_t m_originUs = 0;
};

bool parseMode(const Args& args, const SheetDocument& sheet, PlayMode& mode, int& track, std::string& error)
{
    const int chosen = (args.has("track") ? 1 : 0) + (args.has("all") ? 1 : 0) + (args.has("events") ? 1 : 0);
    if (chosen > 1) {
        error = "choose one of --track N, --all and --events";
        return false;
    }
    mode = args.has("events") ? PlayMode::Events : PlayMode::All;
    track = -1;
    if (args.has("track")) {
        int n = 0;
        if (!args.intValue("track", n, error))
            return false;
        if (n < 1 || n > sheet.trackCount()) {
            error = "--track " + std::to_string(n) + ": the sheet has " + std::to_string(sheet.trackCount()) +
                    " tracks (numbered from 1)";
            return false;
        }
        mode = PlayMode::Track;
        track = n - 1;
    }
    if (mode == PlayMode::Events) {
        bool anyEvents = false;
        for (int t = 0; t < sheet.trackCount(); ++t)
            anyEvents = anyEvents || !sheet.trackAt(t)->events.empty();
        if (!anyEvents) {
            error = "--events: the sheet has no recorded MIDI events (they come from importing a MIDI file)";
            return false;
        }
    }
    return true;
}

int runPlay(const std::vector<std::string>& words)
{
    if (wantsHelp(words, kUsage))
        return 0;
    const Args args = Args::parse(words, {"track", "device"});
    if (!args.error.empty())
        return fail(args.error);
    if (const auto bad = args.unknown({"track", "all", "events", "device", "print"}); !bad.empty())
        return fail("unknown option --" + bad.front() + " (see 'tonvela-cli play --help')");
    if (args.positional.size() != 1)
        return fail("play needs one FILE (see 'tonvela-cli play --help')");

    std::string error;
    std::unique_ptr<SheetDocument> sheet = openSheet(args.positional[0], error);
    if (!sheet)
        return fail(error);
    PlayMode mode = PlayMode::All;
    int track = -1;
    if (!parseMode(args, *sheet, mode, track, error))
        return fail(error);
    if (track >= 0)
        sheet->selectedTrack = track;
    int device = 0;
    if (args.has("device") && !args.intValue("device", device, error))
        return fail(error);

    SteadyClock clock;
    StderrNotifier notifier;
    // One sound output carries the synthesizer and the audio clip notes.
    AudioSystem sound(notifier, clock);
    MidiOutput* const system = &sound.midiOutput();
    ClipSlots& clips = sound.clipSlots();
    if (device < 0 || device >= system->deviceCount())
        return fail("--device " + std::to_string(device) + ": there are " +
                    std::to_string(system->deviceCount()) + " MIDI devices (see 'tonvela-cli devices')");
    PrintingMidiOutput printing(*system, clock);
    MidiOutput& output = args.has("print") ? static_cast<MidiOutput&>(printing) : *system;

    ProgressLine line(::isatty(STDOUT_FILENO) == 1);
    PlaybackDriver driver(output, notifier, clock, clips, &line);

    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction oldInt {
    }, oldTerm{};
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);

    int code = 0;
    if (!driver.play(*sheet, mode, device)) {
        code = 1;
        if (!system->isOpen() && sheet->trackCount() > 0)
            std::cerr << "tonvela-cli: nothing was played\n";
    } else {
        while (!driver.wait(20'000)) {
            if (g_interrupted.load()) {
                driver.stop();
                line.finish();
                std::printf("Stopped.\n");
                code = 130;
                break;
            }
        }
    }
    if (code != 130)
        line.finish();
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    return code;
}

const CommandRegistration kPlay{{"play", "play a sheet or MIDI file through a MIDI device", kUsage, runPlay}};

} // namespace
} // namespace tonvela::cli
