#include "shell/main_window.h"

#include "editor/print_paging.h"
#include "harmony/chord_document.h"
#include "harmony/chord_document_file.h"
#include "platform/clock.h"
#include "platform/notifier.h"
#include "platform/sheet_lock.h"
#include "playback/midi_file_reader.h"
#include "playback/midi_file_writer.h"
#include "playback/scheduler.h"
#include "score/lilypond_export.h"
#include "score/markup_tree.h"
#include "score/play_time.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "shell/chord_window.h"
#include "shell/commands.h"
#include "shell/file_dialogs.h"
#include "shell/player.h"
#include "shell/qt_canvas.h"
#include "shell/settings_store.h"
#include "shell/sheet_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace tonvela {
namespace {

constexpr const char* kAllFilesFilter = "All Files (*.*)";
constexpr const char* kSaveCaption = "Save";
constexpr int kSheetWindowSize = 500;

QString q(const char* text)
{
    return QString::fromUtf8(text);
}

// The file's name after its last folder separator.
std::string fileTitle(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool hasMidiExtension(const std::string& path)
{
    return QString::fromStdString(path).endsWith(QStringLiteral(".mid"), Qt::CaseInsensitive);
}

std::string joinWarnings(const std::string& path, const std::vector<std::string>& warnings)
{
    std::string text = "Some of " + path + " was left out:";
    for (const auto& w : warnings)
        text += "\n" + w;
    return text;
}

} // namespace

// Takes the playback thread's reports over to the user-interface thread. A report queued for a
// window that is gone by then is dropped by Qt with the window.
class MainWindow::PlaybackReports final : public PlaybackView {
  public:
    explicit PlaybackReports(MainWindow& window) : m_window(window) {}

    void progress(const Progress& p, int64_t /*atUs*/) override
    {
        const QString elapsed = QString::fromStdString(p.elapsedText);
        const QString total = QString::fromStdString(p.totalText);
        const int slider = p.slider;
        QMetaObject::invokeMethod(
            &m_window, [this, elapsed, total, slider] { m_window.showPlayProgress(elapsed, total, slider); },
            Qt::QueuedConnection);
    }
    void highlightsChanged(int /*trackIndex*/, int64_t /*atUs*/) override
    {
        QMetaObject::invokeMethod(
            &m_window, [this] { m_window.repaintPlayingSheets(); }, Qt::QueuedConnection);
    }
    void ended() override
    {
        QMetaObject::invokeMethod(
            &m_window,
            [this] {
                m_window.updateCommandStates();
                for (SheetWindow* w : m_window.sheetWindows()) {
                    w->markChanged();
                    w->requestPaint();
                }
            },
            Qt::QueuedConnection);
    }

  private:
    MainWindow& m_window;
};

MainWindow::MainWindow(ShellServices services, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services)), m_painter(std::make_unique<PainterThread>()),
      m_mdi(new QMdiArea)
{
    setWindowTitle(QStringLiteral("Tonvela"));
    setObjectName(QStringLiteral("MainWindow"));
    m_mdi->setBackground(QColor(85, 85, 85));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    connect(m_mdi, &QMdiArea::subWindowActivated, this,
            [this](QMdiSubWindow* sub) { subWindowActivated(sub); });
    buildMenus();
    buildToolBars();
    buildPanels();
    buildAbout();
    updatePanels();
    updateCommandStates();
    m_playbackReports = std::make_unique<PlaybackReports>(*this);
    m_services.player.setView(m_playbackReports.get());
}

MainWindow::~MainWindow()
{
    m_destroying = true;
    // After this returns the playback thread reports nowhere.
    m_services.player.setView(nullptr);
    // Document windows unregister from the painter thread, so they go before it (closed ones
    // still waiting for their deferred deletion included).
    for (QMdiSubWindow* sub : m_mdi->findChildren<QMdiSubWindow*>()) {
        sub->removeEventFilter(this);
        delete sub;
    }
    m_painter.reset();
}

QAction* MainWindow::makeAction(int id, const QString& text, const QKeySequence& shortcut)
{
    auto* act = new QAction(text, this);
    act->setData(id);
    if (!shortcut.isEmpty())
        act->setShortcut(shortcut);
    connect(act, &QAction::triggered, this, [this, id] { command(id); });
    m_actions[id] = act;
    return act;
}

