#include "shell/documents/chord_window.h"

#include "editor/chord_printing.h"
#include "editor/commands.h"
#include "harmony/chord_diagram_drawing.h"
#include "harmony/chord_document_file.h"
#include "recovery/recovery_store.h"
#include "render/qt_canvas.h"
#include "score/sheet_file.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <cstdlib>

namespace tonvela {
namespace {

// One notch of a mouse wheel.
constexpr int kWheelStep = 120;

} // namespace

ChordWindow::ChordWindow(std::unique_ptr<ChordDocument> document, QWidget* parent)
    : QWidget(parent), m_document(std::move(document)), m_scrollBar(new QScrollBar(Qt::Horizontal, this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    // The page moves when the thumb is let go, never while it is dragged.
    m_scrollBar->setTracking(false);
    m_scrollBar->setSingleStep(1);
    m_scrollBar->setPageStep(3);
    m_scrollBar->setRange(0, 0);
    connect(m_scrollBar, &QScrollBar::actionTriggered, this, [this](int action) { scrollBarAction(action); });
    m_document->setView(this);
    setWindowTitle(qtText(m_document->windowText()));
}

ChordWindow::~ChordWindow()
{
    m_document->setView(nullptr);
}

int ChordWindow::pageHeight() const
{
    return std::max(0, height() - m_scrollBar->sizeHint().height());
}

QStringList ChordWindow::saveFilters() const
{
    return {QString::fromUtf8(kSheetFilter), QString::fromUtf8(kAllFilesFilter)};
}

FileResult ChordWindow::saveTo(const std::string& path, const std::string& title, int /*filterIndex*/)
{
    return writeChordDocument(*m_document, title, path);
}

std::optional<RecoveryCopy> ChordWindow::recoveryCopy() const
{
    return RecoveryCopy{kRecoveryKindChord,
                        [diagrams = m_document->diagrams(), lineEnd = m_document->lineEnd] {
                            return chordDiagramsText(diagrams, lineEnd);
                        }};
}

PrintResult ChordWindow::print(Printer& printer)
{
    return printChordDocument(*m_document, printer);
}

bool ChordWindow::answers(int commandId) const
{
    switch (commandId) {
    case kCmdRemoveDiagram:
    case kCmdRemoveSelectedDiagrams:
    case kCmdAddAllDiagramsToSheet:
    case kCmdAddSelectedDiagramsToSheet:
    case kCmdDelete:
    case kCmdClear:
    case kCmdSelectAll:
    case kCmdUndo:
    case kCmdRedo:
        return true;
    default:
        return false;
    }
}

bool ChordWindow::command(int commandId)
{
    ChordDocument& doc = *m_document;
    switch (commandId) {
    case kCmdRemoveDiagram:
        if (doc.diagramAt(m_chosen))
            doc.removeDiagram(m_chosen);
        break;
    case kCmdRemoveSelectedDiagrams:
    case kCmdDelete:
        doc.removeSelectedDiagrams();
        break;
    case kCmdClear:
        doc.clearDiagrams();
        break;
    case kCmdSelectAll:
        doc.selectAll();
        return true;
    case kCmdUndo:
        doc.undo();
        break;
    case kCmdRedo:
        doc.redo();
        break;
    case kCmdAddAllDiagramsToSheet:
    case kCmdAddSelectedDiagramsToSheet:
        if (onAddToSheet)
            onAddToSheet(*this, commandId == kCmdAddSelectedDiagramsToSheet);
        return true;
    default:
        return false;
    }
    // The diagrams moved: the one chosen before may be gone or stand elsewhere now.
    m_chosen = -1;
    return true;
}

QMenu* ChordWindow::makeContextMenu(QPoint at)
{
    m_chosen = m_document->diagramAtPoint(at.x(), at.y());
    const bool any = m_document->diagramCount() > 0;
    const bool selected = m_document->anySelected();
    auto* menu = new QMenu(this);
    const struct {
        const char* text;
        int id;
        bool enabled;
    } items[] = {
        {kRemoveDiagramText, kCmdRemoveDiagram, m_chosen >= 0},
        {kRemoveSelectedDiagramsText, kCmdRemoveSelectedDiagrams, selected},
        {kAddAllDiagramsToSheetText, kCmdAddAllDiagramsToSheet, any},
        {kAddSelectedDiagramsToSheetText, kCmdAddSelectedDiagramsToSheet, selected},
    };
    for (const auto& item : items) {
        if (item.id == kCmdAddAllDiagramsToSheet)
            menu->addSeparator();
        QAction* action = menu->addAction(QString::fromUtf8(item.text));
        action->setEnabled(item.enabled);
        connect(action, &QAction::triggered, this, [this, id = item.id] { command(id); });
    }
    return menu;
}

void ChordWindow::repaint(const PageRect& area)
{
    update(QRect(QPoint(area.left, area.top), QPoint(area.right, area.bottom)).normalized());
}

void ChordWindow::windowTextChanged(const std::string& text)
{
    setWindowTitle(qtText(text));
    if (onStateChanged)
        onStateChanged(*this);
}

void ChordWindow::scrollRangeChanged(int maximum, int position)
{
    m_scrollBar->setRange(0, maximum);
    m_scrollBar->setSliderPosition(position);
    m_scrollBar->setValue(position);
    m_scrollBar->setEnabled(maximum > 0);
}

void ChordWindow::scrollBarAction(int action)
{
    ChordDocument& doc = *m_document;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        doc.scroll(PageScroll::LineLeft);
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        doc.scroll(PageScroll::LineRight);
        break;
    case QAbstractSlider::SliderPageStepSub:
        doc.scroll(PageScroll::PageLeft);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        doc.scroll(PageScroll::PageRight);
        break;
    case QAbstractSlider::SliderMove:
        // Without tracking this comes once, when the dragged thumb is let go.
        doc.scrollTo(m_scrollBar->sliderPosition());
        break;
    default:
        break;
    }
    // The slider takes the page's position, not the one it worked out itself.
    m_scrollBar->setSliderPosition(doc.page().scrollPos);
}

void ChordWindow::resizeEvent(QResizeEvent*)
{
    const int bar = m_scrollBar->sizeHint().height();
    m_scrollBar->setGeometry(0, height() - bar, width(), bar);
    m_document->resizePage(width(), pageHeight());
    update();
}

void ChordWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QtCanvas canvas(painter, width(), pageHeight());
    drawChordPage(canvas, *m_document);
}

void ChordWindow::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    m_document->hover(at.x(), at.y());
}

void ChordWindow::leaveEvent(QEvent*)
{
    // No diagram lies under a pointer that left the page.
    m_document->hover(-1, -1);
}

void ChordWindow::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton)
        m_document->pressLeft();
}

void ChordWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    const bool pressed = m_document->pressed != 0;
    m_document->releaseLeft(at.x(), at.y(), false);
    if (pressed)
        m_chosen = m_document->diagramAtPoint(at.x(), at.y());
}

void ChordWindow::wheelEvent(QWheelEvent* event)
{
    m_wheelRest += event->angleDelta().y();
    while (std::abs(m_wheelRest) >= kWheelStep) {
        const bool forward = m_wheelRest > 0;
        m_document->wheel(forward);
        m_wheelRest += forward ? -kWheelStep : kWheelStep;
    }
    event->accept();
}

void ChordWindow::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu(makeContextMenu(event->pos()));
    menu->exec(event->globalPos());
}

} // namespace tonvela
