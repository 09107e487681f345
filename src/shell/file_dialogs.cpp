#include "shell/file_dialogs.h"

#include "render/pdf_printer.h"
#include "render/qt_canvas.h"

#include <QFileDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>

#include <map>

namespace tonvela {
namespace {

// A Printer over a QPrinter configured by the print dialog (a real printer or its "print to
// file" PDF output).
class QtDevicePrinter : public Printer {
  public:
    explicit QtDevicePrinter(std::unique_ptr<QPrinter> printer) : m_printer(std::move(printer)) {}
    ~QtDevicePrinter() override
    {
        if (m_painter.isActive())
            m_painter.end();
    }

    int dpiX() const override { return m_printer->logicalDpiX(); }
    int dpiY() const override { return m_printer->logicalDpiY(); }
    int pageWidth() const override
    {
        return m_printer->pageLayout().paintRectPixels(m_printer->resolution()).width();
    }
    int pageHeight() const override
    {
        return m_printer->pageLayout().paintRectPixels(m_printer->resolution()).height();
    }

    bool startDocument(const std::string& name, std::string& error) override
    {
        m_printer->setDocName(QString::fromStdString(name));
        if (!m_painter.begin(m_printer.get())) {
            error = "Could not start printing on " + m_printer->printerName().toStdString();
            return false;
        }
        m_canvas = std::make_unique<QtCanvas>(m_painter, pageWidth(), pageHeight());
        m_first = true;
        return true;
    }
    void startPage() override
    {
        m_canvas->flush();
        if (!m_first)
            m_printer->newPage();
        m_first = false;
    }
    Canvas& pageCanvas() override { return *m_canvas; }
    // The canvas may hold a page's last lines back for one stroke; they belong on this page.
    void endPage() override { m_canvas->flush(); }
    bool endDocument(std::string& error) override
    {
        if (!m_painter.isActive()) {
            error = "The print document was not started";
            return false;
        }
        m_canvas.reset();
        if (!m_painter.end()) {
            error = "The printer did not accept the document";
            return false;
        }
        return true;
    }
    std::unique_ptr<PrintSurface> createScreenSurface(int width, int height) override
    {
        return std::make_unique<QtImageSurface>(width, height, kPageSupersample);
    }

  private:
    std::unique_ptr<QPrinter> m_printer;
    QPainter m_painter;
    std::unique_ptr<QtCanvas> m_canvas;
    bool m_first = true;
};

class QtFileDialogs : public FileDialogs {
  public:
    explicit QtFileDialogs(QWidget* parent) : m_parent(parent) {}

    std::optional<FileChoice> openFile(const QString& caption, const QStringList& filters,
                                       const QString& defaultSuffix) override
    {
        QFileDialog dialog(m_parent, caption, m_folder);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        return run(dialog, filters, defaultSuffix);
    }

    std::optional<FileChoice> saveFile(const QString& caption, const QStringList& filters,
                                       const QString& defaultSuffix, const QString& suggestedName) override
    {
        QFileDialog dialog(m_parent, caption, m_folder);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!suggestedName.isEmpty())
            dialog.selectFile(suggestedName);
        return run(dialog, filters, defaultSuffix);
    }

    std::unique_ptr<Printer> choosePrinter(const std::string& documentName,
                                           const QPageLayout* pageLayout) override
    {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setDocName(QString::fromStdString(documentName));
        if (pageLayout)
            printer->setPageLayout(*pageLayout);
        QPrintDialog dialog(printer.get(), m_parent);
        if (dialog.exec() != QDialog::Accepted)
            return nullptr;
        // Printing to a PDF file goes through our own PDF writer, on the pages the dialog set
        // up: much quicker than Qt's PDF engine on long sheets, with the same drawing.
        if (printer->outputFormat() == QPrinter::PdfFormat && !printer->outputFileName().isEmpty())
            return std::make_unique<PdfPrinter>(printer->outputFileName().toStdString(),
                                                printer->resolution(), printer->pageLayout());
        return std::make_unique<QtDevicePrinter>(std::move(printer));
    }

  private:
    std::optional<FileChoice> run(QFileDialog& dialog, const QStringList& filters,
                                  const QString& defaultSuffix)
    {
        dialog.setNameFilters(filters);
        const QString key = filters.join(QLatin1Char(';'));
        const int last = m_lastFilter.count(key) ? m_lastFilter[key] : 0;
        if (last < filters.size())
            dialog.selectNameFilter(filters[last]);
        dialog.setDefaultSuffix(defaultSuffix);
        // The extension a typed name gets follows the filter chosen.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, defaultSuffix](const QString& f) {
                             const QString suffix = filterSuffix(f);
                             dialog.setDefaultSuffix(suffix.isEmpty() ? defaultSuffix : suffix);
                         });
        if (const QString s = filterSuffix(dialog.selectedNameFilter()); !s.isEmpty())
            dialog.setDefaultSuffix(s);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        FileChoice choice;
        choice.path = dialog.selectedFiles().front().toStdString();
        choice.filterIndex = std::max(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())));
        m_lastFilter[key] = choice.filterIndex;
        m_folder = dialog.directory().absolutePath();
        return choice;
    }

    QWidget* m_parent;
    QString m_folder;
    std::map<QString, int> m_lastFilter;
};

} // namespace

QString filterSuffix(const QString& filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.([A-Za-z0-9]+)\\)"));
    const auto match = pattern.match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

std::unique_ptr<FileDialogs> createQtFileDialogs(QWidget* parent)
{
    return std::make_unique<QtFileDialogs>(parent);
}

} // namespace tonvela
