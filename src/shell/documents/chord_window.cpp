#include "shell/documents/chord_window.h"

#include "harmony/chord_document_file.h"
#include "render/qt_canvas.h"
#include "score/sheet_file.h"

#include <QPainter>

namespace tonvela {

ChordWindow::ChordWindow(std::unique_ptr<ChordDocument> document, QWidget* parent)
    : QWidget(parent), m_document(std::move(document))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    m_document->setView(this);
    setWindowTitle(qtText(m_document->windowText()));
}

ChordWindow::~ChordWindow()
{
    m_document->setView(nullptr);
}

QStringList ChordWindow::saveFilters() const
{
    return {QString::fromUtf8(kSheetFilter), QString::fromUtf8(kAllFilesFilter)};
}

FileResult ChordWindow::saveTo(const std::string& path, const std::string& title, int /*filterIndex*/)
{
    return writeChordDocument(*m_document, title, path);
}

void ChordWindow::windowTextChanged(const std::string& text)
{
    setWindowTitle(qtText(text));
    if (onStateChanged)
        onStateChanged(*this);
}

void ChordWindow::resizeEvent(QResizeEvent*)
{
    m_document->resizePage(width(), height());
    update();
}

void ChordWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    m_document->placeDiagrams();
    painter.setRenderHint(QPainter::Antialiasing);
    for (const ChordDiagram& d : m_document->diagrams()) {
        if (d.boxRight <= d.boxLeft || d.boxBottom <= d.boxTop)
            continue;
        const QRect box(d.boxLeft, d.boxTop, d.boxRight - d.boxLeft, d.boxBottom - d.boxTop);
        painter.setPen(d.selected ? QColor(200, 0, 0) : QColor(60, 60, 60));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        QFont bold(QStringLiteral("Arial"), 12, QFont::Bold);
        painter.setFont(bold);
        painter.drawText(box.adjusted(4, 4, -4, -4), Qt::AlignHCenter | Qt::AlignTop, qtText(d.label));
        painter.setFont(QFont(QStringLiteral("Arial"), 9));
        painter.drawText(box.adjusted(4, 28, -4, -4), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                         QStringLiteral("fret %1\n%2").arg(d.startFret).arg(qtText(d.fingering)));
    }
}

} // namespace tonvela
