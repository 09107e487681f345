#include "render/chord_rendering.h"

#include "editor/chord_printing.h"
#include "harmony/chord_document.h"
#include "render/pdf_printer.h"
#include "render/qt_canvas.h"
#include "render/sheet_rendering.h"

#include <QPageLayout>

#include <memory>
#include <optional>

namespace tonvela {
namespace {

// A printer whose pages are pictures: the printable area of the file page at a resolution.
class PicturePrinter : public Printer {
  public:
    explicit PicturePrinter(int dpi) : m_dpi(dpi), m_area(filePageLayout().paintRectPixels(dpi)) {}

    int dpiX() const override { return m_dpi; }
    int dpiY() const override { return m_dpi; }
    int pageWidth() const override { return m_area.width(); }
    int pageHeight() const override { return m_area.height(); }
    bool startDocument(const std::string&, std::string&) override { return true; }
    void startPage() override
    {
        finishPage();
        m_surface.emplace(pageWidth(), pageHeight());
    }
    Canvas& pageCanvas() override { return m_surface->canvas(); }
    void endPage() override { finishPage(); }
    bool endDocument(std::string&) override
    {
        finishPage();
        return true;
    }
    std::unique_ptr<PrintSurface> createScreenSurface(int width, int height) override
    {
        return std::make_unique<QtImageSurface>(width, height);
    }

    std::vector<QImage> pages;

  private:
    void finishPage()
    {
        if (m_surface) {
            pages.push_back(m_surface->takeImage());
            m_surface.reset();
        }
    }

    int m_dpi;
    QRect m_area;
    std::optional<QtImageSurface> m_surface;
};

} // namespace

std::vector<QImage> renderChordPages(const ChordDocument& doc, int dpi)
{
    ensureGuiApplication();
    PicturePrinter printer(dpi);
    printChordDocument(doc, printer);
    return std::move(printer.pages);
}

PrintResult printChordDocumentToPdf(const ChordDocument& doc, const std::string& path)
{
    ensureGuiApplication();
    PdfPrinter printer(path);
    return printChordDocument(doc, printer);
}

} // namespace tonvela
