#include "shell/documents/flowing_text_box.h"

#include <QKeyEvent>

namespace tonvela {
namespace {
constexpr int kBoxHeight = 24;
constexpr int kFontPixels = 14;
} // namespace

FlowingTextBox::FlowingTextBox(SheetEditor& editor, QWidget& sheetWindow, const QString& objectName,
                               int width, bool bold, int maxLength)
    : QLineEdit(&sheetWindow), m_editor(editor), m_sheetWindow(sheetWindow)
{
    setObjectName(objectName);
    setFixedSize(width, kBoxHeight);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(kFontPixels);
    font.setBold(bold);
    setFont(font);
    setMaxLength(maxLength);
    hide();
}

void FlowingTextBox::follow()
{
    const FlowBoxPlacement place = placement();
    if (!place.shown) {
        if (!isHidden()) {
            const bool hadKeyboard = hasFocus();
            hide();
            if (hadKeyboard)
                m_sheetWindow.setFocus();
        }
        m_track = m_note = -1;
        return;
    }
    const bool otherNote = place.track != m_track || place.note != m_note;
    if (otherNote || refillsAtTheSameNote()) {
        const QString stored = QString::fromStdString(place.text);
        if (text() != stored)
            setText(stored);
    }
    if (otherNote)
        movedToNote();
    if (pos() != QPoint(place.x, place.y))
        move(place.x, place.y);
    // Without a note the text would be stored nowhere: the box takes none.
    setReadOnly(place.note < 0);
    m_track = place.track;
    m_note = place.note;
    if (isHidden() || otherNote) {
        show();
        raise();
        if (place.note >= 0 && (m_sheetWindow.hasFocus() || hasFocus())) {
            setFocus(Qt::OtherFocusReason);
            selectAll();
        }
    }
}

void FlowingTextBox::finish()
{
    m_sheetWindow.setFocus(Qt::OtherFocusReason);
    endEntry();
}

bool FlowingTextBox::event(QEvent* event)
{
    // Tab and Shift+Tab step through the notes like Space; they never move the focus away.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            step(!(key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier)));
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void FlowingTextBox::keyPressEvent(QKeyEvent* event)
{
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (event->key() == Qt::Key_Escape || (isReturn && !returnSteps())) {
        finish();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Space || isReturn) {
        step(!(event->modifiers() & Qt::ShiftModifier));
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
    typed(*event);
    // What the line does not use stops here: the sheet window behind it would take it as a
    // tool or note key.
    event->accept();
}

} // namespace tonvela
