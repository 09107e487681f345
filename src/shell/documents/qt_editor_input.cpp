#include "shell/documents/qt_editor_input.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace tonvela {
namespace {

EditorKey editorKeyOf(int qtKey)
{
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return keyOfCharacter(static_cast<char>(qtKey)); // Qt's codes of these keys are ASCII
    switch (qtKey) {
    case Qt::Key_Up:
        return EditorKey::Up;
    case Qt::Key_Down:
        return EditorKey::Down;
    case Qt::Key_Left:
        return EditorKey::Left;
    case Qt::Key_Right:
        return EditorKey::Right;
    case Qt::Key_Delete:
        return EditorKey::Delete;
    case Qt::Key_Backspace:
        return EditorKey::Backspace;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return EditorKey::Enter;
    case Qt::Key_Escape:
        return EditorKey::Escape;
    case Qt::Key_Tab:
        return EditorKey::Tab;
    case Qt::Key_Space:
        return EditorKey::Space;
    case Qt::Key_Home:
        return EditorKey::Home;
    case Qt::Key_End:
        return EditorKey::End;
    case Qt::Key_PageUp:
        return EditorKey::PageUp;
    case Qt::Key_PageDown:
        return EditorKey::PageDown;
    default:
        return EditorKey::None;
    }
}

PointerButton pointerButtonOf(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return PointerButton::Left;
    case Qt::RightButton:
        return PointerButton::Right;
    default:
        return PointerButton::None;
    }
}

} // namespace

KeyInput keyInputOf(const QKeyEvent& event)
{
    KeyInput key;
    key.key = editorKeyOf(event.key());
    key.shift = event.modifiers().testFlag(Qt::ShiftModifier);
    key.ctrl = event.modifiers().testFlag(Qt::ControlModifier);
    return key;
}

PointerInput pointerInputOf(const QMouseEvent& event, float zoom, int64_t timeMs)
{
    PointerInput pointer;
    const QPointF at = event.position();
    pointer.x = static_cast<int>(at.x() / static_cast<double>(zoom));
    pointer.y = static_cast<int>(at.y() / static_cast<double>(zoom));
    pointer.shift = event.modifiers().testFlag(Qt::ShiftModifier);
    pointer.ctrl = event.modifiers().testFlag(Qt::ControlModifier);
    pointer.timeMs = timeMs;
    // A move carries no button of its own; presses and releases carry the one that changed.
    pointer.button =
        event.type() == QEvent::MouseMove ? PointerButton::None : pointerButtonOf(event.button());
    return pointer;
}

} // namespace tonvela
