#pragma once

#include "shell/painter_thread.h"
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
class QActionGroup;
class QDialog;
class QDockWidget;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace tonvela {

inline constexpr const char* kWebsiteAddress = "https://tonvela.org/";

class ChordDocument;
class ChordWindow;
class Clock;
class FileDialogs;
class Notifier;
class Player;
class SettingsStore;
class SheetDocument;
class SheetWindow;

// What the main window works with, so that tests can put fakes in their place.
struct ShellServices {
    SettingsStore& settings;
    Notifier& notifier;
    FileDialogs& dialogs;
    Player& player;
    Clock& clock;
    // The names of the MIDI output devices; called once, after the first sheet is shown, so
    // the synthesizer does not slow down start-up.
    std::function<std::vector<std::string>()> listDevices;
    // Opens a web address in the desktop's browser.
    std::function<void(const QString&)> openUrl;
    // Ends the program (the event loop) with the given exit code.
    std::function<void(int)> quit;
};

// The main window "Tonvela": menus, the three toolbars, the docked panel container, the
// length bar and the document area with the sheet and chord document windows. Every menu
// item, accelerator and toolbar button is a command identified as in commands.h and runs
// through command().
//
// No unsaved change is lost: closing a modified document asks "Save file %s?" with Yes, No
// and Cancel, and Cancel, a cancelled save dialog or a failed save keep it open; Exit and F4
// stop at the first document kept open.
//
// Thread rules: user-interface thread. Owns the painter thread that paints its sheets.
class MainWindow : public QMainWindow {
  public:
    explicit MainWindow(ShellServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Moves the window to the saved placement and shows it (maximised when saved so).
    void showAtSavedPlacement();
    // Writes the window's placement to the settings.
    void savePlacement();

    // Runs a command as its menu item, accelerator or button does. False when nothing
    // handled it (no active document it needs, or a disabled command).
    bool command(int id);
    QAction* action(int id) const;

    SheetWindow* newSheet();
    ChordWindow* newChordDocument();
    // Opens a .mid file as an imported sheet, or a sheet or chord document by its root
    // element. Failures are shown as "Error" messages; false then.
    bool openFile(const std::string& path);
    // An open request from another start: opens the file and brings the window to the front.
    void openRequested(const std::string& path);
    // Save (asking=false) or Save As (asking=true) of the active document.
    bool save(bool asking);
    // Closes every document with its save question; false when one stayed open. While a
    // sheet plays, Close All only stops it; `exiting` stops it and carries on closing.
    bool closeAllDocuments(bool exiting = false);

    std::vector<SheetWindow*> sheetWindows() const;
    std::vector<ChordWindow*> chordWindows() const;
    SheetWindow* activeSheet() const { return m_activeSheet; }
    ChordWindow* activeChord() const { return m_activeChord; }
    void activate(QWidget* documentWindow);

    QMdiArea* mdiArea() const { return m_mdi; }
    QDockWidget* panelDock() const { return m_dock; }
    PanelContainer* panels() const { return m_panels; }
    LengthBar* lengthBar() const { return m_lengthBar; }
    QToolBar* noteToolBar() const { return m_noteBar; }
    QToolBar* editToolBar() const { return m_editBar; }
    QToolBar* playToolBar() const { return m_playBar; }
    QDialog* aboutBox() const { return m_about; }
    PainterThread& painter() { return *m_painter; }

    // Called once when the first sheet picture reached the screen.
    std::function<void()> onFirstSheetPresented;

    // A playback's progress: the "%2d:%2d" texts and, unless `slider` is -1 or the user holds
    // the slider, its position (0..384).
    void showPlayProgress(const QString& elapsed, const QString& total, int slider);
    // Sounding notes changed: repaint every sheet that plays.
    void repaintPlayingSheets();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildMenus();
    void buildToolBars();
    void buildPanels();
    void buildAbout();
    QAction* makeAction(int id, const QString& text, const QKeySequence& shortcut = {});
    void rebuildWindowMenu();
    QMdiSubWindow* addDocumentWindow(QWidget* window, const QRect& geometry);
    SheetWindow* addSheetWindow(std::unique_ptr<SheetDocument> sheet);
    ChordWindow* addChordWindow(std::unique_ptr<ChordDocument> document);
    bool confirmClose(QWidget* documentWindow);
    void documentClosed(QWidget* documentWindow);
    void subWindowActivated(QMdiSubWindow* sub);
    void updatePanels();
    void updateCommandStates();
    void showPanel(PanelContainer::Panel panel);
    bool saveSheet(SheetWindow& window, bool asking);
    bool saveChord(ChordWindow& window, bool asking);
    void exportLilypond();
    void exportMidi(bool selectedTrackOnly);
    void importMidi();
    void openWithDialog();
    void print();
    void play(int mode);
    void quitAtOnce();
    void fillDevices();

    class PlaybackReports;

    ShellServices m_services;
    std::unique_ptr<PlaybackReports> m_playbackReports;
    std::unique_ptr<PainterThread> m_painter;
    QMdiArea* m_mdi;
    QDockWidget* m_dock = nullptr;
    PanelContainer* m_panels = nullptr;
    LengthBar* m_lengthBar = nullptr;
    QToolBar* m_lengthToolBar = nullptr;
    QToolBar* m_noteBar = nullptr;
    QToolBar* m_editBar = nullptr;
    QToolBar* m_playBar = nullptr;
    QMenu* m_windowsMenu = nullptr;
    QDialog* m_about = nullptr;
    std::map<int, QAction*> m_actions;
    SheetWindow* m_activeSheet = nullptr;
    ChordWindow* m_activeChord = nullptr;
    std::vector<std::string> m_deviceNames;
    bool m_devicesFilled = false;
    bool m_firstPresented = false;
    bool m_closingAll = false;
    bool m_destroying = false;
};

} // namespace tonvela
