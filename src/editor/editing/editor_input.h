#pragma once

#include <cstdint>

namespace tonvela {

// The keys the sheet editor knows, whatever toolkit delivered them. Letters arrive as their
// upper-case key whether Shift is held or not; Shift and Ctrl travel beside the key.
enum class EditorKey : uint8_t {
    None,
    // Letters, contiguous: A + n is the n-th letter.
    A,
    B,
    C,
    D,
    E,
    F,
    G,
    H,
    I,
    J,
    K,
    L,
    M,
    N,
    O,
    P,
    Q,
    R,
    S,
    T,
    U,
    V,
    W,
    X,
    Y,
    Z,
    // Digits, contiguous: Digit0 + n is n.
    Digit0,
    Digit1,
    Digit2,
    Digit3,
    Digit4,
    Digit5,
    Digit6,
    Digit7,
    Digit8,
    Digit9,
    Up,
    Down,
    Left,
    Right,
    Delete,
    Backspace,
    Enter,
    Escape,
    Tab,
    Space,
    Home,
    End,
    PageUp,
    PageDown,
};

// One key press as the editor sees it.
struct KeyInput {
    EditorKey key = EditorKey::None;
    bool shift = false;
    bool ctrl = false;
};

// 'A' to 'Z' for a letter key, 0 for any other.
char letterOf(EditorKey key);
// 0 to 9 for a digit key, -1 for any other.
int digitOf(EditorKey key);
// The letter key of 'A'..'Z' or 'a'..'z', the digit key of '0'..'9'; None for anything else.
EditorKey keyOfCharacter(char c);

enum class PointerButton : uint8_t { None, Left, Right };

// One pointer event: where it happened in sheet units (device pixels divided by the zoom),
// the modifier keys, the time in milliseconds (for the tracking throttle) and the button
// that went down or up (None for a move).
struct PointerInput {
    int x = 0;
    int y = 0;
    bool shift = false;
    bool ctrl = false;
    int64_t timeMs = 0;
    PointerButton button = PointerButton::None;
};

} // namespace tonvela
