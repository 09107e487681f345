// Renderers of `tonvela-cli render` that draw sheets with Qt: a PNG of one window's view, and a
// PDF or SVG pictures printed page by page.

#include "cli/cli.h"

#include "editor/sheet_view_state.h"
#include "render/sheet_rendering.h"
#include "render/svg_printer.h"
#include "score/sheet_document.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace tonvela::cli {
namespace {

constexpr int kMaxPictureSide = 16384;

bool parseZoom(const Args& args, float& zoom, std::string& error)
{
    if (!args.has("zoom"))
        return true;
    const std::string v = args.value("zoom");
    char* end = nullptr;
    const double z = std::strtod(v.c_str(), &end);
    const bool number = !v.empty() && end == v.c_str() + v.size() && std::isfinite(z) && std::fabs(z) < 1e6;
    // Compared as the float the sheet keeps: 0.4 read as a double lies just below 0.4f.
    const float zf = number ? static_cast<float>(z) : 0.0f;
    if (!number || zf < kMinZoom || zf > kMaxZoom) {
        error = "option --zoom needs a number from 0.4 to 10, not \"" + v + "\"";
        return false;
    }
    zoom = zf;
    return true;
}

// Loads a sheet for drawing with the --zoom option applied (the sheet's own zoom by default),
// and makes sure the Qt application for drawing exists. Null with `error` set on failure.
std::unique_ptr<SheetDocument> openZoomed(const std::string& in, const Args& args, std::string& error)
{
    auto sheet = openSheet(in, error);
    if (!sheet)
        return nullptr;
    float zoom = SheetViewState(*sheet).zoom();
    if (!parseZoom(args, zoom, error))
        return nullptr;
    sheet->zoomamount = zoom;
    ensureGuiApplication();
    return sheet;
}

int renderPng(const std::string& in, const std::string& out, const Args& args)
{
    if (const auto bad = args.unknown({"output", "width", "height", "zoom", "row"}); !bad.empty())
        return fail("unknown option --" + bad.front() + " for .png output");
    int width = 1000, height = 800, row = 0;
    std::string error;
    if (!args.intValue("width", width, error) || !args.intValue("height", height, error) ||
        !args.intValue("row", row, error))
        return fail(error);
    if (width < 1 || width > kMaxPictureSide || height < 1 || height > kMaxPictureSide)
        return fail("--width and --height must lie between 1 and " + std::to_string(kMaxPictureSide));
    if (row < 0)
        return fail("--row must be 0 or more");
    auto sheet = openZoomed(in, args, error);
    if (!sheet)
        return fail(error);
    SheetViewState view(*sheet);
    view.title = captionOf(in);
    view.setClientSize(width, height);
    view.firstVisibleRow = row;
    const QImage image = renderView(view);
    if (!writePng(image, out, error))
        return fail("could not write \"" + out + "\": " + error);
    return 0;
}

// The page options of a printout: the staff size and the paper, over the sheet's own page
// setup. False with `error` set for a value out of range.
bool applyPageOptions(const Args& args, PageSetup& page, std::string& error)
{
    if (args.has("staff-size")) {
        const std::string v = args.value("staff-size");
        char* end = nullptr;
        const double mm = std::strtod(v.c_str(), &end);
        if (v.empty() || end != v.c_str() + v.size() || !std::isfinite(mm) || mm < kMinStaffSizeMm ||
            mm > kMaxStaffSizeMm) {
            error = "option --staff-size needs millimetres from 5 to 9, not \"" + v + "\"";
            return false;
        }
        page.staffSizeMm = mm;
    }
    if (args.has("paper")) {
        const auto paper = paperFromName(args.value("paper"));
        if (!paper) {
            error = "option --paper needs a4 or letter, not \"" + args.value("paper") + "\"";
            return false;
        }
        page.paper = *paper;
    }
    return true;
}

// Prints the sheet as the print command does, page by page, through `print`. The pages do not
// depend on the zoom: --zoom is accepted (older scripts pass it) and checked, and changes nothing.
int renderPages(const std::string& in, const std::string& out, const Args& args, const char* kind,
                PrintResult (*print)(SheetViewState&, const std::string&))
{
    if (const auto bad = args.unknown({"output", "zoom", "staff-size", "paper"}); !bad.empty())
        return fail("unknown option --" + bad.front() + " for " + kind + " output");
    std::string error;
    auto sheet = openZoomed(in, args, error);
    if (!sheet)
        return fail(error);
    if (!applyPageOptions(args, sheet->pageSetup, error))
        return fail(error);
    SheetViewState view(*sheet);
    view.title = captionOf(in);
    view.setClientSize(1000, 800);
    const PrintResult result = print(view, out);
    if (!result.ok)
        return fail("could not print \"" + out + "\": " + result.error);
    return 0;
}

int renderPdf(const std::string& in, const std::string& out, const Args& args)
{
    return renderPages(in, out, args, ".pdf", [](SheetViewState& view, const std::string& path) {
        return printViewToPdf(view, path);
    });
}

int renderSvg(const std::string& in, const std::string& out, const Args& args)
{
    return renderPages(in, out, args, ".svg", [](SheetViewState& view, const std::string& path) {
        return printViewToSvg(view, path);
    });
}

const RendererRegistration kPng{{".png",
                                 {"width", "height", "zoom", "row"},
                                 "PNG (.png): the sheet as a window of that size shows it.\n"
                                 "  --width W, --height H   window size in pixels (1000 x 800)\n"
                                 "  --zoom Z                zoom from 0.4 to 10 (the sheet's own)\n"
                                 "  --row R                 first visible staff row (0)\n",
                                 renderPng}};
const RendererRegistration kPdf{
    {".pdf",
     {"zoom", "staff-size", "paper"},
     "PDF (.pdf): the sheet printed as the print command prints it, vector drawing laid out for\n"
     "  the paper at the sheet's page setup: titles on page 1, every page numbered.\n"
     "  --staff-size MM         staff height from 5 to 9 mm (the sheet's own, 7 by default)\n"
     "  --paper a4|letter       the paper (the sheet's own, else the locale's)\n"
     "  --zoom Z                accepted for older scripts; pages do not depend on the zoom\n",
     renderPdf}};
const RendererRegistration kSvg{
    {".svg",
     {"zoom", "staff-size", "paper"},
     "SVG (.svg): the pages the PDF would hold, each an SVG picture of lines, shapes and text.\n"
     "  One page is written to OUT itself; several go to one file each, numbered before the\n"
     "  extension: -o song.svg writes song-1.svg, song-2.svg, ...\n"
     "  --staff-size MM, --paper a4|letter   as for PDF\n",
     renderSvg}};

} // namespace
} // namespace tonvela::cli
