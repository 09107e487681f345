#pragma once

#include "shell/documents/painter_thread.h"
#include "shell/frame/panel_dock.h"
#include "shell/frame/panel_sheet_follower.h"
#include "shell/frame/shell_services.h"
#include "shell/frame/toolbars.h"
#include "shell/panels/length_bar.h"
#include "shell/panels/panel_container.h"
#include "shell/panels/sheet_options_panel.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QDockWidget;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace tonvela {

class AboutBox;
class ChordDocument;
class ChordWindow;
class DocumentArea;
class DocumentCommands;
class DocumentWindow;
class MidiInputMenu;
class PlaybackCommands;
class RecentFilesMenu;
class SheetDocument;
class SheetWindow;

// The main window "Tonvela": menus, the three toolbars, the docked panel container, the
// length bar and the document area with the document windows. Menus, accelerators and toolbar
// buttons are built from the command table (command_table.h) and every one runs through
// command(): the active document is offered the command first, then the table's handler runs.
// File and document commands are DocumentCommands', playback commands PlaybackCommands'.
//
// Exit (and F4 with unsaved changes) asks every save question first and closes nothing when
// one is cancelled.
//
// Thread rules: user-interface thread. Owns the painter thread that paints its sheets.
class MainWindow : public QMainWindow {
  public:
    explicit MainWindow(ShellServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    ShellServices& services() { return m_services; }
    DocumentCommands& documentCommands() { return *m_documentCommands; }
    PlaybackCommands& playbackCommands() { return *m_playbackCommands; }

    // Moves the window to the saved placement and shows it (maximised when saved so); a first
    // start opens at a size that fits the screen.
    void showAtSavedPlacement();
    // Writes the window's placement to the settings.
    void savePlacement();

    // Runs a command as its menu item, accelerator or button does. False when nothing
    // handled it (a disabled command, or no active document of the kind it needs).
    bool command(int id);
    QAction* action(int id) const;

    SheetWindow* newSheet();
    ChordWindow* newChordDocument();
    // Puts a document window into the document area at its place, shown and active.
    SheetWindow* addSheetWindow(std::unique_ptr<SheetDocument> sheet);
    ChordWindow* addChordWindow(std::unique_ptr<ChordDocument> document);
    void addDocumentWindow(DocumentWindow& document, const QRect& geometry);
    bool openFile(const std::string& path);
    // Opens several files, with one message for all that failed (DocumentCommands::openFiles).
    void openFiles(const std::vector<std::string>& paths);
    // Open requests from another start: brings the window to the front and opens the files.
    void openRequested(const std::vector<std::string>& paths);
    void openRequested(const std::string& path);
    // Closes every document with its save question (see DocumentCommands::closeAll).
    bool closeAllDocuments(bool exiting = false);
    // F4: writes the placement and quits at once, unless a document has unsaved changes
    // (then it asks as Exit does).
    void quitAtOnce();

    // Open documents in the order they were opened (closed ones are gone at once).
    std::vector<DocumentWindow*> documents() const;
    std::vector<SheetWindow*> sheetWindows() const { return m_sheetWindows; }
    std::vector<ChordWindow*> chordWindows() const { return m_chordWindows; }
    DocumentWindow* activeDocument() const { return m_active; }
    SheetWindow* activeSheet() const;
    ChordWindow* activeChord() const;
    void activate(DocumentWindow* document);

    void showPanel(PanelContainer::Panel panel);
    void showAbout();
    void openWebsite();
    // The panels and the length bar for the active document; the enabled state of commands.
    void updatePanels();
    void updateCommandStates();
    void rebuildWindowMenu();

    QMdiArea* mdiArea() const { return m_mdi; }
    QDockWidget* panelDock() const { return m_panelDock->dock(); }
    PanelDock& panelDockControl() { return *m_panelDock; }
    PanelContainer* panels() const { return m_panelDock->container(); }
    LengthBar* lengthBar() const { return m_panelDock->lengthBar(); }
    QToolBar* noteToolBar() const { return m_bars.notes; }
    QToolBar* editToolBar() const { return m_bars.edit; }
    QToolBar* playToolBar() const { return m_bars.play; }
    AboutBox* aboutBox() const { return m_about; }
    RecentFilesMenu* recentFiles() const { return m_recent; }
    MidiInputMenu* midiInputMenu() const { return m_midiInput; }
    PainterThread& painter() { return *m_painter; }

    // Called when a document window has closed (its window is going).
    std::function<void(const DocumentWindow& closed)> onDocumentClosed;
    // Called once when the first sheet picture reached the screen.
    std::function<void()> onFirstSheetPresented;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildActionsAndMenus();
    void wirePanels();
    void documentClosed(const QObject* sub, DocumentWindow* closed);
    void subWindowActivated(QMdiSubWindow* sub);
    void fillDevices();

    ShellServices m_services;
    std::unique_ptr<PainterThread> m_painter;
    std::unique_ptr<DocumentCommands> m_documentCommands;
    std::unique_ptr<PlaybackCommands> m_playbackCommands;
    std::unique_ptr<PanelDock> m_panelDock;
    std::unique_ptr<PanelSheetFollower> m_sheetFollower;
    QMdiArea* m_mdi;
    DocumentArea* m_area;
    ToolBars m_bars;
    QMenu* m_windowsMenu = nullptr;
    AboutBox* m_about = nullptr;
    RecentFilesMenu* m_recent = nullptr;
    MidiInputMenu* m_midiInput = nullptr;
    std::map<int, QAction*> m_actions;
    std::vector<SheetWindow*> m_sheetWindows;
    std::vector<ChordWindow*> m_chordWindows;
    DocumentWindow* m_active = nullptr;
    bool m_devicesFilled = false;
    bool m_firstPresented = false;
};

} // namespace tonvela
