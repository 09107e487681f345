#include "render/sheet_rendering.h"

#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "platform/atomic_file.h"
#include "platform/sheet_lock.h"
#include "render/pdf_printer.h"
#include "render/qt_canvas.h"

#include <QBuffer>
#include <QGuiApplication>

#include <cstdlib>
#include <memory>

namespace tonvela {

void ensureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "tonvela";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's font caches must outlive every static that may still draw.
    new QGuiApplication(argc, argv); // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
}

QImage renderView(SheetViewState& view)
{
    ensureGuiApplication();
    SheetLockGuard lock(sheetLock());
    layoutRows(view);
    QtImageSurface surface(view.clientWidth, view.clientHeight);
    drawSheet(view, surface.canvas(), view.printing);
    return surface.takeImage();
}

bool writePng(const QImage& image, const std::string& path, std::string& error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        error = "could not encode the picture as PNG";
        return false;
    }
    const FileResult result = writeFileAtomically(
        path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!result) {
        error = result.error;
        return false;
    }
    return true;
}

PrintResult printViewToPdf(SheetViewState& view, const std::string& path)
{
    ensureGuiApplication();
    PdfPrinter printer(path, 600, pageLayoutOf(view.sheet().pageSetup));
    return printSheet(view, printer);
}

} // namespace tonvela
