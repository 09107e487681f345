#include "shell/sheet_window.h"

#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "platform/clock.h"
#include "platform/sheet_lock.h"
#include "render/qt_canvas.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>

namespace tonvela {
namespace {
constexpr int kWheelNotch = 120;
constexpr int kPageRows = 3;
} // namespace

SheetWindow::SheetWindow(std::unique_ptr<SheetDocument> sheet, PainterThread& painter, Clock& clock,
                         QWidget* parent)
    : QWidget(parent), m_sheet(std::move(sheet)), m_view(*m_sheet), m_painter(painter), m_clock(clock),
      m_scrollBar(new QScrollBar(Qt::Vertical, this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(120, 120);
    m_scrollBar->setRange(0, 0);
    m_scrollBar->setSingleStep(1);
    m_scrollBar->setPageStep(kPageRows);
    connect(m_scrollBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (value != m_view.firstVisibleRow)
            scrollTo(value);
    });
    m_view.title = m_sheet->caption;
    m_sheet->setView(this);
    setWindowTitle(qtText(m_sheet->windowText()));
}

SheetWindow::~SheetWindow()
{
    m_painter.forget(this);
    SheetLockGuard lock(sheetLock());
    m_sheet->setView(nullptr);
}

int SheetWindow::clientWidth() const
{
    return std::max(1, width() - m_scrollBar->sizeHint().width());
}

void SheetWindow::onResize()
{
    {
        SheetLockGuard lock(sheetLock());
        m_view.setClientSize(clientWidth(), std::max(1, height()));
        m_view.updateLayoutSize();
        layoutRows(m_view);
    }
    updateScrollBar();
    markChanged();
    requestPaint();
    notifyState();
}

void SheetWindow::refresh()
{
    {
        SheetLockGuard lock(sheetLock());
        m_view.updateLayoutSize();
        layoutRows(m_view);
    }
    updateScrollBar();
    markChanged();
    requestPaint();
    notifyState();
}

void SheetWindow::scroll(ScrollAction action)
{
    int delta = 0;
    switch (action) {
    case ScrollAction::LineUp:
        delta = -1;
        break;
    case ScrollAction::LineDown:
        delta = 1;
        break;
    case ScrollAction::PageUp:
        delta = -kPageRows;
        break;
    case ScrollAction::PageDown:
        delta = kPageRows;
        break;
    }
    const int row = m_view.firstVisibleRow;
    if ((delta < 0 && row <= 0) || (delta > 0 && row >= m_view.scrollRange))
        return;
    scrollTo(row + delta);
}

void SheetWindow::scrollTo(int row)
{
    {
        SheetLockGuard lock(sheetLock());
        setFirstVisibleRow(m_view, std::clamp(row, 0, m_view.scrollRange));
    }
    updateScrollBar();
    requestPaint();
}

void SheetWindow::wheelStep(bool awayFromUser, bool ctrl)
{
    if (ctrl)
        setZoom(m_sheet->zoomamount + (awayFromUser ? kZoomStep : -kZoomStep));
    scroll(awayFromUser ? ScrollAction::LineUp : ScrollAction::LineDown);
}

void SheetWindow::setZoom(float zoom)
{
    // The zoom has no upper bound of its own, but drawing refuses factors beyond kMaxZoom.
    if (!(zoom > kMinZoom))
        zoom = kMinZoom;
    zoom = std::min(zoom, kMaxZoom);
    {
        SheetLockGuard lock(sheetLock());
        m_sheet->zoomamount = zoom;
    }
    onResize();
    refresh();
}

void SheetWindow::updateScrollBar()
{
    const QSignalBlocker block(m_scrollBar);
    if (m_scrollBar->maximum() != m_view.scrollRange)
        m_scrollBar->setRange(0, m_view.scrollRange);
    m_scrollBar->setValue(m_view.firstVisibleRow);
}

void SheetWindow::notifyState()
{
    if (onStateChanged)
        onStateChanged(*this);
}

void SheetWindow::requestPaint()
{
    const int64_t now = m_clock.nowMs();
    if (m_changed.load() || now - m_lastPaintMs >= kPaintThrottleMs) {
        m_lastPaintMs = now;
        m_painter.enqueue(this);
        return;
    }
    if (!m_retryPending) {
        m_retryPending = true;
        QTimer::singleShot(kPaintThrottleMs, this, [this] {
            m_retryPending = false;
            requestPaint();
        });
    }
}

void SheetWindow::paintOffscreen()
{
    const int w = m_view.clientWidth;
    const int h = m_view.clientHeight;
    if (m_sheet->trackCount() == 0 || m_minimized.load() || w <= 0 || h <= 0)
        return;
    m_changed.store(false);
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        QtCanvas canvas(painter, w, h);
        drawSheet(m_view, canvas, false);
    }
    {
        std::lock_guard lock(m_pictureMutex);
        m_picture = std::move(image);
    }
    // Posted while this window is known to exist: destruction waits for the paint to end
    // and drops events still posted to it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            ++m_paintsDone;
            update();
        },
        Qt::QueuedConnection);
}

QImage SheetWindow::picture() const
{
    std::lock_guard lock(m_pictureMutex);
    return m_picture;
}

void SheetWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int w = clientWidth();
    bool present = false;
    {
        std::lock_guard lock(m_pictureMutex);
        if (!m_picture.isNull()) {
            painter.drawImage(0, 0, m_picture);
            present = true;
            if (m_picture.width() < w)
                painter.fillRect(m_picture.width(), 0, w - m_picture.width(), height(), Qt::white);
            if (m_picture.height() < height())
                painter.fillRect(0, m_picture.height(), w, height() - m_picture.height(), Qt::white);
        } else {
            painter.fillRect(0, 0, w, height(), Qt::white);
        }
    }
    if (present && onPresented)
        onPresented(*this);
}

void SheetWindow::resizeEvent(QResizeEvent*)
{
    const int sw = m_scrollBar->sizeHint().width();
    m_scrollBar->setGeometry(width() - sw, 0, sw, height());
    onResize();
}

void SheetWindow::wheelEvent(QWheelEvent* event)
{
    const int dy = event->angleDelta().y();
    if (dy == 0) {
        event->ignore();
        return;
    }
    // Fine-grained wheels and touchpads send fractions of a notch; whole notches count.
    m_wheelRemainder += dy;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    while (m_wheelRemainder >= kWheelNotch) {
        m_wheelRemainder -= kWheelNotch;
        wheelStep(true, ctrl);
    }
    while (m_wheelRemainder <= -kWheelNotch) {
        m_wheelRemainder += kWheelNotch;
        wheelStep(false, ctrl);
    }
    event->accept();
}

void SheetWindow::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const Track* track = m_sheet->trackAt(m_sheet->selectedTrack);
    // Digits are fret numbers on a tablature track and never reach the note keys.
    if (key >= Qt::Key_0 && key <= Qt::Key_9 && track && track->drawmode == kDrawTablature) {
        event->accept();
        return;
    }
    if (m_editing) {
        m_editing->keyPressed(*this, key);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SheetWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange) {
        const QWidget* frame = parentWidget() ? parentWidget() : this;
        m_minimized.store(frame->isMinimized() || isMinimized());
    }
    QWidget::changeEvent(event);
}

void SheetWindow::windowTextChanged(const std::string& text)
{
    m_view.title = m_sheet->caption;
    setWindowTitle(qtText(text));
    notifyState();
}

void SheetWindow::trackCountShown(int)
{
    notifyState();
}

void SheetWindow::trackSelected(int)
{
    notifyState();
}

} // namespace tonvela
