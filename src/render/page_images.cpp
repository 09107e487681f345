#include "render/page_images.h"

#include "render/qt_canvas.h"
#include "render/sheet_rendering.h"

#include <QPainter>

#include <algorithm>
#include <optional>

namespace tonvela {
namespace {

// A printer whose pages are pictures of the paper.
class ImagePrinter : public Printer {
  public:
    ImagePrinter(const QPageLayout& page, int dpi) : m_page(page), m_dpi(std::clamp(dpi, 10, 1200)) {}
    ~ImagePrinter() override { endPicture(); }

    int dpiX() const override { return m_dpi; }
    int dpiY() const override { return m_dpi; }
    int pageWidth() const override { return m_page.paintRectPixels(m_dpi).width(); }
    int pageHeight() const override { return m_page.paintRectPixels(m_dpi).height(); }
    bool startDocument(const std::string&, std::string&) override { return true; }
    void startPage() override
    {
        endPicture();
        const QRect full = m_page.fullRectPixels(m_dpi);
        const QRect paint = m_page.paintRectPixels(m_dpi);
        QImage image(std::max(full.width(), 1), std::max(full.height(), 1), QImage::Format_RGB32);
        image.fill(Qt::white);
        pages.push_back(std::move(image));
        m_painter.begin(&pages.back());
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.setRenderHint(QPainter::TextAntialiasing);
        m_painter.translate(paint.topLeft());
        m_canvas.emplace(m_painter, paint.width(), paint.height());
    }
    Canvas& pageCanvas() override { return m_canvas ? static_cast<Canvas&>(*m_canvas) : m_stray.canvas(); }
    void endPage() override { endPicture(); }
    bool endDocument(std::string&) override
    {
        endPicture();
        return true;
    }
    std::unique_ptr<PrintSurface> createScreenSurface(int width, int height) override
    {
        return std::make_unique<QtImageSurface>(width, height);
    }

    std::vector<QImage> pages;

  private:
    void endPicture()
    {
        m_canvas.reset();
        if (m_painter.isActive())
            m_painter.end();
    }

    QPageLayout m_page;
    int m_dpi;
    QPainter m_painter;
    std::optional<QtCanvas> m_canvas;
    QtImageSurface m_stray{1, 1};
};

} // namespace

PageImages printToImages(SheetViewState& view, const QPageLayout& page, int dpi)
{
    ensureGuiApplication();
    ImagePrinter printer(page, dpi);
    PageImages out;
    out.result = printSheet(view, printer);
    out.pages = std::move(printer.pages);
    return out;
}

} // namespace tonvela