QAction* MainWindow::action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void MainWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->addAction(makeAction(kCmdNewSheet, QStringLiteral("New Sheet Document"),
                               QKeySequence(QStringLiteral("Ctrl+N"))));
    file->addAction(makeAction(kCmdNewChordDocument, QStringLiteral("New Chord Document"),
                               QKeySequence(QStringLiteral("Ctrl+D"))));
    file->addAction(makeAction(kCmdOpen, QStringLiteral("Open"), QKeySequence(QStringLiteral("Ctrl+O"))));
    file->addAction(makeAction(kCmdSave, QStringLiteral("Save"), QKeySequence(QStringLiteral("Ctrl+S"))));
    file->addAction(makeAction(kCmdSaveAs, QStringLiteral("Save As")));
    file->addSeparator();
    file->addAction(
        makeAction(kCmdImportMidi, QStringLiteral("Import MIDI"), QKeySequence(QStringLiteral("Ctrl+M"))));
    file->addAction(makeAction(kCmdExportLilypond, QStringLiteral("Export Lilypond")));
    file->addAction(makeAction(kCmdSaveSelectedMidiTrack, QStringLiteral("Save Selected MIDI Track")));
    file->addAction(makeAction(kCmdSaveAllMidiTracks, QStringLiteral("Save All MIDI Tracks")));
    file->addSeparator();
    file->addAction(makeAction(kCmdPrint, QStringLiteral("Print"), QKeySequence(QStringLiteral("Ctrl+P"))));
    file->addSeparator();
    file->addAction(makeAction(kCmdExit, QStringLiteral("Exit"), QKeySequence(QStringLiteral("Ctrl+Q"))));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("Edit"));
    edit->addAction(makeAction(kCmdUndo, QStringLiteral("Undo"), QKeySequence(QStringLiteral("Ctrl+Z"))));
    edit->addAction(makeAction(kCmdRedo, QStringLiteral("Redo"), QKeySequence(QStringLiteral("Ctrl+Y"))));
    edit->addSeparator();
    edit->addAction(makeAction(kCmdCut, QStringLiteral("Cut"), QKeySequence(QStringLiteral("Ctrl+X"))));
    edit->addAction(makeAction(kCmdCopy, QStringLiteral("Copy"), QKeySequence(QStringLiteral("Ctrl+C"))));
    edit->addAction(makeAction(kCmdPaste, QStringLiteral("Paste"), QKeySequence(QStringLiteral("Ctrl+V"))));
    edit->addAction(makeAction(kCmdDelete, QStringLiteral("Delete"), QKeySequence(Qt::Key_Delete)));
    edit->addAction(makeAction(kCmdClear, QStringLiteral("Clear"), QKeySequence(QStringLiteral("Ctrl+E"))));
    edit->addAction(
        makeAction(kCmdSelectAll, QStringLiteral("Select All"), QKeySequence(QStringLiteral("Ctrl+A"))));

    m_windowsMenu = menuBar()->addMenu(QStringLiteral("Windows"));
    makeAction(kCmdShowSheetOptions, QStringLiteral("Show Sheet Options"));
    makeAction(kCmdShowChordOptions, QStringLiteral("Show Chord Options"));
    makeAction(kCmdShowScaleDiagram, QStringLiteral("Show Scale Diagram"));
    makeAction(kCmdCascade, QStringLiteral("Cascade Windows"));
    makeAction(kCmdTile, QStringLiteral("Tile Windows"), QKeySequence(QStringLiteral("Ctrl+W")));
    makeAction(kCmdCloseAll, QStringLiteral("Close All"));
    connect(m_windowsMenu, &QMenu::aboutToShow, this, [this] { rebuildWindowMenu(); });
    rebuildWindowMenu();

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->addAction(makeAction(kCmdAbout, QStringLiteral("About")));
    help->addAction(makeAction(kCmdWebsite, QStringLiteral("Website")));

    // Accelerators without a menu item.
    addAction(makeAction(kCmdQuit, QStringLiteral("Quit"), QKeySequence(Qt::Key_F4)));
    addAction(makeAction(kCmdEventPlayback, QStringLiteral("Play Recorded Events"),
                         QKeySequence(QStringLiteral("Ctrl+G"))));
    addAction(makeAction(kCmdPlayTablaSample, QStringLiteral("Play Tabla Sample"),
                         QKeySequence(QStringLiteral("Ctrl+T"))));
    addAction(makeAction(kCmdPlayStartupWave, QStringLiteral("Play Startup Sound"),
                         QKeySequence(QStringLiteral("Ctrl+R"))));
    addAction(makeAction(kCmdCursorUp, QStringLiteral("Up"), QKeySequence(Qt::Key_Up)));
    addAction(makeAction(kCmdCursorDown, QStringLiteral("Down"), QKeySequence(Qt::Key_Down)));
    addAction(makeAction(kCmdCursorLeft, QStringLiteral("Left"), QKeySequence(Qt::Key_Left)));
    addAction(makeAction(kCmdCursorRight, QStringLiteral("Right"), QKeySequence(Qt::Key_Right)));
}

