#include "render/pdf_printer.h"

#include "platform/atomic_file.h"
#include "render/qt_canvas.h"

#include <QPageLayout>
#include <QPageSize>

#include <algorithm>

namespace tonvela {
namespace {

// Points (a 72nd of an inch) per device unit.
double pointsPerUnit(int dpi)
{
    return 72.0 / std::max(dpi, 1);
}

// A text string of the document information: plain when it is printable ASCII, otherwise
// UTF-16 with its byte order mark, as PDF readers expect any other script.
std::string pdfTextString(std::string_view text)
{
    const QString s = qtText(text);
    bool plain = true;
    for (const QChar c : s)
        plain = plain && c.unicode() >= 32 && c.unicode() < 127;
    if (plain)
        return pdfLiteral(text);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "<FEFF";
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        for (int shift = 12; shift >= 0; shift -= 4)
            out += kHex[(u >> shift) & 15];
    }
    out += '>';
    return out;
}

} // namespace

QPageLayout filePageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

QPageLayout pageLayoutOf(const PageSetup& setup)
{
    const QPageSize size(resolvedPaper(setup.paper) == Paper::Letter ? QPageSize::Letter : QPageSize::A4);
    const QPageLayout::Orientation orientation =
        setup.orientation == PageOrientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    const PageMargins& m = setup.margins;
    QPageLayout layout(size, orientation,
                       QMarginsF(sanitizedMargin(m.left), sanitizedMargin(m.top), sanitizedMargin(m.right),
                                 sanitizedMargin(m.bottom)),
                       QPageLayout::Millimeter);
    // Margins that leave no room are given up rather than the page.
    if (!layout.isValid() || layout.paintRect(QPageLayout::Millimeter).width() < 20 ||
        layout.paintRect(QPageLayout::Millimeter).height() < 20)
        layout.setMargins(QMarginsF(10, 10, 10, 10));
    return layout;
}

PdfPrinter::PdfPrinter(std::string path, int dpi) : PdfPrinter(std::move(path), dpi, filePageLayout()) {}

PdfPrinter::PdfPrinter(std::string path, int dpi, const QPageLayout& layout)
    : m_path(std::move(path)), m_dpi(std::max(dpi, 72)),
      m_layout(layout.isValid() ? layout : filePageLayout())
{
}

PdfPrinter::~PdfPrinter() = default;

int PdfPrinter::dpiX() const
{
    return m_dpi;
}
int PdfPrinter::dpiY() const
{
    return m_dpi;
}

int PdfPrinter::pageWidth() const
{
    return m_layout.paintRectPixels(m_dpi).width();
}

int PdfPrinter::pageHeight() const
{
    return m_layout.paintRectPixels(m_dpi).height();
}

bool PdfPrinter::startDocument(const std::string& name, std::string& error)
{
    if (m_doc) {
        error = "the PDF document was already started";
        return false;
    }
    m_name = name;
    m_doc.emplace();
    m_pagesObject = m_doc->reserve();
    m_resources.emplace(*m_doc);
    m_canvas.emplace(*m_resources, pageWidth(), pageHeight());
    m_pages.clear();
    m_pageOpen = false;
    return true;
}

void PdfPrinter::startPage()
{
    if (!m_canvas)
        return;
    finishPage();
    m_canvas->reset();
    m_pageOpen = true;
}

void PdfPrinter::endPage()
{
    finishPage();
}

void PdfPrinter::finishPage()
{
    if (!m_pageOpen || !m_doc)
        return;
    m_pageOpen = false;
    const QRectF full = m_layout.fullRect(QPageLayout::Point);
    const QRectF paint = m_layout.paintRect(QPageLayout::Point);
    // Device units from the top-left corner of the printable area, y downwards.
    const double s = pointsPerUnit(m_dpi);
    std::string ops;
    appendPdfNumber(ops, s, 6);
    ops += " 0 0 ";
    appendPdfNumber(ops, -s, 6);
    ops += ' ';
    appendPdfNumber(ops, paint.left(), 4);
    ops += ' ';
    appendPdfNumber(ops, full.height() - paint.top(), 4);
    ops += " cm\n";
    ops += m_canvas->content();
    const int content = m_doc->reserve();
    m_doc->addStream(content, {}, ops);
    const int page = m_doc->reserve();
    std::string dict = "<< /Type /Page /Parent " + std::to_string(m_pagesObject) + " 0 R /MediaBox [0 0 ";
    appendPdfNumber(dict, full.width(), 3);
    dict += ' ';
    appendPdfNumber(dict, full.height(), 3);
    dict += "] /Resources " + std::to_string(m_resources->dictionaryObject()) + " 0 R /Contents " +
            std::to_string(content) + " 0 R >>";
    m_doc->addObject(page, dict);
    m_pages.push_back(page);
    m_canvas->reset();
}

Canvas& PdfPrinter::pageCanvas()
{
    return *m_canvas;
}

bool PdfPrinter::endDocument(std::string& error)
{
    if (!m_doc) {
        error = "the PDF document was not started";
        return false;
    }
    finishPage();
    if (m_pages.empty()) {
        // A document always has a page, if only a blank one.
        startPage();
        finishPage();
    }
    if (!m_resources->finish(error)) {
        m_doc.reset();
        return false;
    }
    std::string kids;
    for (const int page : m_pages)
        kids += std::to_string(page) + " 0 R ";
    m_doc->addObject(m_pagesObject,
                     "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(m_pages.size()) + " >>");
    const int catalog = m_doc->reserve();
    m_doc->addObject(catalog, "<< /Type /Catalog /Pages " + std::to_string(m_pagesObject) + " 0 R >>");
    const int info = m_doc->reserve();
    m_doc->addObject(info, "<< /Title " + pdfTextString(m_name) + " /Producer (Tonvela) >>");
    const std::string bytes = m_doc->finish(catalog, info);
    m_canvas.reset();
    m_resources.reset();
    m_doc.reset();
    if (bytes.empty()) {
        error = "the PDF document could not be completed";
        return false;
    }
    FileResult written = writeFileAtomically(m_path, bytes);
    if (!written) {
        error = written.error;
        return false;
    }
    return true;
}

std::unique_ptr<PrintSurface> PdfPrinter::createScreenSurface(int width, int height)
{
    return std::make_unique<QtImageSurface>(width, height, kPageSupersample);
}

} // namespace tonvela
