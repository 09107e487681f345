#include "shell/documents/lyric_box.h"

#include "editor/commands.h"
#include "editor/editing/sheet_editor.h"
#include "score/note.h"

#include <QKeyEvent>

namespace tonvela {

LyricBox::LyricBox(SheetEditor& editor, QWidget& sheetWindow)
    : FlowingTextBox(editor, sheetWindow, QStringLiteral("LyricBox"), 150, false,
                     static_cast<int>(kMaxLyricLength))
{
    // Only the user's edits write the lyric; follow() fills the box without writing.
    connect(this, &QLineEdit::textEdited, this,
            [this](const QString& text) { setLyric(m_editor, text.toStdString()); });
}

FlowBoxPlacement LyricBox::placement()
{
    return lyricBoxPlacement(m_editor);
}

void LyricBox::step(bool forward)
{
    stepLyricNote(m_editor, forward);
}

void LyricBox::endEntry()
{
    if (m_editor.tools().lyricMode)
        applyTool(m_editor, kToolLyrics);
}

void LyricBox::typed(const QKeyEvent& key)
{
    // A hyphen ends the syllable, which keeps it, and the flow goes on to the next note.
    if (key.text() == QStringLiteral("-") && !isReadOnly())
        stepLyricNote(m_editor, true);
}

} // namespace tonvela
