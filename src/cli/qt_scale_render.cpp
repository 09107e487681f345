// Renderers of `tonvela-cli render --scale`: the fretboard picture as a PNG, or printed on an
// A4 page of a PDF.

#include "cli/cli.h"

#include "render/scale_rendering.h"
#include "render/sheet_rendering.h"

namespace tonvela::cli {
namespace {

int scalePng(const ScaleSelection& scale, const std::string& /*title*/, const std::string& out)
{
    ensureGuiApplication();
    std::string error;
    if (!writePng(renderScaleDiagram(scale), out, error))
        return fail("could not write \"" + out + "\": " + error);
    return 0;
}

int scalePdf(const ScaleSelection& scale, const std::string& title, const std::string& out)
{
    ensureGuiApplication();
    const PrintResult result = printScaleDiagramToPdf(scale, title, out);
    if (!result.ok)
        return fail("could not print \"" + out + "\": " + result.error);
    return 0;
}

const ScaleRendererRegistration kScalePng{{".png", scalePng}};
const ScaleRendererRegistration kScalePdf{{".pdf", scalePdf}};

} // namespace
} // namespace tonvela::cli
