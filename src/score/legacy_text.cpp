#include "score/legacy_text.h"

namespace tonvela {

std::string utf8FromSheetText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            out += (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
            ++i;
            continue;
        }
        std::size_t len = 0;
        if (c >= 0xC2 && c <= 0xDF)
            len = 2;
        else if (c >= 0xE0 && c <= 0xEF)
            len = 3;
        else if (c >= 0xF0 && c <= 0xF4)
            len = 4;
        bool valid = len > 0 && i + len <= n;
        for (std::size_t k = 1; valid && k < len; ++k)
            valid = (s[i + k] & 0xC0) == 0x80;
        if (valid && len == 3) {
            // No overlong forms and no surrogates.
            valid = !(c == 0xE0 && s[i + 1] < 0xA0) && !(c == 0xED && s[i + 1] >= 0xA0);
        }
        if (valid && len == 4)
            valid = !(c == 0xF0 && s[i + 1] < 0x90) && !(c == 0xF4 && s[i + 1] >= 0x90);
        if (valid) {
            out.append(text, i, len);
            i += len;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        }
    }
    return out;
}

} // namespace tonvela
