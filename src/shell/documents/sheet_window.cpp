#include "shell/documents/sheet_window.h"

#include "render/pdf_printer.h"

#include "editor/commands.h"
#include "editor/editing/context_menu.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "platform/clock.h"
#include "platform/sheet_lock.h"
#include "playback/midi_file_writer.h"
#include "playback/scheduler.h"
#include "recovery/recovery_store.h"
#include "render/qt_canvas.h"
#include "score/sheet_file.h"
#include "shell/documents/chord_symbol_box.h"
#include "shell/documents/lyric_box.h"
#include "shell/documents/qt_editor_input.h"
#include "shell/documents/sheet_context_menu.h"
#include "shell/panels/length_bar.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>

namespace tonvela {
namespace {
constexpr int kWheelNotch = 120;
} // namespace

SheetWindow::SheetWindow(std::unique_ptr<SheetDocument> sheet, PainterThread& painter, Clock& clock,
                         QWidget* parent)
    : QWidget(parent), m_sheet(sheet.release()), m_view(*m_sheet), m_editor(m_view, *this),
      m_painter(painter), m_clock(clock), m_scrollBar(new QScrollBar(Qt::Vertical, this)),
      m_lyricBox(new LyricBox(m_editor, *this)), m_chordBox(new ChordSymbolBox(m_editor, *this)),
      m_shown(*m_sheet)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(120, 120);
    m_scrollBar->setRange(0, 0);
    m_scrollBar->setSingleStep(1);
    m_scrollBar->setPageStep(kPageRows);
    connect(m_scrollBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (value != m_view.firstVisibleRow)
            m_editor.scrollTo(value);
    });
    m_view.title = m_sheet->caption;
    m_sheet->addObserver(this);
    setWindowTitle(qtText(m_sheet->windowText()));
}

void SheetWindow::LockedDelete::operator()(SheetDocument* sheet) const
{
    SheetLockGuard lock(sheetLock());
    delete sheet;
}

SheetWindow::~SheetWindow()
{
    m_painter.forget(this);
    m_sheet->removeObserver(this);
}

int SheetWindow::clientWidth() const
{
    return std::max(1, width() - m_scrollBar->sizeHint().width());
}

void SheetWindow::onResize()
{
    m_editor.resize(clientWidth(), std::max(1, height()));
}

void SheetWindow::layoutChanged()
{
    updateScrollBar();
    markChanged();
    requestPaint();
    notifyState();
}

void SheetWindow::scrolled()
{
    updateScrollBar();
    requestPaint();
}

void SheetWindow::toolsChanged()
{
    markChanged();
    requestPaint();
    if (onToolsChanged)
        onToolsChanged(*this);
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

void SheetWindow::handOverView()
{
    std::lock_guard lock(m_shownMutex);
    m_shown = m_view;
}

void SheetWindow::requestPaint()
{
    handOverView();
    m_lyricBox->follow();
    m_chordBox->follow();
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
    SheetViewState view(*m_sheet);
    {
        std::lock_guard lock(m_shownMutex);
        view = m_shown;
    }
    const int w = view.clientWidth;
    const int h = view.clientHeight;
    if (m_sheet->trackCount() == 0 || m_minimized.load() || w <= 0 || h <= 0)
        return;
    m_changed.store(false);
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        QtCanvas canvas(painter, w, h);
        drawSheet(view, canvas, false);
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
        m_editor.wheelStep(true, ctrl);
    }
    while (m_wheelRemainder <= -kWheelNotch) {
        m_wheelRemainder += kWheelNotch;
        m_editor.wheelStep(false, ctrl);
    }
    event->accept();
}

void SheetWindow::keyPressEvent(QKeyEvent* event)
{
    if (m_editor.keyPressed(keyInputOf(*event))) {
        event->accept();
        return;
    }
    // The cursor keys are this window's, not the main window's accelerators, so the panels'
    // fields keep their arrows.
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        int command = 0;
        switch (event->key()) {
        case Qt::Key_Up:
            command = kCmdCursorUp;
            break;
        case Qt::Key_Down:
            command = kCmdCursorDown;
            break;
        case Qt::Key_Left:
            command = kCmdCursorLeft;
            break;
        case Qt::Key_Right:
            command = kCmdCursorRight;
            break;
        default:
            break;
        }
        if (command && m_editor.command(command)) {
            event->accept();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void SheetWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        setFocus(Qt::MouseFocusReason);
    m_editor.pointerPressed(pointerInputOf(*event, m_view.zoom(), m_clock.nowMs()));
}

void SheetWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_editor.pointerMoved(pointerInputOf(*event, m_view.zoom(), m_clock.nowMs())))
        trackPendingMoveLater();
}

