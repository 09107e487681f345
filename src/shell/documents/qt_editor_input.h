#pragma once

#include "editor/editing/editor_input.h"

#include <cstdint>

class QKeyEvent;
class QMouseEvent;

namespace tonvela {

// The sheet window's Qt events as the editor's records. Keys without an editor key become
// EditorKey::None (with their modifiers); pointer positions are divided by the zoom and
// truncated, so the editor works in sheet units.
KeyInput keyInputOf(const QKeyEvent& event);
PointerInput pointerInputOf(const QMouseEvent& event, float zoom, int64_t timeMs);

} // namespace tonvela