void MainWindow::rebuildWindowMenu()
{
    m_windowsMenu->clear();
    for (int id : {kCmdShowSheetOptions, kCmdShowChordOptions, kCmdShowScaleDiagram})
        m_windowsMenu->addAction(action(id));
    m_windowsMenu->addSeparator();
    for (int id : {kCmdCascade, kCmdTile, kCmdCloseAll})
        m_windowsMenu->addAction(action(id));
    const auto subs = m_mdi->subWindowList();
    if (!subs.isEmpty())
        m_windowsMenu->addSeparator();
    int number = 1;
    for (QMdiSubWindow* sub : subs) {
        QAction* entry =
            m_windowsMenu->addAction(QStringLiteral("%1 %2").arg(number++).arg(sub->windowTitle()));
        entry->setCheckable(true);
        entry->setChecked(sub == m_mdi->currentSubWindow());
        connect(entry, &QAction::triggered, this, [this, sub] { m_mdi->setActiveSubWindow(sub); });
    }
}

void MainWindow::buildToolBars()
{
    auto makeBar = [this](const QString& name) {
        auto* bar = addToolBar(name);
        bar->setObjectName(name);
        bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
        bar->setMovable(true);
        return bar;
    };
    m_noteBar = makeBar(QStringLiteral("Notes"));
    auto* durations = new QActionGroup(this);
    durations->setExclusive(true);
    const std::pair<int, const char*> durationButtons[] = {
        {kToolQuarter, "Quarter"}, {kToolEighth, "Eighth"}, {kToolSixteenth, "Sixteenth"},
        {kToolHalf, "Half"},       {kToolWhole, "Whole"},   {kToolThirtySecond, "32nd"}};
    for (const auto& [id, text] : durationButtons) {
        QAction* a = makeAction(id, q(text));
        a->setCheckable(true);
        durations->addAction(a);
        m_noteBar->addAction(a);
    }
    action(kToolQuarter)->setChecked(true);
    m_noteBar->addSeparator();
    const std::pair<int, const char*> toggles[] = {
        {kToolRest, "Rest"},       {kToolDot, "Dot"}, {kToolSharp, "Sharp"},    {kToolFlat, "Flat"},
        {kToolNatural, "Natural"}, {kToolTie, "Tie"}, {kToolTriplet, "Triplet"}};
    for (const auto& [id, text] : toggles) {
        QAction* a = makeAction(id, q(text));
        a->setCheckable(true);
        m_noteBar->addAction(a);
    }

    m_editBar = makeBar(QStringLiteral("Edit"));
    auto* markers = new QActionGroup(this);
    markers->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const std::pair<int, const char*> markerButtons[] = {
        {kToolBar, "Bar"}, {kToolSpace, "Space"}, {kToolStaffBreak, "Staff Break"}, {kToolLyrics, "Lyrics"}};
    for (const auto& [id, text] : markerButtons) {
        QAction* a = makeAction(id, q(text));
        a->setCheckable(true);
        markers->addAction(a);
        m_editBar->addAction(a);
    }

    m_playBar = makeBar(QStringLiteral("Play"));
    m_playBar->addAction(makeAction(kCmdPlay, QStringLiteral("Play  ")));
    m_playBar->addAction(makeAction(kCmdPlayAll, QStringLiteral("Play All")));
    m_playBar->addAction(makeAction(kCmdStop, QStringLiteral("Stop  ")));

    addToolBarBreak();
    m_lengthToolBar = makeBar(QStringLiteral("Length"));
    m_lengthBar = new LengthBar;
    m_lengthToolBar->addWidget(m_lengthBar);
    m_lengthBar->onPositionChosen = [this](int position) {
        if (m_services.player.isPlaying())
            m_services.player.seek(static_cast<double>(position) / kLengthSliderMax);
    };
}

void MainWindow::buildPanels()
{
    m_dock = new QDockWidget(QStringLiteral("Settings"), this);
    m_dock->setObjectName(QStringLiteral("Settings"));
    m_dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    m_dock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    m_panels = new PanelContainer;
    m_dock->setWidget(m_panels);
    addDockWidget(Qt::LeftDockWidgetArea, m_dock);
    m_panels->onPanelShown = [this](PanelContainer::Panel) { updatePanels(); };

    SheetOptionsPanel* sheetPanel = m_panels->sheetPanel();
    sheetPanel->onDeviceChosen = [this](int device) {
        if (!m_activeSheet) {
            m_services.notifier.error("No document open to change MIDI setting", "Error");
            return;
        }
        m_activeSheet->midiDevice = device;
    };
    sheetPanel->onTrackCountChosen = [this](int count) {
        if (!m_activeSheet)
            return;
        SheetDocument& sheet = m_activeSheet->sheet();
        if (count == sheet.trackCount())
            return;
        // One track more or fewer per step, as the spin box moves.
        sheet.snapshot();
        sheet.setTrackCount(sheet.trackCount() + (count > sheet.trackCount() ? 1 : -1));
        m_activeSheet->refresh();
        m_panels->sheetPanel()->showTrackCount(sheet.trackCount());
    };
    sheetPanel->onZoomStep = [this](bool up) {
        if (!m_activeSheet)
            return;
        const float zoom = m_activeSheet->zoom();
        if (zoom < 0.25f)
            return;
        m_activeSheet->setZoom(zoom + (up ? kZoomStep : -kZoomStep));
    };
}

