#include "shell/frame/main_window.h"
#include "shell/frame/view_commands.h"

#include "editor/commands.h"
#include "editor/editing/sheet_editor.h"
#include "harmony/chord_document.h"
#include "harmony/fretboard.h"
#include "platform/notifier.h"
#include "platform/sheet_lock.h"
#include "score/sheet_document.h"
#include "shell/documents/chord_window.h"
#include "shell/documents/sheet_window.h"
#include "shell/frame/about_box.h"
#include "shell/frame/chord_document_commands.h"
#include "shell/frame/command_table.h"
#include "shell/frame/document_area.h"
#include "shell/frame/document_commands.h"
#include "shell/frame/harmony_commands.h"
#include "shell/frame/menus.h"
#include "shell/frame/midi_input_menu.h"
#include "shell/frame/panel_dock.h"
#include "shell/frame/playback_commands.h"
#include "shell/frame/recent_files.h"
#include "shell/frame/scale_diagram_commands.h"
#include "shell/frame/sheet_panel_commands.h"
#include "shell/frame/window_placement.h"
#include "shell/frame/window_title.h"
#include "shell/player.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTimer>

#include <algorithm>

namespace tonvela {
namespace {
constexpr int kSheetWindowSize = 500;
constexpr int kChordWindowWidth = 600;
constexpr int kChordWindowHeight = 300;

template <class Window> void forget(std::vector<Window*>& windows, const DocumentWindow* document)
{
    std::erase_if(windows,
                  [document](Window* w) { return static_cast<const DocumentWindow*>(w) == document; });
}
} // namespace

MainWindow::MainWindow(ShellServices services, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services)), m_painter(std::make_unique<PainterThread>()),
      m_documentCommands(std::make_unique<DocumentCommands>(*this)), m_mdi(new QMdiArea),
      m_area(new DocumentArea(*m_mdi))
{
    setObjectName(QStringLiteral("MainWindow"));
    m_mdi->setBackground(QColor(85, 85, 85));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    connect(m_mdi, &QMdiArea::subWindowActivated, this,
            [this](QMdiSubWindow* sub) { subWindowActivated(sub); });
    m_area->confirmClose = [this](DocumentWindow& d) { return m_documentCommands->confirmClose(d); };
    m_area->onClosed = [this](const QObject* sub, DocumentWindow* closed) { documentClosed(sub, closed); };
    buildActionsAndMenus();
    m_bars = buildToolBars(*this, [this](int id) { return action(id); });
    m_panelDock = std::make_unique<PanelDock>(*this, action(kCmdShowPanels));
    m_sheetFollower = std::make_unique<PanelSheetFollower>([this] { updatePanels(); });
    m_about = new AboutBox(this, m_mdi);
    m_recent = new RecentFilesMenu(*this);
    new WindowTitle(*this, *m_mdi); // a child of the window
    m_playbackCommands = std::make_unique<PlaybackCommands>(*this);
    m_midiInput = new MidiInputMenu(*this, m_services.midiInput); // a child of the window
    wirePanels();
    new HarmonyCommands(*this); // a child of the window
    updatePanels();
    updateCommandStates();
}

MainWindow::~MainWindow()
{
    // A panel field holding the keyboard finishes its typed text when it loses the keyboard.
    // Taken away now, while the documents and panels it reaches still stand, not while the
    // window's children go down one by one.
    // (The parent walk also reaches a floating panel, which is a window of its own.)
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
        if (w == this) {
            QApplication::focusWidget()->clearFocus();
            break;
        }
    }
    // The sheets go with their windows below; the panels stop following them first.
    m_sheetFollower->follow(nullptr);
    // Windows going now neither ask nor become active.
    disconnect(m_mdi, nullptr, this, nullptr);
    m_area->shutDown();
    // From here on the playback thread reports nowhere.
    m_playbackCommands.reset();
    // Document windows unregister from the painter thread, so they go before it (closed ones
    // still waiting for their deferred deletion included).
    for (QMdiSubWindow* sub : m_mdi->findChildren<QMdiSubWindow*>())
        delete sub;
    m_painter.reset();
}

QAction* MainWindow::action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void MainWindow::buildActionsAndMenus()
{
    for (const CommandRow& row : commandTable()) {
        const QString text = QString::fromUtf8(row.text);
        auto* act = new QAction(text.trimmed(), this);
        act->setIconText(text); // the button's text keeps its blanks
        act->setData(row.id);
        if (*row.shortcut)
            act->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
        act->setCheckable(row.check != Check::Plain);
        if (isSheetWindowKey(row.id)) {
            // Works while a sheet window has the keyboard (addSheetWindow adds it there).
            act->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            // A held key plays and stops once, not in turns.
            act->setAutoRepeat(false);
        }
        connect(act, &QAction::triggered, this, [this, id = row.id, check = row.check] {
            command(id);
            // A play button shows whether its playback runs, not the click that toggled it.
            if (check == Check::Playing || check == Check::Option)
                updateCommandStates();
        });
        m_actions[row.id] = act;
        // Accelerators without a menu item belong to the window itself.
        if (row.menu == Menu::None && *row.shortcut)
            addAction(act);
    }
    m_windowsMenu = buildMenus(*menuBar(), [this](int id) { return action(id); });
    connect(m_windowsMenu, &QMenu::aboutToShow, this, [this] { rebuildWindowMenu(); });
    rebuildWindowMenu();
}

