#pragma once

#include "editor/print_paging.h"
#include "render/pdf_canvas.h"
#include "render/pdf_document.h"
#include "score/page_setup.h"

#include <QPageLayout>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tonvela {

// The page every printout to a file used before sheets had a page setup: A4, portrait, 10 mm
// margins on every side. Chord documents still print on it.
QPageLayout filePageLayout();

// The page a sheet's page setup asks for: its paper (the locale's by default), orientation and
// margins.
QPageLayout pageLayoutOf(const PageSetup& setup);

// A printer that writes a PDF file: A4 pages (or the layout given) whose device units are a six-hundredth of
// an inch (or 1/dpi), vector drawing throughout, glyphs as shared forms, text in the embedded face. The file
// appears only once the document is complete (written atomically), so a failed print never leaves a
// half-written or clobbered PDF behind.
class PdfPrinter : public Printer {
  public:
    explicit PdfPrinter(std::string path, int dpi = 600);
    // Pages of another size, orientation or margins, as a print dialog chose them.
    PdfPrinter(std::string path, int dpi, const QPageLayout& layout);
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
    void finishPage();

    std::string m_path;
    int m_dpi;
    QPageLayout m_layout;
    std::string m_name;
    std::optional<PdfDocument> m_doc;
    std::optional<PdfResources> m_resources;
    std::optional<PdfCanvas> m_canvas;
    int m_pagesObject = 0;
    std::vector<int> m_pages;
    bool m_pageOpen = false;
};

} // namespace tonvela
