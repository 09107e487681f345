// tonvela-cli: the command-line face of the Tonvela core.

#include "cli/cli.h"
#include "platform/memory_policy.h"

#include <algorithm>
#include <iostream>
#include <string>

#if defined(TONVELA_CLI_MEDIA_PROGRAM)
#include <climits>
#include <unistd.h>
#endif

using namespace tonvela::cli;

namespace {

void printOverview()
{
    auto list = commands();
    std::sort(list.begin(), list.end(), [](const Command& a, const Command& b) { return a.name < b.name; });
    std::cout << "Usage: tonvela-cli COMMAND [ARGS...]\n\nCommands:\n";
    for (const auto& c : list) {
        std::string name = c.name;
        name.resize(std::max<std::size_t>(name.size(), 12), ' ');
        std::cout << "  " << name << "  " << c.summary << '\n';
    }
    std::cout << "\nRun 'tonvela-cli COMMAND --help' for the options of a command.\n";
}

// The commands that draw or sound live in a second program beside this one, so that the others
// start without loading Qt and the sound libraries. This program hands such a command (and the
// overview, which lists them all) to that program with the same arguments; it returns only when
// that program is not there, and this one then answers as well as it can.
void handOverToMediaProgram([[maybe_unused]] char** argv)
{
#if defined(TONVELA_CLI_MEDIA_PROGRAM)
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return;
    std::string path(self, static_cast<std::size_t>(length));
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return;
    path.resize(slash + 1);
    path += TONVELA_CLI_MEDIA_PROGRAM;
    std::cout.flush();
    execv(path.c_str(), argv);
#endif
}

} // namespace

int main(int argc, char** argv)
{
    tonvela::keepFreedMemoryForReuse();
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        handOverToMediaProgram(argv);
        printOverview();
        return 1;
    }
    if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        handOverToMediaProgram(argv);
        printOverview();
        return 0;
    }
    if (words[0] == "--version") {
        std::cout << "tonvela-cli 0.1.0\n";
        return 0;
    }
    for (const auto& c : commands()) {
        if (c.name == words[0]) {
            std::vector<std::string> rest(words.begin() + 1, words.end());
            if (!c.usage.empty() && wantsHelp(rest, c.usage))
                return 0;
            try {
                return c.run(rest);
            } catch (const std::exception& e) {
                return fail(std::string("internal error: ") + e.what());
            }
        }
    }
    handOverToMediaProgram(argv);
#if defined(TONVELA_CLI_MEDIA_PROGRAM)
    // The second program holds these; without it they cannot run, which is not a typing error.
    for (const char* media : {"render", "play", "play-clip", "devices", "sf2"})
        if (words[0] == media)
            return fail("\"" + words[0] +
                        "\" is a command of " TONVELA_CLI_MEDIA_PROGRAM
                        ", which was not found beside tonvela-cli; install both programs together");
#endif
    return fail("unknown command \"" + words[0] + "\"; run 'tonvela-cli --help' for the list");
}
