#include "shell/frame/panel_dock.h"

#include "editor/editing/sheet_editor.h"
#include "render/qt_canvas.h"
#include "score/play_time.h"
#include "score/sheet_document.h"
#include "shell/documents/document_window.h"
#include "shell/frame/dock_caption.h"
#include "shell/panels/length_bar.h"
#include "shell/panels/sheet_options_panel.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QToolBar>

namespace tonvela {
namespace {

int selectedNoteCount(const SheetDocument& sheet)
{
    int count = 0;
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const Track* track = sheet.trackAt(t);
        for (int i = 0; track && i < track->count; ++i)
            count += track->noteAt(i).selected ? 1 : 0;
    }
    return count;
}

QString captionFor(PanelContainer::Panel panel, const SheetDocument* sheet)
{
    switch (panel) {
    case PanelContainer::Panel::Sheet:
        return sheet ? QStringLiteral("Sheet Document - %1 - Track %2")
                           .arg(qtText(sheet->caption))
                           .arg(sheet->selectedTrack + 1)
                     : QStringLiteral("Sheet Document");
    case PanelContainer::Panel::Chord:
        return QStringLiteral("Chord Diagrammer");
    case PanelContainer::Panel::Scale:
        return QStringLiteral("Scale Diagram");
    }
    return {};
}

} // namespace

PanelDock::PanelDock(QMainWindow& window, QAction* showAction)
    : m_dock(new QDockWidget(QStringLiteral("Settings"), &window)), m_container(new PanelContainer),
      m_caption(new DockCaption(*m_dock)), m_lengthToolBar(nullptr), m_lengthBar(new LengthBar),
      m_showAction(showAction)
{
    window.addToolBarBreak();
    m_lengthToolBar = window.addToolBar(QStringLiteral("Length"));
    m_lengthToolBar->setObjectName(QStringLiteral("Length"));
    m_lengthToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_lengthToolBar->setMovable(true);
    m_lengthToolBar->addWidget(m_lengthBar);

    m_dock->setObjectName(QStringLiteral("Settings"));
    m_dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    m_dock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    m_dock->setTitleBarWidget(m_caption);
    m_dock->setWidget(m_container);
    window.addDockWidget(Qt::LeftDockWidgetArea, m_dock);
    m_caption->onClose = [this] { setShownByUser(false); };
    // The main window's context menu lists the dock too; unticking it there is the user's word.
    QObject::connect(m_dock->toggleViewAction(), &QAction::triggered, m_dock,
                     [this](bool shown) { setShownByUser(shown); });
    followShown();
}

bool PanelDock::isShown() const
{
    return !m_dock->isHidden();
}

void PanelDock::setShown(bool shown)
{
    m_dock->setVisible(shown && !m_hiddenByUser);
    m_lengthToolBar->setVisible(shown);
    followShown();
}

void PanelDock::setShownByUser(bool shown)
{
    m_hiddenByUser = !shown;
    m_dock->setVisible(shown);
    if (shown)
        m_lengthToolBar->show();
    followShown();
}

void PanelDock::showPanel(PanelContainer::Panel panel)
{
    setShownByUser(true);
    m_container->showPanel(panel);
}

void PanelDock::followShown()
{
    if (m_showAction)
        m_showAction->setChecked(isShown());
}

void PanelDock::showDocument(const DocumentWindow* active, bool playing)
{
    const SheetEditor* editor = active ? active->sheetEditor() : nullptr;
    const SheetDocument* sheet = editor ? &editor->sheet() : nullptr;
    m_dock->setWindowTitle(captionFor(m_container->currentPanel(), sheet));
    if (!sheet) {
        m_lengthBar->showTimes(QStringLiteral("00:00"), QStringLiteral("00:00"));
        m_lengthBar->showPosition(0);
        m_lengthBar->showStatus(QString());
        return;
    }
    SheetOptionsPanel* panel = m_container->sheetPanel();
    panel->showTrackCount(sheet->trackCount());
    panel->showZoom(editor->zoom());
    panel->showDevice(active->midiDevice());
    panel->showSelectedTrack(sheet->trackAt(sheet->selectedTrack) ? sheet->selectedTrack : -1);
    const double beats = sheet->selectedBeats();
    panel->showBeatsSelected(beats);
    m_lengthBar->showStatus(
        lengthBarStatus(qtText(editor->statusText()), selectedNoteCount(*sheet), beats, playing));
    const int position = active->playPosition();
    m_lengthBar->showPosition(position);
    if (playing)
        return; // the playback's next report brings the times
    const Track* track = sheet->trackAt(sheet->selectedTrack);
    const long long total = track ? totalPlayMs(*track) : 0;
    m_lengthBar->showTimes(minutesSeconds(total * position / kSliderRange), minutesSeconds(total));
}

} // namespace tonvela
