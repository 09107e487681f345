#pragma once

#include "editor/print_paging.h"
#include "render/qt_canvas.h"

#include <QBuffer>
#include <QByteArray>
#include <QPageLayout>
#include <QPainter>
#include <QSvgGenerator>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tonvela {

class SheetViewState;

// The files an SVG print of `pages` pages writes for the output path `path`: the path itself
// for one page, else one file per page with "-1", "-2", ... before the extension
// ("song.svg" becomes "song-1.svg", "song-2.svg", ...).
std::vector<std::string> svgPagePaths(const std::string& path, int pages);

// A printer that writes SVG pictures: the pages of the file printout (A4 portrait, 10 mm
// margins) as vector drawing with the text kept as text, one SVG document per page. Pages are
// kept in memory and written when the document ends, each file atomically, named by
// svgPagePaths.
class SvgPrinter : public Printer {
  public:
    explicit SvgPrinter(std::string path, int dpi = 600);
    // Pages of the given size, orientation and margins.
    SvgPrinter(std::string path, int dpi, const QPageLayout& layout);
    ~SvgPrinter() override;

    int dpiX() const override { return m_dpi; }
    int dpiY() const override { return m_dpi; }
    int pageWidth() const override;
    int pageHeight() const override;
    bool startDocument(const std::string& name, std::string& error) override;
    void startPage() override;
    Canvas& pageCanvas() override;
    void endPage() override;
    bool endDocument(std::string& error) override;
    std::unique_ptr<PrintSurface> createScreenSurface(int width, int height) override;

    // The files the finished document was written to.
    const std::vector<std::string>& writtenFiles() const { return m_written; }

  private:
    void finishPage();

    std::string m_path;
    int m_dpi;
    QPageLayout m_layout;
    std::string m_title;
    std::vector<QByteArray> m_pages;
    QBuffer m_buffer;
    std::unique_ptr<QSvgGenerator> m_generator;
    QPainter m_painter;
    std::optional<QtCanvas> m_canvas;
    QtImageSurface m_stray{1, 1}; // a canvas to draw on outside a page
    std::vector<std::string> m_written;
};

// Prints the sheet of the view to SVG files through the print paging; `files` receives the
// names written.
PrintResult printViewToSvg(SheetViewState& view, const std::string& path,
                           std::vector<std::string>* files = nullptr);

} // namespace tonvela
