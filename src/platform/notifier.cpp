#include "platform/notifier.h"

#include <cstdio>

namespace tonvela {

void StderrNotifier::error(const std::string& text, const std::string& caption)
{
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void StderrNotifier::warning(const std::string& text, const std::string& caption)
{
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

Notifier::Answer StderrNotifier::question(const std::string& text, const std::string& caption)
{
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
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