void MainWindow::rebuildWindowMenu()
{
    fillWindowMenu(*m_windowsMenu, *m_mdi, [this](int id) { return action(id); });
}

void MainWindow::wirePanels()
{
    panels()->onPanelChosen = [this](PanelContainer::Panel) { updatePanels(); };
    new SheetPanelCommands(*this); // a child of the window
    lengthBar()->onPositionChosen = [this](int position) { m_playbackCommands->seek(position); };
}

void MainWindow::showAtSavedPlacement()
{
    showAtPlacement(*this, m_services.settings);
}

void MainWindow::savePlacement()
{
    tonvela::savePlacement(*this, m_services.settings);
}

// ---- documents -----------------------------------------------------------------------------

std::vector<DocumentWindow*> MainWindow::documents() const
{
    return m_area->documents();
}

SheetWindow* MainWindow::activeSheet() const
{
    for (SheetWindow* w : m_sheetWindows)
        if (static_cast<DocumentWindow*>(w) == m_active)
            return w;
    return nullptr;
}

ChordWindow* MainWindow::activeChord() const
{
    for (ChordWindow* w : m_chordWindows)
        if (static_cast<DocumentWindow*>(w) == m_active)
            return w;
    return nullptr;
}

void MainWindow::addDocumentWindow(DocumentWindow& document, const QRect& geometry)
{
    m_area->add(document, geometry);
    m_panelDock->setShown(true);
    activate(&document);
}

SheetWindow* MainWindow::addSheetWindow(std::unique_ptr<SheetDocument> sheet)
{
    const int n = static_cast<int>(m_sheetWindows.size());
    auto* window = new SheetWindow(std::move(sheet), *m_painter, m_services.clock);
    window->view().soundingNotes = m_services.player.soundingNotes();
    window->setMidiDevice(panels()->sheetPanel()->device());
    window->editor().setNotifier(&m_services.notifier);
    window->onStateChanged = [this](SheetWindow& w) {
        if (static_cast<DocumentWindow*>(&w) == m_active)
            updatePanels();
    };
    window->onToolsChanged = [this](SheetWindow& w) {
        if (static_cast<DocumentWindow*>(&w) == m_active)
            updateCommandStates();
    };
    window->onPresented = [this](SheetWindow&) {
        if (m_firstPresented)
            return;
        m_firstPresented = true;
        if (onFirstSheetPresented)
            onFirstSheetPresented();
        // The device list may start the synthesizer; it waits until the first sheet shows.
        QTimer::singleShot(0, this, [this] { fillDevices(); });
    };
    for (const CommandRow& row : commandTable())
        if (isSheetWindowKey(row.id))
            window->addAction(action(row.id));
    m_sheetWindows.push_back(window);
    addDocumentWindow(*window, QRect(20 * n, 20 * n + 20, kSheetWindowSize, kSheetWindowSize));
    // A sheet fills the document area; restored (or tiled, cascaded) it takes its place above.
    m_area->subWindowOf(window)->showMaximized();
    return window;
}

ChordWindow* MainWindow::addChordWindow(std::unique_ptr<ChordDocument> document)
{
    const int n = static_cast<int>(m_chordWindows.size());
    auto* window = new ChordWindow(std::move(document));
    window->onStateChanged = [this](ChordWindow&) { updatePanels(); };
    connectChordWindow(*this, *window);
    m_chordWindows.push_back(window);
    addDocumentWindow(*window, QRect(20 * n, 20 * n + 90, kChordWindowWidth, kChordWindowHeight));
    return window;
}

SheetWindow* MainWindow::newSheet()
{
    SheetLockGuard lock(sheetLock());
    auto sheet = std::make_unique<SheetDocument>();
    sheet->setPathAndCaption("Sheet " + std::to_string(m_sheetWindows.size() + 1), "");
    return addSheetWindow(std::move(sheet));
}

ChordWindow* MainWindow::newChordDocument()
{
    auto doc = std::make_unique<ChordDocument>();
    doc->title = "Chord " + std::to_string(m_chordWindows.size() + 1);
    return addChordWindow(std::move(doc));
}

bool MainWindow::openFile(const std::string& path)
{
    return m_documentCommands->openFile(path);
}

void MainWindow::openFiles(const std::vector<std::string>& paths)
{
    m_documentCommands->openFiles(paths);
}