void MainWindow::buildAbout()
{
    m_about = new QDialog(this);
    m_about->setWindowTitle(QStringLiteral("About Tonvela"));
    m_about->setModal(false);
    m_about->resize(600, 500);
    QPalette p = m_about->palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    m_about->setPalette(p);
    m_about->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(m_about);
    auto* title =
        new QLabel(QStringLiteral("<h2>Tonvela</h2><p>Sheet editing, MIDI playing and chord diagrams "
                                  "for the Linux desktop.</p>"));
    auto* author =
        new QLabel(QStringLiteral("<p>Written by the Tonvela developers. Questions, bug reports and "
                                  "ideas are welcome at %1.</p>")
                       .arg(q(kWebsiteAddress)));
    author->setWordWrap(true);
    auto* keys =
        new QLabel(QStringLiteral("Keyboard Input:\nW - whole, H - half, Q - quarter, E - eight, Y - "
                                  "sixteenth\nR - rest, S - sharp, F - flat, D - dot, T - tie"));
    keys->setObjectName(QStringLiteral("keyboardInput"));
    auto* tips =
        new QLabel(QStringLiteral("<p>Tips: hold Ctrl and turn the mouse wheel to zoom a sheet. Opening a "
                                  ".shd file from the file manager brings it into the running Tonvela.</p>"));
    tips->setWordWrap(true);
    auto* close = new QPushButton(QStringLiteral("Close"));
    connect(close, &QPushButton::clicked, m_about, &QDialog::hide);
    layout->addWidget(title);
    layout->addWidget(author);
    layout->addWidget(keys);
    layout->addWidget(tips);
    layout->addStretch(1);
    layout->addWidget(close, 0, Qt::AlignRight);
}

void MainWindow::showAtSavedPlacement()
{
    const WindowPlacement placement = readWindowPlacement(m_services.settings);
    move(placement.left, placement.top);
    resize(placement.width(), placement.height());
    if (placement.maximized)
        showMaximized();
    else
        show();
}

void MainWindow::savePlacement()
{
    WindowPlacement placement;
    placement.maximized = isMaximized();
    const QRect normal = placement.maximized ? normalGeometry() : QRect(pos(), size());
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    writeWindowPlacement(m_services.settings, placement);
}

void MainWindow::setEditing(SheetEditing* editing)
{
    m_editing = editing;
    for (SheetWindow* w : sheetWindows())
        w->setEditing(editing);
    updateCommandStates();
}

// ---- documents ---------------------------------------------------------------------------

std::vector<SheetWindow*> MainWindow::sheetWindows() const
{
    std::vector<SheetWindow*> out;
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        if (auto* w = dynamic_cast<SheetWindow*>(sub->widget()); w && !sub->isHidden())
            out.push_back(w);
    return out;
}

std::vector<ChordWindow*> MainWindow::chordWindows() const
{
    std::vector<ChordWindow*> out;
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        if (auto* w = dynamic_cast<ChordWindow*>(sub->widget()); w && !sub->isHidden())
            out.push_back(w);
    return out;
}

QMdiSubWindow* MainWindow::addDocumentWindow(QWidget* window, const QRect& geometry)
{
    QMdiSubWindow* sub = m_mdi->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->installEventFilter(this);
    sub->setGeometry(geometry);
    connect(sub, &QObject::destroyed, this, [this, window] { documentClosed(window); });
    sub->show();
    m_dock->show();
    m_lengthToolBar->show();
    activate(window);
    return sub;
}

