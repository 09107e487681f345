#include "score/page_setup.h"

#include "platform/paper_locale.h"
#include "score/markup_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace tonvela {
namespace {

double clampedOr(double value, double low, double high, double fallback)
{
    if (!std::isfinite(value))
        return fallback;
    return std::clamp(value, low, high);
}

// A decimal number of the file ("7", "6.5"); none for anything else.
std::optional<double> readNumber(std::string_view text)
{
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

} // namespace

Paper resolvedPaper(Paper paper)
{
    if (paper != Paper::Default)
        return paper;
    return localeUsesLetterPaper() ? Paper::Letter : Paper::A4;
}

PaperSize paperSize(Paper paper, PageOrientation orientation)
{
    PaperSize size =
        resolvedPaper(paper) == Paper::Letter ? PaperSize{215.9, 279.4} : PaperSize{210.0, 297.0};
    if (orientation == PageOrientation::Landscape)
        std::swap(size.widthMm, size.heightMm);
    return size;
}

std::string_view paperName(Paper paper)
{
    switch (paper) {
    case Paper::A4:
        return "a4";
    case Paper::Letter:
        return "letter";
    case Paper::Default:
        break;
    }
    return "default";
}

std::optional<Paper> paperFromName(std::string_view name)
{
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "a4")
        return Paper::A4;
    if (lower == "letter")
        return Paper::Letter;
    return std::nullopt;
}

double sanitizedStaffSize(double mm)
{
    return clampedOr(mm, kMinStaffSizeMm, kMaxStaffSizeMm, kDefaultStaffSizeMm);
}

double sanitizedMargin(double mm)
{
    return clampedOr(mm, 0.0, kMaxMarginMm, kDefaultMarginMm);
}

void appendPageSetupAttributes(const PageSetup& setup, std::string& out)
{
    const PageSetup defaults;
    if (setup.staffSizeMm != defaults.staffSizeMm) {
        out += "\r\nstaffsize=";
        out += formatShortReal(setup.staffSizeMm);
    }
    if (setup.paper != defaults.paper) {
        out += "\r\npaper=";
        out += paperName(setup.paper);
    }
    if (setup.orientation != defaults.orientation)
        out += "\r\norientation=landscape";
    if (setup.margins != defaults.margins) {
        // Top, right, bottom, left, as one attribute.
        out += "\r\nmargins=";
        out += formatShortReal(setup.margins.top);
        out += ',';
        out += formatShortReal(setup.margins.right);
        out += ',';
        out += formatShortReal(setup.margins.bottom);
        out += ',';
        out += formatShortReal(setup.margins.left);
    }
}

bool readPageSetupAttribute(std::string_view name, std::string_view value, PageSetup& setup)
{
    if (name == "staffsize") {
        if (const auto v = readNumber(value))
            setup.staffSizeMm = sanitizedStaffSize(*v);
        return true;
    }
    if (name == "paper") {
        if (const auto p = paperFromName(value))
            setup.paper = *p;
        return true;
    }
    if (name == "orientation") {
        setup.orientation = value == "landscape" ? PageOrientation::Landscape : PageOrientation::Portrait;
        return true;
    }
    if (name == "margins") {
        std::vector<double> sides;
        std::size_t from = 0;
        while (from <= value.size() && sides.size() < 5) {
            const std::size_t comma = std::min(value.find(',', from), value.size());
            const auto v = readNumber(value.substr(from, comma - from));
            if (!v)
                return true; // a damaged list leaves the margins as they were
            sides.push_back(sanitizedMargin(*v));
            from = comma + 1;
        }
        if (sides.size() == 4)
            setup.margins = {sides[0], sides[1], sides[2], sides[3]};
        return true;
    }
    return false;
}

} // namespace tonvela
