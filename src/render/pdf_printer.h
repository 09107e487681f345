#pragma once

#include "editor/print_paging.h"
#include "render/qt_canvas.h"

#include <QPainter>
#include <QPrinter>

#include <memory>
#include <optional>
#include <string>

class QPageLayout;

namespace tonvela {

// The page every printout to a file uses: A4, portrait, 10 mm margins on every side.
QPageLayout filePageLayout();

// A printer that writes a PDF file through QPrinter: A4 pages at 600 dots per inch. The file
// appears only once the document is complete (written to a temporary file, then moved into
// place), so a failed print never leaves a half-written or clobbered PDF behind.
class PdfPrinter : public Printer {
  public:
    explicit PdfPrinter(std::string path, int dpi = 600);
    ~PdfPrinter() override;

    int dpiX() const override;
    int dpiY() const override;
    int pageWidth() const override;
    int pageHeight() const override;
    bool startDocument(const std::string& name, std::string& error) override;
    void startPage() override;
    Canvas& pageCanvas() override;
    void endPage() override;
    bool endDocument(std::string& error) override;
    std::unique_ptr<PrintSurface> createScreenSurface(int width, int height) override;

  private:
    std::string m_path;
    std::string m_tempPath;
    QPrinter m_printer;
    QPainter m_painter;
    std::optional<QtCanvas> m_canvas;
    bool m_firstPage = true;
};

} // namespace tonvela
