#include "render/scale_rendering.h"

#include "drawing/canvas.h"
#include "harmony/fretboard.h"
#include "harmony/scale_diagram.h"
#include "render/pdf_printer.h"
#include "render/sheet_rendering.h"

#include <map>
#include <memory>

namespace tonvela {
namespace {

ScaleDiagramView unscrolledView(const ScaleSelection& scale)
{
    ScaleDiagramView view;
    view.setClientSize(kFretboardWidth, kFretboardHeight);
    view.setSelection(scale);
    return view;
}

} // namespace

const QtImagePicture& fretboardPicture(std::string_view openStrings)
{
    // A handful of tunings at most in a session; each picture is drawn once.
    static std::map<std::string, std::unique_ptr<QtImagePicture>, std::less<>> pictures;
    const auto found = pictures.find(openStrings);
    if (found != pictures.end())
        return *found->second;
    ensureGuiApplication();
    QtImageSurface surface(kFretboardWidth, kFretboardHeight);
    drawFretboard(surface.canvas(), 0, 0, openStrings);
    auto picture = std::make_unique<QtImagePicture>(surface.takeImage(), kFretboardWidth, kFretboardHeight);
    return *pictures.emplace(std::string(openStrings), std::move(picture)).first->second;
}

QImage renderScaleDiagram(const ScaleSelection& scale, std::string_view openStrings)
{
    const QtImagePicture& fretboard = fretboardPicture(openStrings);
    QtImageSurface surface(kFretboardWidth, kFretboardHeight);
    ScaleDiagramView view = unscrolledView(scale);
    view.setOpenStrings(std::string(openStrings));
    view.paint(surface.canvas(), &fretboard);
    return surface.takeImage();
}

PrintResult printScaleDiagramToPdf(const ScaleSelection& scale, const std::string& title,
                                   const std::string& path)
{
    const QtImagePicture& fretboard = fretboardPicture();
    PdfPrinter printer(path);
    PrintResult result;
    if (!printer.startDocument(title, result.error)) {
        result.ok = false;
        return result;
    }
    printer.startPage();
    // Drawn at the page's resolution, so the page shows no screen pixels.
    auto surface = printer.createScreenSurface(kFretboardWidth, kFretboardHeight);
    unscrolledView(scale).paint(surface->canvas(), &fretboard);
    const auto picture = surface->takePicture();
    // The title above the picture, a third of an inch high.
    Canvas& page = printer.pageCanvas();
    const int titleHeight = printer.dpiY() / 3;
    page.setFont(Font{titleHeight, true});
    page.setTextColor(kBlack);
    page.drawText(0, 0, title);
    const int width = printer.pageWidth();
    const int height = width * kFretboardHeight / kFretboardWidth;
    page.drawPicture(*picture, 0, titleHeight * 3 / 2, width, height);
    printer.endPage();
    result.pages = 1;
    if (!printer.endDocument(result.error))
        result.ok = false;
    return result;
}

} // namespace tonvela
