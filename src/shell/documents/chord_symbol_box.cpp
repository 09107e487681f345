#include "shell/documents/chord_symbol_box.h"

#include "editor/editing/chord_symbol_editing.h"
#include "editor/editing/sheet_editor.h"

namespace tonvela {

ChordSymbolBox::ChordSymbolBox(SheetEditor& editor, QWidget& sheetWindow)
    : FlowingTextBox(editor, sheetWindow, QStringLiteral("ChordSymbolBox"), 110, true, 24)
{
    setPlaceholderText(QStringLiteral("Cm7"));
    setToolTip(
        QStringLiteral("Chord symbol of the current note: Space goes on to the next note, Escape ends"));
    // Every edit that names a chord (or empties the box) becomes the note's symbol at once, as
    // the lyric box writes its lyric; a half-typed name is shown red until it names one.
    connect(this, &QLineEdit::textEdited, this, [this] { commit(); });
}

FlowBoxPlacement ChordSymbolBox::placement()
{
    return chordSymbolBoxPlacement(m_editor);
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

void ChordSymbolBox::endEntry()
{
    // The entry ends with the last symbol that named a chord.
    if (m_editor.tools().chordSymbolMode)
        toggleChordSymbolMode(m_editor);
}

void ChordSymbolBox::markInvalid(bool invalid)
{
    setStyleSheet(invalid ? QStringLiteral("QLineEdit { color: #c00000; }") : QString());
}

} // namespace tonvela