SheetWindow* MainWindow::addSheetWindow(std::unique_ptr<SheetDocument> sheet)
{
    const int n = static_cast<int>(sheetWindows().size());
    auto* window = new SheetWindow(std::move(sheet), *m_painter, m_services.clock);
    window->setEditing(m_editing);
    window->midiDevice = m_panels->sheetPanel()->device();
    window->onStateChanged = [this](SheetWindow& w) {
        if (&w == m_activeSheet)
            updatePanels();
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
    addDocumentWindow(window, QRect(20 * n, 20 * n + 20, kSheetWindowSize, kSheetWindowSize));
    return window;
}

ChordWindow* MainWindow::addChordWindow(std::unique_ptr<ChordDocument> document)
{
    const int n = static_cast<int>(chordWindows().size());
    auto* window = new ChordWindow(std::move(document));
    window->onStateChanged = [this](ChordWindow&) { updatePanels(); };
    addDocumentWindow(window, QRect(20 * n, 20 * n + 90, 600, 300));
    return window;
}

SheetWindow* MainWindow::newSheet()
{
    SheetLockGuard lock(sheetLock());
    auto sheet = std::make_unique<SheetDocument>();
    const int n = static_cast<int>(sheetWindows().size());
    sheet->setPathAndCaption("Sheet " + std::to_string(n + 1), "");
    sheet->modified = 0;
    return addSheetWindow(std::move(sheet));
}

ChordWindow* MainWindow::newChordDocument()
{
    auto doc = std::make_unique<ChordDocument>();
    doc->title = "Chord " + std::to_string(chordWindows().size() + 1);
    return addChordWindow(std::move(doc));
}

bool MainWindow::openFile(const std::string& path)
{
    const std::string title = fileTitle(path);
    const QFileInfo info(QString::fromStdString(path));
    if (!info.exists()) {
        m_services.notifier.error("Could not open " + path + ": the file does not exist.", "Error");
        return false;
    }
    if (!info.isFile() || !info.isReadable()) {
        m_services.notifier.error("Could not open " + path + ": it is not a file that can be read.", "Error");
        return false;
    }
    if (hasMidiExtension(path)) {
        MidiImportResult result;
        std::unique_ptr<SheetDocument> sheet = importMidiFile(path, &result);
        if (!sheet) {
            m_services.notifier.error("Could not import " + path + ": " + result.error, "Error");
            return false;
        }
        SheetWindow* w = addSheetWindow(std::move(sheet));
        w->sheet().selectTrack(0);
        w->refresh();
        if (!result.warnings.empty())
            m_services.notifier.error(joinWarnings(path, result.warnings), "Warning");
        return true;
    }
    const std::string root = peekFirstToken(path);
    if (root == "staffdoc") {
        auto sheet = std::make_unique<SheetDocument>();
        const SheetLoadResult result = loadSheet(*sheet, title, path);
        if (!result.ok()) {
            m_services.notifier.error("Could not open " + path + ": " + result.error, "Error");
            return false;
        }
        SheetWindow* w = addSheetWindow(std::move(sheet));
        w->sheet().selectTrack(0);
        w->onResize();
        if (!result.warnings.empty())
            m_services.notifier.error(joinWarnings(path, result.warnings), "Warning");
        return true;
    }
    if (root == kChordDocumentRoot) {
        auto doc = std::make_unique<ChordDocument>();
        const ChordLoadResult result = readChordDocument(*doc, title, path);
        if (!result.ok()) {
            m_services.notifier.error("Could not open " + path + ": " + result.error, "Error");
            return false;
        }
        addChordWindow(std::move(doc));
        if (!result.warnings.empty())
            m_services.notifier.error(joinWarnings(path, result.warnings), "Warning");
        return true;
    }
    m_services.notifier.error(
        "Could not open " + path + ": it is not a sheet, a chord document or a MIDI file.", "Error");
    return false;
}

void MainWindow::openRequested(const std::string& path)
{
    openFile(path);
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

bool MainWindow::saveSheet(SheetWindow& window, bool asking)
{
    SheetDocument& sheet = window.sheet();
    if (!asking && !sheet.path.empty()) {
        const FileResult result = tonvela::saveSheet(sheet, sheet.caption, sheet.path);
        if (!result) {
            m_services.notifier.error("Could not save " + sheet.path + ": " + result.error, "Error");
            return false;
        }
        return true;
    }
    const QStringList filters{q(kSheetFilter), q(kMidiFilter), q(kAllFilesFilter)};
    const auto choice = m_services.dialogs.saveFile(QStringLiteral("Save As"), filters, QStringLiteral("shd"),
                                                    qtText(sheet.path.empty() ? sheet.caption : sheet.path));
    if (!choice)
        return false;
    if (choice->filterIndex == 1) {
        // The MIDI entry writes the first track as a Standard MIDI File; the sheet itself
        // stays unsaved.
        const FileResult result = writeMidiFile(sheet, choice->path, 0);
        if (!result) {
            m_services.notifier.error("Could not save " + choice->path + ": " + result.error, "Error");
            return false;
        }
        return true;
    }
    const FileResult result = tonvela::saveSheet(sheet, fileTitle(choice->path), choice->path);
    if (!result) {
        m_services.notifier.error("Could not save " + choice->path + ": " + result.error, "Error");
        return false;
    }
    window.setFocus();
    return true;
}

bool MainWindow::saveChord(ChordWindow& window, bool asking)
{
    ChordDocument& doc = window.document();
    std::string path = doc.path;
    std::string title = doc.title;
    if (asking || path.empty()) {
        const QStringList filters{q(kSheetFilter), q(kAllFilesFilter)};
        const auto choice = m_services.dialogs.saveFile(
            QStringLiteral("Save As"), filters, QStringLiteral("shd"), qtText(path.empty() ? title : path));
        if (!choice)
            return false;
        path = choice->path;
        title = fileTitle(path);
    }
    const FileResult result = writeChordDocument(doc, title, path);
    if (!result) {
        m_services.notifier.error("Could not save " + path + ": " + result.error, "Error");
        return false;
    }
    return true;
}

bool MainWindow::save(bool asking)
{
    bool ok = false;
    if (m_activeChord)
        ok = saveChord(*m_activeChord, asking);
    else if (m_activeSheet)
        ok = saveSheet(*m_activeSheet, asking);
    rebuildWindowMenu();
    return ok;
}

void MainWindow::openWithDialog()
{
    const QStringList filters{q(kSheetFilter), q(kAllFilesFilter)};
    const auto choice = m_services.dialogs.openFile(QStringLiteral("Open"), filters, QStringLiteral("shd"));
    if (choice)
        openFile(choice->path);
}

void MainWindow::importMidi()
{
    const QStringList filters{QStringLiteral("Midi files (*.mid)"), QStringLiteral("All Files (*)")};
    const auto choice =
        m_services.dialogs.openFile(QStringLiteral("Import MIDI"), filters, QStringLiteral("mid"));
    if (!choice)
        return;
    MidiImportResult result;
    std::unique_ptr<SheetDocument> sheet = importMidiFile(choice->path, &result);
    if (!sheet) {
        m_services.notifier.error("Could not import " + choice->path + ": " + result.error, "Error");
        return;
    }
    SheetWindow* w = addSheetWindow(std::move(sheet));
    w->sheet().selectTrack(0);
    w->refresh();
    if (!result.warnings.empty())
        m_services.notifier.error(joinWarnings(choice->path, result.warnings), "Warning");
}

void MainWindow::exportLilypond()
{
    if (!m_activeSheet)
        return;
    SheetDocument& sheet = m_activeSheet->sheet();
    const QStringList filters{q(kLilypondFilter), q(kAllFilesFilter)};
    const auto choice =
        m_services.dialogs.saveFile(QStringLiteral("Export Lilypond"), filters, QStringLiteral("ly"), {});
    if (!choice)
        return;
    const FileResult result = tonvela::exportLilypond(sheet, fileTitle(choice->path), choice->path);
    if (!result)
        m_services.notifier.error("Could not export " + choice->path + ": " + result.error, "Error");
}

void MainWindow::exportMidi(bool selectedTrackOnly)
{
    if (!m_activeSheet)
        return;
    SheetDocument& sheet = m_activeSheet->sheet();
    if (selectedTrackOnly && !sheet.trackAt(sheet.selectedTrack))
        return;
    const QStringList filters{q(kMidiFilter), q(kAllFilesFilter)};
    const auto choice =
        m_services.dialogs.saveFile(selectedTrackOnly ? QStringLiteral("Save Selected MIDI Track")
                                                      : QStringLiteral("Save All MIDI Tracks"),
                                    filters, QStringLiteral("mid"), {});
    if (!choice)
        return;
    const FileResult result =
        writeMidiFile(sheet, choice->path, selectedTrackOnly ? sheet.selectedTrack : kAllTracks);
    if (!result)
        m_services.notifier.error("Could not save " + choice->path + ": " + result.error, "Error");
}

void MainWindow::print()
{
    if (!m_activeSheet)
        return;
    SheetWindow& window = *m_activeSheet;
    std::unique_ptr<Printer> printer = m_services.dialogs.choosePrinter(window.sheet().caption);
    if (!printer)
        return;
    PrintResult result;
    {
        SheetLockGuard lock(sheetLock());
        window.view().title = window.sheet().caption;
        result = printSheet(window.view(), *printer, window.logicalDpiX(), window.logicalDpiY());
    }
    window.onResize();
    if (!result.ok)
        m_services.notifier.error("Could not print " + window.sheet().caption + ": " + result.error, "Error");
}

void MainWindow::showPlayProgress(const QString& elapsed, const QString& total, int slider)
{
    m_lengthBar->showTimes(elapsed, total);
    QSlider* s = m_lengthBar->slider();
    if (slider >= 0 && !s->isSliderDown()) {
        const QSignalBlocker quiet(s);
        s->setValue(std::clamp(slider, 0, kLengthSliderMax));
    }
}

void MainWindow::repaintPlayingSheets()
{
    for (SheetWindow* w : sheetWindows()) {
        if (m_services.player.isPlaying(&w->sheet())) {
            w->markChanged();
            w->requestPaint();
        }
    }
}

void MainWindow::play(int id)
{
    if (!m_activeSheet || !m_services.player.available())
        return;
    const PlayMode mode = id == kCmdPlay      ? PlayMode::Track
                          : id == kCmdPlayAll ? PlayMode::All
                                              : PlayMode::Events;
    if (mode == PlayMode::Events)
        m_services.player.stop();
    m_services.player.play(m_activeSheet->sheet(), mode, m_activeSheet->midiDevice);
}

// ---- closing -------------------------------------------------------------------------------

bool MainWindow::confirmClose(QWidget* documentWindow)
{
    std::string title;
    bool modified = false;
    if (auto* sheet = dynamic_cast<SheetWindow*>(documentWindow)) {
        if (m_services.player.isPlaying(&sheet->sheet()))
            m_services.player.stop();
        title = sheet->sheet().caption;
        modified = sheet->sheet().modified != 0;
    } else if (auto* chord = dynamic_cast<ChordWindow*>(documentWindow)) {
        title = chord->document().title;
        modified = chord->document().modified != 0;
    }
    if (!modified)
        return true;
    activate(documentWindow);
    switch (m_services.notifier.question("Save file " + title + "?", kSaveCaption)) {
    case Notifier::Answer::Yes:
        if (auto* sheet = dynamic_cast<SheetWindow*>(documentWindow))
            return saveSheet(*sheet, true);
        if (auto* chord = dynamic_cast<ChordWindow*>(documentWindow))
            return saveChord(*chord, true);
        return true;
    case Notifier::Answer::No:
        return true;
    case Notifier::Answer::Cancel:
        return false;
    }
    return false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(watched)) {
            if (!confirmClose(sub->widget())) {
                event->ignore();
                return true;
            }
            // The window goes now; its deletion follows later from the event loop.
            documentClosed(sub->widget());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::documentClosed(QWidget* documentWindow)
{
    if (m_destroying)
        return;
    if (documentWindow == m_activeSheet)
        m_activeSheet = nullptr;
    if (documentWindow == m_activeChord)
        m_activeChord = nullptr;
    if (!m_mdi)
        return;
    // The closed window's sub-window may still be listed while it is being destroyed.
    const auto subs = m_mdi->subWindowList();
    const bool anyLeft = std::any_of(subs.begin(), subs.end(), [documentWindow](QMdiSubWindow* s) {
        return s->widget() && s->widget() != documentWindow && !s->isHidden();
    });
    if (!anyLeft) {
        m_dock->hide();
        m_lengthToolBar->hide();
    } else if (!m_activeSheet && !m_activeChord) {
        if (QMdiSubWindow* current = m_mdi->currentSubWindow();
            current && current->widget() != documentWindow)
            activate(current->widget());
    }
    updatePanels();
    updateCommandStates();
}

bool MainWindow::closeAllDocuments(bool exiting)
{
    if (m_services.player.isPlaying()) {
        m_services.player.stop();
        if (!exiting)
            return false;
    }
    m_closingAll = true;
    bool all = true;
    // Sheets first, then chord documents; each asks its own question.
    for (QWidget* w : sheetWindows()) {
        if (!w->parentWidget()->close()) {
            all = false;
            break;
        }
    }
    if (all) {
        for (QWidget* w : chordWindows()) {
            if (!w->parentWidget()->close()) {
                all = false;
                break;
            }
        }
    }
    m_closingAll = false;
    return all;
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
    const auto sheets = sheetWindows();
    const auto chords = chordWindows();
    const bool anyModified =
        std::any_of(sheets.begin(), sheets.end(), [](SheetWindow* w) { return w->sheet().modified != 0; }) ||
        std::any_of(chords.begin(), chords.end(), [](ChordWindow* w) { return w->document().modified != 0; });
    if (anyModified) {
        close(); // asks like Exit
        return;
    }
    m_services.player.stop();
    savePlacement();
    if (m_services.quit)
        m_services.quit(0);
}

// ---- activation and panels -----------------------------------------------------------------

void MainWindow::activate(QWidget* documentWindow)
{
    if (!documentWindow)
        return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(documentWindow->parentWidget())) {
        m_mdi->setActiveSubWindow(sub);
        subWindowActivated(sub);
    }
    documentWindow->setFocus();
}

void MainWindow::subWindowActivated(QMdiSubWindow* sub)
{
    if (!sub || !sub->widget())
        return;
    if (auto* sheet = dynamic_cast<SheetWindow*>(sub->widget())) {
        m_activeSheet = sheet;
        m_activeChord = nullptr;
        m_panels->showPanel(PanelContainer::Panel::Sheet);
    } else if (auto* chord = dynamic_cast<ChordWindow*>(sub->widget())) {
        m_activeChord = chord;
        m_activeSheet = nullptr;
    }
    m_dock->show();
    m_lengthToolBar->show();
    updatePanels();
    updateCommandStates();
}

void MainWindow::showPanel(PanelContainer::Panel panel)
{
    m_dock->show();
    m_panels->showPanel(panel);
}

void MainWindow::updatePanels()
{
    QString caption;
    switch (m_panels->currentPanel()) {
    case PanelContainer::Panel::Sheet:
        caption = m_activeSheet ? QStringLiteral("Sheet Document - %1 - Track %2")
                                      .arg(qtText(m_activeSheet->sheet().caption))
                                      .arg(m_activeSheet->sheet().selectedTrack + 1)
                                : QStringLiteral("Sheet Document");
        break;
    case PanelContainer::Panel::Chord:
        caption = QStringLiteral("Chord Diagrammer");
        break;
    case PanelContainer::Panel::Scale:
        caption = QStringLiteral("Scale Diagram");
        break;
    }
    m_dock->setWindowTitle(caption);
    SheetOptionsPanel* panel = m_panels->sheetPanel();
    if (m_activeSheet) {
        SheetDocument& sheet = m_activeSheet->sheet();
        panel->showTrackCount(sheet.trackCount());
        panel->showZoom(m_activeSheet->zoom());
        if (m_activeSheet->midiDevice < panel->deviceList()->count())
            panel->deviceList()->setCurrentIndex(m_activeSheet->midiDevice);
        const Track* track = sheet.trackAt(sheet.selectedTrack);
        m_lengthBar->showTimes(QStringLiteral("00:00"), minutesSeconds(track ? totalPlayMs(*track) : 0));
        m_lengthBar->showStatus(m_services.player.isPlaying(&sheet) ? QStringLiteral("Playing")
                                                                    : QStringLiteral("Stopped"));
    } else {
        m_lengthBar->showTimes(QStringLiteral("00:00"), QStringLiteral("00:00"));
        m_lengthBar->showStatus(QString());
    }
}

void MainWindow::updateCommandStates()
{
    const bool playable = m_services.player.available();
    for (int id : {kCmdPlay, kCmdPlayAll, kCmdStop, kCmdEventPlayback})
        action(id)->setEnabled(playable);
    // Selection editing and the scale diagram come with the editor's mouse editing and the
    // scale tools; until they are plugged in their commands are shown disabled.
    const bool editing = m_editing != nullptr;
    for (int id : {kCmdCut, kCmdCopy, kCmdPaste, kCmdDelete, kCmdClear, kCmdSelectAll})
        action(id)->setEnabled(editing);
    action(kCmdShowScaleDiagram)->setEnabled(false);
}

void MainWindow::fillDevices()
{
    if (m_devicesFilled || !m_services.listDevices)
        return;
    m_devicesFilled = true;
    m_deviceNames = m_services.listDevices();
    m_panels->sheetPanel()->setDevices(m_deviceNames);
    updatePanels();
}

// ---- commands ------------------------------------------------------------------------------

bool MainWindow::command(int id)
{
    if (QAction* a = action(id); a && !a->isEnabled())
        return false;
    if (m_activeSheet && m_editing && m_editing->handleCommand(*m_activeSheet, id))
        return true;
    switch (id) {
    case kCmdNewSheet:
        newSheet();
        return true;
    case kCmdNewChordDocument:
        newChordDocument();
        return true;
    case kCmdOpen:
        openWithDialog();
        return true;
    case kCmdSave:
        return save(false);
    case kCmdSaveAs:
        return save(true);
    case kCmdImportMidi:
        importMidi();
        return true;
    case kCmdExportLilypond:
        if (!m_activeSheet)
            return false;
        exportLilypond();
        return true;
    case kCmdSaveSelectedMidiTrack:
    case kCmdSaveAllMidiTracks:
        if (!m_activeSheet)
            return false;
        exportMidi(id == kCmdSaveSelectedMidiTrack);
        return true;
    case kCmdPrint:
        if (!m_activeSheet)
            return false;
        print();
        return true;
    case kCmdExit:
        close();
        return true;
    case kCmdQuit:
        quitAtOnce();
        return true;
    case kCmdUndo:
    case kCmdRedo:
        if (!m_activeSheet)
            return false;
        if (id == kCmdUndo)
            m_activeSheet->sheet().undo();
        else
            m_activeSheet->sheet().redo();
        m_activeSheet->refresh();
        return true;
    case kCmdShowSheetOptions:
        showPanel(PanelContainer::Panel::Sheet);
        return true;
    case kCmdShowChordOptions:
        showPanel(PanelContainer::Panel::Chord);
        return true;
    case kCmdCascade:
        m_mdi->cascadeSubWindows();
        return true;
    case kCmdTile:
        m_mdi->tileSubWindows();
        return true;
    case kCmdCloseAll:
        return closeAllDocuments(false);
    case kCmdAbout:
        m_about->show();
        m_about->raise();
        return true;
    case kCmdWebsite:
        if (m_services.openUrl)
            m_services.openUrl(q(kWebsiteAddress));
        return true;
    case kCmdPlay:
    case kCmdPlayAll:
    case kCmdEventPlayback:
        if (!m_activeSheet)
            return false;
        play(id);
        updatePanels();
        return true;
    case kCmdPlayTablaSample:
        m_services.player.playBankSample("../Tabla.sf2");
        return true;
    case kCmdPlayStartupWave:
        m_services.player.playWaveFile("../startup.wav");
        return true;
    case kCmdStop:
        m_services.player.stop();
        updatePanels();
        return true;
    default:
        return false;
    }
}

} // namespace tonvela
