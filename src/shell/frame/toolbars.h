#pragma once

#include <QObject>

#include <functional>
#include <vector>

class QAction;
class QMainWindow;
class QToolBar;

namespace tonvela {

// The look of the note and edit toolbars' buttons, drawn from the shared tool groups
// (editor/editing/tool_state.h): a button is down while it is pressed or checked there. The
// groups belong to no sheet, so the buttons show what the sheet that changed them last left;
// they are redrawn after every tool change of any sheet and after every click on a button
// (also one that no sheet took).
class ToolButtonLooks : public QObject {
  public:
    ToolButtonLooks(QObject* parent, std::vector<std::pair<int, QAction*>> buttons);
    ~ToolButtonLooks() override;
    ToolButtonLooks(const ToolButtonLooks&) = delete;
    ToolButtonLooks& operator=(const ToolButtonLooks&) = delete;

    void refresh();

  private:
    std::vector<std::pair<int, QAction*>> m_buttons;
    int m_watch = 0;
};

struct ToolBars {
    QToolBar* notes = nullptr;
    QToolBar* edit = nullptr;
    QToolBar* play = nullptr;
    ToolButtonLooks* looks = nullptr;
};

// Builds the note, edit and play toolbars of the window from the command table: text-only
// buttons in table order; the note and edit buttons look as the shared tool groups say.
// `actionOf` gives the action of a command id.
ToolBars buildToolBars(QMainWindow& window, const std::function<QAction*(int)>& actionOf);

} // namespace tonvela
