#include "score/utf8_text.h"

namespace tonvela {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

bool continuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// How many bytes a sequence that begins with `lead` takes; 0 for a byte no sequence begins with.
std::size_t expectedLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

} // namespace

std::size_t utf8SequenceAt(std::string_view text, std::size_t at)
{
    if (at >= text.size())
        return 0;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data()) + at;
    const std::size_t len = expectedLength(s[0]);
    if (len == 0 || at + len > text.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k)
        if (!continuation(s[k]))
            return 0;
    // No overlong forms, no surrogates, nothing beyond U+10FFFF.
    if (len == 3 && ((s[0] == 0xE0 && s[1] < 0xA0) || (s[0] == 0xED && s[1] >= 0xA0)))
        return 0;
    if (len == 4 && ((s[0] == 0xF0 && s[1] < 0x90) || (s[0] == 0xF4 && s[1] >= 0x90)))
        return 0;
    return len;
}

std::string validUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t len = utf8SequenceAt(text, i)) {
            out.append(text, i, len);
            i += len;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

std::string utf8FromEightBitText(std::string_view text, std::size_t limit)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t len = utf8SequenceAt(text, i)) {
            out.append(text, i, len);
            i += len;
            continue;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        // At the limit, a lead byte whose continuation bytes run to the end of the text but are
        // too few: the first part of a character cut in half.
        std::size_t rest = i + 1;
        while (rest < text.size() && continuation(static_cast<unsigned char>(text[rest])))
            ++rest;
        if (text.size() == limit && expectedLength(c) > 1 && rest == text.size() &&
            rest - i < expectedLength(c))
            break;
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
        ++i;
    }
    return out;
}

std::string cutUtf8(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return std::string(text);
    std::size_t end = limit;
    while (end > 0 && continuation(static_cast<unsigned char>(text[end])))
        --end;
    return std::string(text.substr(0, end));
}

} // namespace tonvela
