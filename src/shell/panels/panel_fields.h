#pragma once

#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSpinBox>
#include <QWheelEvent>

#include <functional>

namespace tonvela {

// A spin box that takes wheel steps only while it has the keyboard focus: a wheel turned to
// scroll the panel must not change the sheet (one stray step of "Number Tracks:" removes a
// track). Without the focus the wheel goes on to the panel. A typed value counts once it is
// finished (Return or the focus leaving), not with every keystroke.
template <class SpinBox> class FocusWheelSpinBox : public SpinBox {
  public:
    FocusWheelSpinBox()
    {
        this->setFocusPolicy(Qt::StrongFocus);
        this->setKeyboardTracking(false);
    }

  protected:
    void wheelEvent(QWheelEvent* event) override
    {
        if (!this->hasFocus()) {
            event->ignore();
            return;
        }
        SpinBox::wheelEvent(event);
    }
};

// The "Scale:" field: its arrows, keys and wheel report steps (the sheet decides the zoom they
// give), a typed value is reported as it is. The field shows what the sheet took.
class ZoomSpinBox : public FocusWheelSpinBox<QDoubleSpinBox> {
  public:
    std::function<void(int steps)> onSteps;

    void stepBy(int steps) override;
};

// A line edit of a panel whose text is checked while it is typed: a text that cannot go in turns
// the frame red and the tooltip says why; nothing is applied then. A text that can go in is
// applied when it is finished (Return, or the focus leaving), and only when the user changed it.
// When the focus leaves a field whose text could not go in, it shows the sheet's value again.
class CheckedField : public QLineEdit {
  public:
    CheckedField(const char* objectName, const QString& toolTip);

    // Why a text cannot go in; empty when it can.
    std::function<QString(const QString& text)> check;
    // A finished text that can go in.
    std::function<void(const QString& text)> commit;

    // The sheet's value: shown unless the user is typing in the field.
    void showValue(const QString& text);
    // No sheet: empty and disabled.
    void showNothing();
    bool invalid() const { return m_invalid; }

  protected:
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void recheck();
    void finished();
    void setInvalid(const QString& why);

    QString m_toolTip;
    QString m_shown;
    bool m_invalid = false;
};

// Whether a shortcut key pressed in a panel field goes to the document rather than to the field
// (`edit` is the field's text, a spin box's own line edit for a spin box): Undo and Redo when the
// field has nothing of its own to undo or redo (right after the "Number Tracks:" arrows, Ctrl+Z
// undoes the change of the sheet), every other Ctrl or Alt shortcut (Save, Print, the tools)
// except the keys a text field edits with (clipboard, Select All, word moves and deletes).
bool handsKeyToDocument(const QKeyEvent& key, const QLineEdit& edit);

// Watches the fields of the panels and lets the document's shortcuts through (handsKeyToDocument).
class DocumentShortcutPass : public QObject {
  public:
    explicit DocumentShortcutPass(QObject* parent) : QObject(parent) {}
    // Watches every spin box and line edit inside `panel`.
    void watchFieldsOf(QWidget* panel);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace tonvela
