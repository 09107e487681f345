#include "render/svg_printer.h"

#include "editor/sheet_view_state.h"
#include "platform/atomic_file.h"
#include "render/pdf_printer.h"
#include "render/sheet_rendering.h"

#include <QPageLayout>

namespace tonvela {

std::vector<std::string> svgPagePaths(const std::string& path, int pages)
{
    if (pages <= 1)
        return {path};
    // The number goes before the extension of the file name (not of a folder in the path).
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::string stem = hasExtension ? path.substr(0, dot) : path;
    const std::string extension = hasExtension ? path.substr(dot) : std::string();
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(pages));
    for (int p = 1; p <= pages; ++p)
        out.push_back(stem + "-" + std::to_string(p) + extension);
    return out;
}

SvgPrinter::SvgPrinter(std::string path, int dpi) : SvgPrinter(std::move(path), dpi, filePageLayout()) {}

SvgPrinter::SvgPrinter(std::string path, int dpi, const QPageLayout& layout)
    : m_path(std::move(path)), m_dpi(dpi > 0 ? dpi : 600),
      m_layout(layout.isValid() ? layout : filePageLayout())
{
}

SvgPrinter::~SvgPrinter()
{
    if (m_painter.isActive())
        m_painter.end();
}

int SvgPrinter::pageWidth() const
{
    return m_layout.paintRectPixels(m_dpi).width();
}

int SvgPrinter::pageHeight() const
{
    return m_layout.paintRectPixels(m_dpi).height();
}

bool SvgPrinter::startDocument(const std::string& name, std::string& /*error*/)
{
    m_title = name;
    m_pages.clear();
    m_written.clear();
    return true;
}

void SvgPrinter::startPage()
{
    finishPage();
    const QRect full = m_layout.fullRectPixels(m_dpi);
    const QRect paint = m_layout.paintRectPixels(m_dpi);
    m_buffer.setData(QByteArray());
    m_buffer.open(QIODevice::WriteOnly);
    m_generator = std::make_unique<QSvgGenerator>();
    m_generator->setOutputDevice(&m_buffer);
    m_generator->setResolution(m_dpi);
    m_generator->setSize(full.size());
    m_generator->setViewBox(QRect(QPoint(0, 0), full.size()));
    m_generator->setTitle(QString::fromStdString(m_title));
    m_painter.begin(m_generator.get());
    // The page's printable area starts at its margins, as on a printer.
    m_painter.translate(paint.topLeft());
    m_canvas.emplace(m_painter, paint.width(), paint.height());
}

Canvas& SvgPrinter::pageCanvas()
{
    if (m_canvas)
        return *m_canvas;
    return m_stray.canvas();
}

void SvgPrinter::endPage()
{
    finishPage();
}

void SvgPrinter::finishPage()
{
    if (!m_painter.isActive())
        return;
    m_canvas.reset();
    m_painter.end();
    m_generator.reset();
    m_buffer.close();
    m_pages.push_back(m_buffer.data());
}

bool SvgPrinter::endDocument(std::string& error)
{
    finishPage();
    const std::vector<std::string> paths = svgPagePaths(m_path, static_cast<int>(m_pages.size()));
    for (std::size_t p = 0; p < m_pages.size(); ++p) {
        const QByteArray& bytes = m_pages[p];
        const FileResult written = writeFileAtomically(
            paths[p], std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        if (!written) {
            error = written.error;
            return false;
        }
        m_written.push_back(paths[p]);
    }
    m_pages.clear();
    return true;
}

std::unique_ptr<PrintSurface> SvgPrinter::createScreenSurface(int width, int height)
{
    return std::make_unique<QtImageSurface>(width, height);
}

PrintResult printViewToSvg(SheetViewState& view, const std::string& path, std::vector<std::string>* files)
{
    ensureGuiApplication();
    SvgPrinter printer(path, 600, pageLayoutOf(view.sheet().pageSetup));
    const PrintResult result = printSheet(view, printer);
    if (files)
        *files = printer.writtenFiles();
    return result;
}

} // namespace tonvela
