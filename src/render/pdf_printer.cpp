#include "render/pdf_printer.h"

#include "platform/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QTemporaryFile>

namespace tonvela {
namespace {
constexpr std::size_t kMaxPdfBytes = 512u * 1024u * 1024u;
} // namespace

QPageLayout filePageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

PdfPrinter::PdfPrinter(std::string path, int dpi)
    : m_path(std::move(path)), m_printer(QPrinter::HighResolution)
{
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setResolution(dpi);
    m_printer.setPageLayout(filePageLayout());
}

PdfPrinter::~PdfPrinter()
{
    if (m_painter.isActive())
        m_painter.end();
    if (!m_tempPath.empty())
        QFile::remove(QString::fromStdString(m_tempPath));
}

int PdfPrinter::dpiX() const
{
    return m_printer.resolution();
}
int PdfPrinter::dpiY() const
{
    return m_printer.resolution();
}

int PdfPrinter::pageWidth() const
{
    return m_printer.pageLayout().paintRectPixels(m_printer.resolution()).width();
}

int PdfPrinter::pageHeight() const
{
    return m_printer.pageLayout().paintRectPixels(m_printer.resolution()).height();
}

bool PdfPrinter::startDocument(const std::string& name, std::string& error)
{
    QTemporaryFile temp(QDir::tempPath() + QStringLiteral("/tonvela-print-XXXXXX.pdf"));
    temp.setAutoRemove(false);
    if (!temp.open()) {
        error = "could not create a temporary file for the PDF: " + temp.errorString().toStdString();
        return false;
    }
    m_tempPath = temp.fileName().toStdString();
    temp.close();
    m_printer.setOutputFileName(QString::fromStdString(m_tempPath));
    m_printer.setDocName(QString::fromStdString(name));
    if (!m_painter.begin(&m_printer)) {
        error = "could not start the PDF document";
        return false;
    }
    m_canvas.emplace(m_painter, pageWidth(), pageHeight());
    m_firstPage = true;
    return true;
}

void PdfPrinter::startPage()
{
    if (m_canvas)
        m_canvas->flush();
    if (!m_firstPage)
        m_printer.newPage();
    m_firstPage = false;
}

void PdfPrinter::endPage()
{
    if (m_canvas)
        m_canvas->flush();
}

Canvas& PdfPrinter::pageCanvas()
{
    return *m_canvas;
}

bool PdfPrinter::endDocument(std::string& error)
{
    if (!m_painter.isActive()) {
        error = "the PDF document was not started";
        return false;
    }
    if (m_canvas)
        m_canvas->flush();
    m_painter.end();
    m_canvas.reset();
    std::string bytes;
    FileResult read = readWholeFile(m_tempPath, bytes, kMaxPdfBytes);
    QFile::remove(QString::fromStdString(m_tempPath));
    m_tempPath.clear();
    if (!read) {
        error = read.error;
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
