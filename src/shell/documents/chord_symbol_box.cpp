#include "shell/documents/chord_symbol_box.h"

#include "editor/editing/chord_symbol_editing.h"
#include "editor/editing/sheet_editor.h"
#include "editor/editing/tool_editing.h"

#include <QKeyEvent>

namespace tonvela {
namespace {
constexpr int kBoxWidth = 110;
constexpr int kBoxHeight = 24;
constexpr int kFontPixels = 14;
} // namespace

ChordSymbolBox::ChordSymbolBox(SheetEditor& editor, QWidget& sheetWindow)
    : QLineEdit(&sheetWindow), m_editor(editor), m_sheetWindow(sheetWindow)
{
    setObjectName(QStringLiteral("ChordSymbolBox"));
    setFixedSize(kBoxWidth, kBoxHeight);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(kFontPixels);
    font.setBold(true);
    setFont(font);
    setMaxLength(24);
    setPlaceholderText(QStringLiteral("Cm7"));
    setToolTip(
        QStringLiteral("Chord symbol of the current note: Space goes on to the next note, Escape ends"));
    hide();
    // Every edit that names a chord (or empties the box) becomes the note's symbol at once, as
    // the lyric box writes its lyric; a half-typed name is shown red until it names one.
    connect(this, &QLineEdit::textEdited, this, [this] { commit(); });
}

void ChordSymbolBox::follow()
{
    const ChordSymbolBoxPlacement place = chordSymbolBoxPlacement(m_editor);
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
    if (otherNote) {
        setText(QString::fromStdString(place.text));
        markInvalid(false);
    }
    if (pos() != QPoint(place.x, place.y))
        move(place.x, place.y);
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

bool ChordSymbolBox::commit()
{
    if (isReadOnly())
        return true;
    const TypedChordSymbol result = setChordSymbolFromText(m_editor, text().toStdString());
    markInvalid(result == TypedChordSymbol::NotAChord);
    return result != TypedChordSymbol::NotAChord;
}

void ChordSymbolBox::step(bool forward)
{
    if (commit())
        stepLyricNote(m_editor, forward);
}

void ChordSymbolBox::markInvalid(bool invalid)
{
    setStyleSheet(invalid ? QStringLiteral("QLineEdit { color: #c00000; }") : QString());
}

bool ChordSymbolBox::event(QEvent* event)
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

void ChordSymbolBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        // The entry ends with the last symbol that named a chord.
        m_sheetWindow.setFocus(Qt::OtherFocusReason);
        if (m_editor.tools().chordSymbolMode)
            toggleChordSymbolMode(m_editor);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        step(!(event->modifiers() & Qt::ShiftModifier));
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
    // Nothing typed here reaches the sheet window behind it as a tool or note key.
    event->accept();
}

} // namespace tonvela
