// tonvela-cli: the command-line face of the Tonvela core.

#include "cli/cli.h"
#include "platform/memory_policy.h"

#include <algorithm>
#include <iostream>

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

} // namespace

int main(int argc, char** argv)
{
    tonvela::keepFreedMemoryForReuse();
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        printOverview();
        return 1;
    }
    if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
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
    return fail("unknown command \"" + words[0] + "\"; run 'tonvela-cli --help' for the list");
}
