#include "shell/documents/lyric_box.h"

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
        if (place.note >= 0 && m_sheetWindow.hasFocus()) {
            setFocus(Qt::OtherFocusReason);
            selectAll();
        }
    }
}

void LyricBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_sheetWindow.setFocus(Qt::OtherFocusReason);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
    // What the line does not use stops here: the sheet window behind it would take it as a
    // tool or note key.
    event->accept();
}

} // namespace tonvela
