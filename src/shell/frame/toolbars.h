#pragma once

#include <functional>

class QAction;
class QMainWindow;
class QToolBar;

namespace tonvela {

struct ToolBars {
    QToolBar* notes = nullptr;
    QToolBar* edit = nullptr;
    QToolBar* play = nullptr;
};

// Builds the note, edit and play toolbars of the window from the command table: text-only
// buttons in table order, the durations one exclusive group with "Quarter" checked, the marker
// tools a group that may have none checked. `actionOf` gives the action of a command id.
ToolBars buildToolBars(QMainWindow& window, const std::function<QAction*(int)>& actionOf);

} // namespace tonvela