void MainWindow::openRequested(const std::string& path)
{
    openRequested(std::vector<std::string>{path});
}

void MainWindow::openRequested(const std::vector<std::string>& paths)
{
    // In front first, so the one box that says what failed shows over the window.
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    openFiles(paths);
}

// ---- closing -------------------------------------------------------------------------------

void MainWindow::documentClosed(const QObject* sub, DocumentWindow* closed)
{
    if (closed && closed->shownSheet() && m_sheetFollower->followed() == closed->shownSheet())
        m_sheetFollower->follow(nullptr); // the sheet goes with its window
    if (closed) {
        if (onDocumentClosed)
            onDocumentClosed(*closed);
        forget(m_sheetWindows, closed);
        forget(m_chordWindows, closed);
        if (m_active == closed)
            m_active = nullptr;
    }
    if (m_area->empty()) {
        m_panelDock->setShown(false);
    } else if (!m_active) {
        if (QMdiSubWindow* current = m_mdi->currentSubWindow(); current && current != sub)
            activate(m_area->documentIn(current));
    }
    updatePanels();
    updateCommandStates();
}

bool MainWindow::closeAllDocuments(bool exiting)
{
    return m_documentCommands->closeAll(exiting);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!closeAllDocuments(true)) {
        event->ignore();
        return;
    }
    m_services.player.stop();
    savePlacement();
    event->accept();
    if (m_services.quit)
        m_services.quit(0);
}

void MainWindow::quitAtOnce()
{
    const auto open = documents();
    if (std::any_of(open.begin(), open.end(), [](const DocumentWindow* d) { return d->isModified(); })) {
        close(); // asks like Exit
        return;
    }
    m_services.player.stop();
    savePlacement();
    if (m_services.quit)
        m_services.quit(0);
}

// ---- activation, panels and commands -------------------------------------------------------

void MainWindow::activate(DocumentWindow* document)
{
    QMdiSubWindow* sub = m_area->subWindowOf(document);
    if (!sub)
        return;
    m_mdi->setActiveSubWindow(sub);
    subWindowActivated(sub);
    document->widget().setFocus();
}

void MainWindow::subWindowActivated(QMdiSubWindow* sub)
{
    DocumentWindow* document = sub ? m_area->documentIn(sub) : nullptr;
    if (!document)
        return;
    m_active = document;
    if (const auto panel = m_active->panelOnActivation())
        panels()->showPanel(*panel);
    m_panelDock->setShown(true);
    updatePanels();
    updateCommandStates();
    m_bars.looks->refresh();
}

void MainWindow::showPanel(PanelContainer::Panel panel)
{
    m_panelDock->showPanel(panel);
    updatePanels();
}

void MainWindow::showAbout()
{
    m_about->show();
    m_about->raise();
}

void MainWindow::openWebsite()
{
    if (m_services.openUrl)
        m_services.openUrl(QString::fromUtf8(kWebsiteAddress));
}

void MainWindow::updatePanels()
{
    SheetDocument* sheet = m_active ? m_active->shownSheet() : nullptr;
    m_sheetFollower->follow(sheet);
    m_panelDock->showDocument(m_active, sheet && m_playbackCommands && m_playbackCommands->isPlaying(sheet));
    showSheetOptions(*panels()->sheetPanel(), m_active);
    // The scale diagram shows the strings of the current track when it is a tablature; another
    // sheet's window keeps standard tuning, a chord or scale window changes nothing.
    if (sheet) {
        const Track* track = sheet->trackAt(sheet->selectedTrack);
        const bool tab = track && staffOf(*track).isTablature();
        ScaleDiagramCommands::of(*this).followTuning(tab ? openStringPitches(track->tuning)
                                                         : std::string(kOpenStrings));
    }
}

void MainWindow::updateCommandStates()
{
    for (const CommandRow& row : commandTable()) {
        QAction* act = action(row.id);
        act->setEnabled(commandEnabled(row, m_services.player.available(), m_active));
        if (row.check == Check::Playing)
            act->setChecked(m_playbackCommands && m_playbackCommands->runs(row.id));
        else if (row.check == Check::Option)
            act->setChecked(optionChecked(*this, row.id));
    }
}

void MainWindow::fillDevices()
{
    if (m_devicesFilled || !m_services.listDevices)
        return;
    m_devicesFilled = true;
    panels()->sheetPanel()->setDevices(m_services.listDevices());
    updatePanels();
}

bool MainWindow::command(int id)
{
    if (QAction* a = action(id); a && !a->isEnabled())
        return false;
    if (m_active && m_active->command(id))
        return true;
    const CommandRow* row = findCommand(id);
    if (!row || !row->handler)
        return false;
    if (row->needs == Needs::Document && !m_active)
        return false;
    if (row->needs == Needs::Sheet && !(m_active && m_active->sheetEditor()))
        return false;
    return row->handler(*this);
}

} // namespace tonvela
