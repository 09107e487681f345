#include "shell/documents/scale_diagram_window.h"

#include "platform/clock.h"
#include "render/qt_canvas.h"
#include "render/scale_rendering.h"

#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace tonvela {

ScaleDiagramWindow::ScaleDiagramWindow(Clock& clock, const ScaleSelection& scale, QWidget* parent)
    : QAbstractScrollArea(parent), m_clock(clock)
{
    setObjectName(QStringLiteral("ScaleDiagramWindow"));
    setWindowTitle(QString::fromUtf8(kScaleDiagramTitle));
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        bar->setSingleStep(kScaleScrollLine);
        bar->setPageStep(kScaleScrollPage);
    }
    m_view.setSelection(scale);
    m_owedPaint.setSingleShot(true);
    m_owedPaint.setTimerType(Qt::PreciseTimer);
    connect(&m_owedPaint, &QTimer::timeout, this, [this] { requestPaint(); });
}

void ScaleDiagramWindow::setScale(const ScaleSelection& scale)
{
    m_view.setSelection(scale);
    requestPaint();
}

void ScaleDiagramWindow::setOpenStrings(const std::string& openStrings)
{
    if (openStrings == m_view.openStrings())
        return;
    m_view.setOpenStrings(openStrings);
    requestPaint();
}

void ScaleDiagramWindow::requestPaint()
{
    const int64_t now = m_clock.nowMs();
    if (m_throttle.tryPaint(now)) {
        m_owedPaint.stop();
        paintBuffer();
        return;
    }
    // The paint is owed: it runs once the interval has passed (a timer that fires a little
    // early just asks again).
    if (!m_owedPaint.isActive())
        m_owedPaint.start(static_cast<int>(std::max<int64_t>(1, m_throttle.dueInMs(now))));
}

void ScaleDiagramWindow::paintBuffer()
{
    if (m_buffer.isNull())
        return;
    {
        QPainter painter(&m_buffer);
        QtCanvas canvas(painter, m_buffer.width(), m_buffer.height());
        m_view.paint(canvas, &fretboardPicture(m_view.openStrings()));
    }
    ++m_paintsDone;
    viewport()->update();
}

void ScaleDiagramWindow::updateScrollBars()
{
    const auto follow = [this](QScrollBar* bar, ScrollAxis axis) {
        const ScrollRange& r = m_view.range(axis);
        bar->setRange(0, r.maximum);
        bar->setValue(r.position);
    };
    follow(horizontalScrollBar(), ScrollAxis::Horizontal);
    follow(verticalScrollBar(), ScrollAxis::Vertical);
}

void ScaleDiagramWindow::scrollContentsBy(int, int)
{
    const bool horizontal = m_view.setPosition(ScrollAxis::Horizontal, horizontalScrollBar()->value());
    const bool vertical = m_view.setPosition(ScrollAxis::Vertical, verticalScrollBar()->value());
    if (horizontal || vertical)
        requestPaint();
}

void ScaleDiagramWindow::resizeEvent(QResizeEvent*)
{
    const QSize client = viewport()->size();
    m_view.setClientSize(client.width(), client.height());
    updateScrollBars();
    if (client.isEmpty()) {
        m_buffer = QImage();
        return;
    }
    m_buffer = QImage(client, QImage::Format_RGB32);
    // A new buffer holds nothing yet: it is painted now, whatever the interval.
    m_throttle.painted(m_clock.nowMs());
    m_owedPaint.stop();
    paintBuffer();
}

void ScaleDiagramWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QColor grey(kScaleDiagramBackground.r, kScaleDiagramBackground.g, kScaleDiagramBackground.b);
    if (m_buffer.size() != viewport()->size())
        painter.fillRect(viewport()->rect(), grey);
    if (!m_buffer.isNull())
        painter.drawImage(0, 0, m_buffer);
}

} // namespace tonvela
