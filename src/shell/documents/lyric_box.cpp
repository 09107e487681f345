#include "shell/documents/lyric_box.h"

#include "editor/commands.h"
#include "editor/editing/sheet_editor.h"
#include "editor/editing/tool_editing.h"
#include "score/note.h"

#include <QKeyEvent>

namespace tonvela {
namespace {
constexpr int kBoxWidth = 150;
constexpr int kBoxHeight = 24;
constexpr int kFontPixels = 14;
} // namespace

LyricBox::LyricBox(SheetEditor& editor, QWidget& sheetWindow)
    : QLineEdit(&sheetWindow), m_editor(editor), m_sheetWindow(sheetWindow)
{
    setObjectName(QStringLiteral("LyricBox"));
    setFixedSize(kBoxWidth, kBoxHeight);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(kFontPixels);
    setFont(font);
    setMaxLength(static_cast<int>(kMaxLyricLength));
    hide();
    // Only the user's edits write the lyric; follow() fills the box without writing.
    connect(this, &QLineEdit::textEdited, this,
            [this](const QString& text) { setLyric(m_editor, text.toStdString()); });
}

void LyricBox::follow()
{
    const LyricBoxPlacement place = lyricBoxPlacement(m_editor);
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
    const QString lyric = QString::fromStdString(place.text);
    if (text() != lyric)
        setText(lyric);
    if (pos() != QPoint(place.x, place.y))
        move(place.x, place.y);
    // Without a note the text would be stored nowhere: the box takes none.
    setReadOnly(place.note < 0);
    const bool otherNote = place.track != m_track || place.note != m_note;
    m_track = place.track;
    m_note = place.note;
    if (isHidden() || otherNote) {
        show();
        raise();
        // At the next note of the flow the box keeps the keyboard and the new note's lyric is
        // selected, so typing replaces it.
        if (place.note >= 0 && (m_sheetWindow.hasFocus() || hasFocus())) {
            setFocus(Qt::OtherFocusReason);
            selectAll();
        }
    }
}

bool LyricBox::event(QEvent* event)
{
    // Tab and Shift+Tab step through the notes like Space; they never move the focus away.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
            stepLyricNote(m_editor, !back);
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void LyricBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // The lyric tool ends: the box goes and the keyboard is the sheet's again.
        m_sheetWindow.setFocus(Qt::OtherFocusReason);
        if (m_editor.tools().lyricMode)
            applyTool(m_editor, kToolLyrics);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Space) {
        stepLyricNote(m_editor, !(event->modifiers() & Qt::ShiftModifier));
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
    // A hyphen ends the syllable, which keeps it, and the flow goes on to the next note.
    if (event->text() == QStringLiteral("-") && !isReadOnly())
        stepLyricNote(m_editor, true);
    // What the line does not use stops here: the sheet window behind it would take it as a
    // tool or note key.
    event->accept();
}

} // namespace tonvela
