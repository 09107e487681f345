#include "shell_test_support.h"

#include "shell/documents/qt_editor_input.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace tonvela::test {
namespace {

KeyInput keyOf(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QKeyEvent event(QEvent::KeyPress, qtKey, modifiers);
    return keyInputOf(event);
}

TEST(QtEditorInputTest, QtKeysBecomeEditorKeysWithTheirModifiers)
{
    EXPECT_EQ(keyOf(Qt::Key_A).key, EditorKey::A);
    EXPECT_EQ(keyOf(Qt::Key_Z).key, EditorKey::Z);
    EXPECT_EQ(keyOf(Qt::Key_M).key, EditorKey::M);
    EXPECT_EQ(keyOf(Qt::Key_0).key, EditorKey::Digit0);
    EXPECT_EQ(keyOf(Qt::Key_7).key, EditorKey::Digit7);
    EXPECT_EQ(keyOf(Qt::Key_Up).key, EditorKey::Up);
    EXPECT_EQ(keyOf(Qt::Key_Down).key, EditorKey::Down);
    EXPECT_EQ(keyOf(Qt::Key_Left).key, EditorKey::Left);
    EXPECT_EQ(keyOf(Qt::Key_Right).key, EditorKey::Right);
    EXPECT_EQ(keyOf(Qt::Key_Delete).key, EditorKey::Delete);
    EXPECT_EQ(keyOf(Qt::Key_Return).key, EditorKey::Enter);
    EXPECT_EQ(keyOf(Qt::Key_Enter).key, EditorKey::Enter);
    EXPECT_EQ(keyOf(Qt::Key_F5).key, EditorKey::None);
    EXPECT_EQ(keyOf(Qt::Key_Exclam).key, EditorKey::None) << "punctuation is no letter";

    const KeyInput shiftS = keyOf(Qt::Key_S, Qt::ShiftModifier);
    EXPECT_EQ(shiftS.key, EditorKey::S);
    EXPECT_TRUE(shiftS.shift);
    EXPECT_FALSE(shiftS.ctrl);
    const KeyInput ctrlDigit = keyOf(Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ctrlDigit.key, EditorKey::Digit3);
    EXPECT_TRUE(ctrlDigit.ctrl);
    EXPECT_TRUE(ctrlDigit.shift);
}

TEST(QtEditorInputTest, PointerPositionsAreDividedByTheZoomIntoSheetUnits)
{
    const QPointF at(150, 95);
    const QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton,
                            Qt::ShiftModifier);
    const PointerInput p = pointerInputOf(press, 0.5f, 1234);
    EXPECT_EQ(p.x, 300);
    EXPECT_EQ(p.y, 190);
    EXPECT_TRUE(p.shift);
    EXPECT_FALSE(p.ctrl);
    EXPECT_EQ(p.timeMs, 1234);
    EXPECT_EQ(p.button, PointerButton::Left);

    // Truncated, as the editor's integer sheet units want.
    const QMouseEvent move(QEvent::MouseMove, QPointF(100, 100), QPointF(100, 100), Qt::NoButton,
                           Qt::LeftButton, Qt::ControlModifier);
    const PointerInput m = pointerInputOf(move, 1.5f, 0);
    EXPECT_EQ(m.x, 66);
    EXPECT_EQ(m.y, 66);
    EXPECT_TRUE(m.ctrl);
    EXPECT_EQ(m.button, PointerButton::None) << "a move carries no button of its own";

    const QMouseEvent right(QEvent::MouseButtonRelease, at, at, Qt::RightButton, Qt::NoButton,
                            Qt::NoModifier);
    EXPECT_EQ(pointerInputOf(right, 1.0f, 0).button, PointerButton::Right);
}

class SheetWindowInputTest : public ShellTest {};

TEST_F(SheetWindowInputTest, ADigitOnATablatureTrackStopsInTheEditorAndMouseDragsReachIt)
{
    window->showAtSavedPlacement();
    SheetWindow* w = window->newSheet();
    setStaffKind(*w->sheet().trackAt(0), StaffKind::Tablature);
    QKeyEvent digit(QEvent::KeyPress, Qt::Key_4, Qt::NoModifier);
    digit.ignore();
    QApplication::sendEvent(w, &digit);
    EXPECT_TRUE(digit.isAccepted());
    setStaffKind(*w->sheet().trackAt(0), StaffKind::GClef);
    QKeyEvent again(QEvent::KeyPress, Qt::Key_4, Qt::NoModifier);
    QApplication::sendEvent(w, &again);
    EXPECT_TRUE(again.isAccepted()) << "without tablature 4 is the octave key";
    EXPECT_EQ(w->editor().tools().keyboardOctave, 4);
    QKeyEvent seven(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier);
    QApplication::sendEvent(w, &seven);
    EXPECT_FALSE(seven.isAccepted()) << "a digit that is no octave key is left to others";

    const float zoom = w->view().zoom();
    auto send = [w](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    };
    send(QEvent::MouseButtonPress, QPointF(100, 100), Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(w->editor().pointer().buttonDown);
    EXPECT_EQ(w->editor().pointer().pressX, static_cast<int>(100 / zoom));
    send(QEvent::MouseMove, QPointF(140, 100), Qt::NoButton, Qt::LeftButton);
    EXPECT_TRUE(w->editor().pointer().dragging);
    send(QEvent::MouseButtonRelease, QPointF(140, 100), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(w->editor().pointer().buttonDown);
}

} // namespace
} // namespace tonvela::test
