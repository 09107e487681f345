#include "shell/panels/panel_fields.h"

#include <QAbstractSpinBox>
#include <QStyle>
#include <QToolTip>

namespace tonvela {

void ZoomSpinBox::stepBy(int steps)
{
    // The value is not moved here: a step is the sheet's to take (it keeps the zoom in range).
    if (onSteps && steps != 0)
        onSteps(steps);
}

CheckedField::CheckedField(const char* objectName, const QString& toolTip) : m_toolTip(toolTip)
{
    setObjectName(QString::fromLatin1(objectName));
    setToolTip(toolTip);
    setProperty("panelField", true);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QLineEdit::textEdited, this, [this] { recheck(); });
    connect(this, &QLineEdit::editingFinished, this, [this] { finished(); });
}

void CheckedField::showValue(const QString& text)
{
    setEnabled(true);
    m_shown = text;
    if (hasFocus() && isModified())
        return; // the user is typing: the sheet's value comes back when the focus leaves
    setText(text);
    setInvalid({});
}

void CheckedField::showNothing()
{
    m_shown.clear();
    clear();
    setInvalid({});
    setEnabled(false);
}

void CheckedField::recheck()
{
    setInvalid(check ? check(text()) : QString());
    if (m_invalid && hasFocus())
        QToolTip::showText(mapToGlobal(QPoint(0, height())), toolTip(), this);
    else
        QToolTip::hideText();
}

void CheckedField::finished()
{
    if (!isModified())
        return;
    recheck();
    if (m_invalid)
        return;
    setModified(false);
    if (commit)
        commit(text());
}

void CheckedField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event); // finishes a text that can go in
    if (m_invalid || isModified()) {
        setText(m_shown);
        setModified(false);
        setInvalid({});
    }
}

void CheckedField::setInvalid(const QString& why)
{
    const bool invalid = !why.isEmpty();
    setToolTip(invalid ? why : m_toolTip);
    if (invalid == m_invalid)
        return;
    m_invalid = invalid;
    // The panel's style sheet draws the red frame from this property.
    setProperty("invalid", invalid);
    style()->unpolish(this);
    style()->polish(this);
    update();
}

bool handsKeyToDocument(const QKeyEvent& key, const QLineEdit& edit)
{
    if (key.matches(QKeySequence::Undo))
        return !edit.isUndoAvailable();
    if (key.matches(QKeySequence::Redo))
        return !edit.isRedoAvailable();
    static constexpr QKeySequence::StandardKey kFieldKeys[] = {QKeySequence::Copy,
                                                               QKeySequence::Cut,
                                                               QKeySequence::Paste,
                                                               QKeySequence::SelectAll,
                                                               QKeySequence::MoveToNextWord,
                                                               QKeySequence::MoveToPreviousWord,
                                                               QKeySequence::SelectNextWord,
                                                               QKeySequence::SelectPreviousWord,
                                                               QKeySequence::DeleteEndOfWord,
                                                               QKeySequence::DeleteStartOfWord,
                                                               QKeySequence::MoveToStartOfDocument,
                                                               QKeySequence::MoveToEndOfDocument,
                                                               QKeySequence::SelectStartOfDocument,
                                                               QKeySequence::SelectEndOfDocument};
    for (QKeySequence::StandardKey fieldKey : kFieldKeys)
        if (key.matches(fieldKey))
            return false;
    return (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier)) != 0;
}

void DocumentShortcutPass::watchFieldsOf(QWidget* panel)
{
    for (QAbstractSpinBox* field : panel->findChildren<QAbstractSpinBox*>())
        field->installEventFilter(this);
    // A spin box's own line edit is among these: whichever of the two has the focus is asked.
    for (QLineEdit* field : panel->findChildren<QLineEdit*>())
        field->installEventFilter(this);
}

bool DocumentShortcutPass::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    const QLineEdit* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit)
        if (auto* spin = qobject_cast<QAbstractSpinBox*>(watched))
            edit = spin->findChild<QLineEdit*>();
    if (!edit || !handsKeyToDocument(*static_cast<QKeyEvent*>(event), *edit))
        return false;
    // Not accepted: the field does not claim the key, so the window's shortcut takes it.
    event->ignore();
    return true;
}

} // namespace tonvela
