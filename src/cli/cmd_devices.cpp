// tonvela-cli devices: the MIDI output devices, numbered as the "MIDI Device:" list shows them.

#include "cli/cli.h"

#include "devices/system_midi_output.h"
#include "platform/clock.h"
#include "platform/midi_output.h"

#include <iostream>

namespace tonvela::cli {
namespace {

const char* kUsage =
    "Usage: tonvela-cli devices [--json]\n"
    "\n"
    "Lists the MIDI output devices in the order of the \"MIDI Device:\" list: device 0 is the\n"
    "built-in synthesizer, then every writable ALSA sequencer port.\n"
    "\n"
    "  --json   print a JSON array of {\"device\", \"name\"} objects\n";

int runDevices(const std::vector<std::string>& words)
{
    if (wantsHelp(words, kUsage))
        return 0;
    const Args args = Args::parse(words, {});
    if (!args.error.empty())
        return fail(args.error);
    if (const auto bad = args.unknown({"json"}); !bad.empty())
        return fail("unknown option --" + bad.front() + " (see 'tonvela-cli devices --help')");
    if (!args.positional.empty())
        return fail("devices takes no file (see 'tonvela-cli devices --help')");

    SteadyClock clock;
    const auto output = createSystemMidiOutput(clock);
    const std::vector<std::string> names = deviceNames(*output);
    if (args.has("json")) {
        Json list = Json::array();
        for (std::size_t i = 0; i < names.size(); ++i) {
            Json d = Json::object();
            d.set("device", static_cast<int>(i));
            d.set("name", names[i]);
            list.push(std::move(d));
        }
        std::cout << list.dump() << '\n';
    } else {
        for (std::size_t i = 0; i < names.size(); ++i)
            std::cout << i << ": " << names[i] << '\n';
    }
    return 0;
}

const CommandRegistration kDevices{{"devices", "list the MIDI output devices", kUsage, runDevices}};

} // namespace
} // namespace tonvela::cli
