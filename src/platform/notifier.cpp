#include "platform/notifier.h"

#include <cstdio>
#include <vector>

namespace tonvela {

namespace {

bool continuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Takes the next line a box shows off the front of `line`: all of it when it holds at most
// kMaxMessageLineCharacters characters, else up to the last blank within them (the blank is
// dropped), else exactly that many characters.
std::string_view takeShownLine(std::string_view& line)
{
    std::size_t end = 0;
    int characters = 0;
    while (end < line.size() && characters < kMaxMessageLineCharacters) {
        ++end;
        while (end < line.size() && continuationByte(line[end]))
            ++end;
        ++characters;
    }
    if (end == line.size()) {
        const std::string_view all = line;
        line = {};
        return all;
    }
    // The character after the limit may be the blank to break at.
    const auto blank = line.substr(0, end + 1).rfind(' ');
    if (blank != std::string_view::npos && blank > 0) {
        const std::string_view shown = line.substr(0, blank);
        line.remove_prefix(blank + 1);
        return shown;
    }
    const std::string_view shown = line.substr(0, end);
    line.remove_prefix(end);
    return shown;
}

} // namespace

std::string boundedMessage(std::string_view text)
{
    std::vector<std::string_view> shown;
    long long total = 0;
    std::size_t pos = 0;
    for (;;) {
        const auto nl = text.find('\n', pos);
        std::string_view line =
            text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        do {
            const std::string_view piece = takeShownLine(line);
            if (shown.size() < static_cast<std::size_t>(kMaxMessageLines))
                shown.push_back(piece);
            ++total;
        } while (!line.empty());
        if (nl == std::string_view::npos)
            break;
        pos = nl + 1;
    }
    const bool cut = total > kMaxMessageLines;
    if (cut)
        shown.resize(kMaxMessageLines - 1);
    std::string out;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (i > 0)
            out += '\n';
        out += shown[i];
    }
    if (cut)
        out += "\n... and " + std::to_string(total - (kMaxMessageLines - 1)) + " more lines";
    return out;
}

void StderrNotifier::error(const std::string& text, const std::string& caption)
{
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), boundedMessage(text).c_str());
}

void StderrNotifier::warning(const std::string& text, const std::string& caption)
{
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), boundedMessage(text).c_str());
}

Notifier::Answer StderrNotifier::question(const std::string& text, const std::string& caption)
{
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), boundedMessage(text).c_str());
    return m_answer;
}

void CollectingNotifier::error(const std::string& text, const std::string& caption)
{
    messages.push_back({text, caption, false});
}

void CollectingNotifier::warning(const std::string& text, const std::string& caption)
{
    warnings.push_back({text, caption, false});
}

Notifier::Answer CollectingNotifier::question(const std::string& text, const std::string& caption)
{
    messages.push_back({text, caption, true});
    if (answers.empty())
        return fallback;
    const Answer a = answers.front();
    answers.erase(answers.begin());
    return a;
}

} // namespace tonvela
