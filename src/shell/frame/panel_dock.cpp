#include "shell/frame/panel_dock.h"

#include "editor/editing/sheet_editor.h"
#include "playback/scheduler.h"
#include "render/qt_canvas.h"
#include "score/play_time.h"
#include "score/sheet_document.h"
#include "shell/documents/document_window.h"
#include "shell/panels/length_bar.h"
#include "shell/panels/sheet_options_panel.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QToolBar>

namespace tonvela {

PanelDock::PanelDock(QMainWindow& window)
    : m_dock(new QDockWidget(QStringLiteral("Settings"), &window)), m_container(new PanelContainer),
      m_lengthToolBar(nullptr), m_lengthBar(new LengthBar)
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
    m_dock->setWidget(m_container);
    window.addDockWidget(Qt::LeftDockWidgetArea, m_dock);
}

void PanelDock::setShown(bool shown)
{
    m_dock->setVisible(shown);
    m_lengthToolBar->setVisible(shown);
}

void PanelDock::showPanel(PanelContainer::Panel panel)
{
    m_dock->show();
    m_container->showPanel(panel);
}

void PanelDock::showDocument(const DocumentWindow* active, bool playing)
{
    const SheetEditor* editor = active ? active->sheetEditor() : nullptr;
    const SheetDocument* sheet = editor ? &editor->sheet() : nullptr;
    QString caption;
    switch (m_container->currentPanel()) {
    case PanelContainer::Panel::Sheet:
        caption = sheet ? QStringLiteral("Sheet Document - %1 - Track %2")
                              .arg(qtText(sheet->caption))
                              .arg(sheet->selectedTrack + 1)
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
    panel->showBeatsSelected(sheet->selectedBeats());
    // The pointer's note names the status while nothing plays.
    const QString status = qtText(editor->statusText());
    m_lengthBar->showStatus(playing            ? QStringLiteral("Playing")
                            : status.isEmpty() ? QStringLiteral("Stopped")
                                               : status);
    const int position = active->playPosition();
    m_lengthBar->showPosition(position);
    if (playing)
        return; // the playback's next report brings the times
    const Track* track = sheet->trackAt(sheet->selectedTrack);
    const long long total = track ? totalPlayMs(*track) : 0;
    m_lengthBar->showTimes(minutesSeconds(total * position / kSliderRange), minutesSeconds(total));
}

} // namespace tonvela
