#include "score/markup_text.h"

#include <charconv>

namespace tonvela {

std::string escapeMarkupText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '"':
            out += "%22";
            break;
        case '<':
            out += "%3C";
            break;
        case '>':
            out += "%3E";
            break;
        case '\r':
            out += "%0D";
            break;
        case '\n':
            out += "%0A";
            break;
        case '\t':
            out += "%09";
            break;
        case '%':
            out += "%25";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

std::string unescapeMarkupText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const std::string_view code = text.substr(i + 1, 2);
            char decoded = 0;
            if (code == "22")
                decoded = '"';
            else if (code == "3C")
                decoded = '<';
            else if (code == "3E")
                decoded = '>';
            else if (code == "0D")
                decoded = '\r';
            else if (code == "0A")
                decoded = '\n';
            else if (code == "09")
                decoded = '\t';
            else if (code == "25")
                decoded = '%';
            if (decoded != 0) {
                out += decoded;
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string fileNamePart(std::string_view path)
{
    const auto pos = path.find_last_of("/\\");
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string formatShortReal(double value)
{
    // to_chars does not follow the process locale, which a GUI toolkit may have changed.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    return std::string(buf, res.ptr);
}

} // namespace tonvela
