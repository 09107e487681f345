#pragma once

#include <QObject>
#include <QString>

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

// A tool's name and its key, as its button's tooltip and accessible name say it: "Quarter (Q)",
// or the name alone for a tool without a key.
QString toolDescription(int id);

// Builds the note, edit and play toolbars of the window from the command table, buttons in
// table order: the note and edit tools as their pictures (render/tool_icons.h), checked as the
// shared tool groups say; the play buttons as words.
// `actionOf` gives the action of a command id.
ToolBars buildToolBars(QMainWindow& window, const std::function<QAction*(int)>& actionOf);

} // namespace tonvela