void SheetWindow::trackPendingMoveLater()
{
    const std::optional<int64_t> due = m_editor.pendingPointerMoveDueMs();
    if (!due || m_moveTimerArmed)
        return;
    m_moveTimerArmed = true;
    const auto wait = static_cast<int>(std::clamp<int64_t>(*due - m_clock.nowMs(), 0, kPointerTrackMs));
    QTimer::singleShot(wait, this, [this] {
        m_moveTimerArmed = false;
        m_editor.trackPendingPointerMove(m_clock.nowMs());
    });
}

void SheetWindow::leaveEvent(QEvent* event)
{
    m_editor.pointerLeft();
    QWidget::leaveEvent(event);
}

void SheetWindow::selectionChanged()
{
    markChanged();
    requestPaint();
    notifyState();
}

void SheetWindow::statusTextChanged(const std::string&)
{
    notifyState();
}

void SheetWindow::mouseReleaseEvent(QMouseEvent* event)
{
    m_editor.pointerReleased(pointerInputOf(*event, m_view.zoom(), m_clock.nowMs()));
}

void SheetWindow::contextMenuEvent(QContextMenuEvent* event)
{
    const double zoom = m_view.zoom();
    const int x = static_cast<int>(event->pos().x() / zoom);
    const int y = static_cast<int>(event->pos().y() / zoom);
    int track = -1;
    int measure = 0;
    {
        SheetLockGuard lock(sheetLock());
        track = trackAtPoint(m_view, x, y);
        measure = measureAtPoint(m_view, x, y);
    }
    const std::unique_ptr<QMenu> menu(makeSheetContextMenu(m_editor, track, measure, this));
    menu->exec(event->globalPos());
    event->accept();
}

void SheetWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange) {
        const QWidget* frame = parentWidget() ? parentWidget() : this;
        m_minimized.store(frame->isMinimized() || isMinimized());
    }
    QWidget::changeEvent(event);
}

QStringList SheetWindow::saveFilters() const
{
    return {QString::fromUtf8(kSheetFilter), QString::fromUtf8(kMidiFilter),
            QString::fromUtf8(kAllFilesFilter)};
}

FileResult SheetWindow::saveTo(const std::string& path, const std::string& title, int filterIndex)
{
    if (filterIndex == 1)
        return writeMidiFile(*m_sheet, path, 0);
    return saveSheet(*m_sheet, title, path);
}

std::optional<RecoveryCopy> SheetWindow::recoveryCopy() const
{
    auto copy = std::make_shared<const SheetCopy>(copySheet(*m_sheet));
    return RecoveryCopy{kRecoveryKindSheet, [copy] { return sheetCopyText(*copy); }};
}

PrintResult SheetWindow::print(Printer& printer)
{
    m_view.title = m_sheet->caption;
    return printSheet(m_view, printer);
}

std::optional<QPageLayout> SheetWindow::pageLayout() const
{
    return pageLayoutOf(m_sheet->pageSetup);
}

bool SheetWindow::setMidiDevice(int device)
{
    m_midiDevice = device;
    return true;
}

void SheetWindow::setPlayPosition(int position)
{
    m_playPosition = std::clamp(position, 0, kSliderRange);
}

void SheetWindow::playbackChanged()
{
    markChanged();
    requestPaint();
}

void SheetWindow::sheetChanged(const SheetChangeEvent& change)
{
    if (change.kind != SheetChange::Selection)
        ++m_changes;
    if (change.kind == SheetChange::Caption) {
        m_view.title = m_sheet->caption;
        setWindowTitle(qtText(m_sheet->windowText()));
    }
    // Changed notes are laid out again, and the editor tells the window once that is done; the
    // panels follow the other changes of the sheet as observers of their own.
}

} // namespace tonvela
