#pragma once

#include "shell/panels/panel_container.h"

class QAction;
class QDockWidget;
class QMainWindow;
class QToolBar;

namespace tonvela {

class DockCaption;
class DocumentWindow;
class LengthBar;

// The panel container docked at the left of the main window, under the toolbars, and the
// length bar on a toolbar row of its own under the other toolbars, and what they show for the
// active document. The document area takes the rest of the width, all of it while the
// container is hidden.
//
// The container comes and goes with the documents (setShown), unless the user hid it (View >
// Show Panels, or its caption's close button): then it stays hidden until the user shows it
// again or asks for a panel. The Show Panels action is checked while the container shows.
//
// Thread rules: user-interface thread.
class PanelDock {
  public:
    // Adds the dock and the length bar's toolbar row to `window`, after its other toolbars;
    // `showAction` (may be null) follows whether the container shows.
    PanelDock(QMainWindow& window, QAction* showAction);

    QDockWidget* dock() const { return m_dock; }
    PanelContainer* container() const { return m_container; }
    LengthBar* lengthBar() const { return m_lengthBar; }
    // The dock's caption bar: the caption shortened in the middle when it is too long.
    DockCaption* caption() const { return m_caption; }

    // Shows or hides the container and the length bar together; a container the user hid
    // stays hidden.
    void setShown(bool shown);
    // What the user asked for; showing also shows the length bar.
    void setShownByUser(bool shown);
    bool isShown() const;
    // Shows the container with `panel` in it.
    void showPanel(PanelContainer::Panel panel);
    // The container's caption, the sheet options fields and the length bar for the active
    // document (none: the captions and times of no sheet). While `playing`, the length bar's
    // position and times come from the playback's reports; otherwise they show the
    // document's play position.
    void showDocument(const DocumentWindow* active, bool playing);

  private:
    void followShown();

    QDockWidget* m_dock;
    PanelContainer* m_container;
    DockCaption* m_caption;
    QToolBar* m_lengthToolBar;
    LengthBar* m_lengthBar;
    QAction* m_showAction;
    bool m_hiddenByUser = false;
};

} // namespace tonvela
