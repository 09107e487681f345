#pragma once

#include "shell/panels/panel_container.h"

class QDockWidget;
class QMainWindow;
class QToolBar;

namespace tonvela {

class DocumentWindow;
class LengthBar;

// The panel container docked at the left of the main window ("Settings") and the length bar
// on a toolbar row of its own under the other toolbars, and what they show for the active
// document.
//
// Thread rules: user-interface thread.
class PanelDock {
  public:
    // Adds the dock and the length bar's toolbar row to `window`, after its other toolbars.
    explicit PanelDock(QMainWindow& window);

    QDockWidget* dock() const { return m_dock; }
    PanelContainer* container() const { return m_container; }
    LengthBar* lengthBar() const { return m_lengthBar; }

    // Shows or hides the container and the length bar together.
    void setShown(bool shown);
    // Shows the container with `panel` in it.
    void showPanel(PanelContainer::Panel panel);
    // The container's caption, the sheet options fields and the length bar for the active
    // document (none: the captions and times of no sheet). While `playing`, the length bar's
    // position and times come from the playback's reports; otherwise they show the
    // document's play position.
    void showDocument(const DocumentWindow* active, bool playing);

  private:
    QDockWidget* m_dock;
    PanelContainer* m_container;
    QToolBar* m_lengthToolBar;
    LengthBar* m_lengthBar;
};

} // namespace tonvela
