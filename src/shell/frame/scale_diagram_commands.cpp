#include "shell/frame/scale_diagram_commands.h"

#include "shell/documents/scale_diagram_window.h"
#include "shell/frame/main_window.h"
#include "shell/panels/scale_panel.h"

namespace tonvela {
namespace {
const QRect kScaleDiagramGeometry(50, 130, 450, 370);
} // namespace

ScaleDiagramCommands::ScaleDiagramCommands(MainWindow& window)
    : QObject(&window), m_frame(window), m_panel(window.panels()->scalePanel())
{
    setObjectName(QStringLiteral("ScaleDiagramCommands"));
    m_previousListener = std::move(m_panel->onScaleChanged);
    m_panel->onScaleChanged = [this] { scaleChanged(); };
}

ScaleDiagramCommands::~ScaleDiagramCommands()
{
    if (m_panel)
        m_panel->onScaleChanged = std::move(m_previousListener);
}

ScaleDiagramCommands& ScaleDiagramCommands::of(MainWindow& window)
{
    auto* commands = window.findChild<ScaleDiagramCommands*>(QStringLiteral("ScaleDiagramCommands"),
                                                             Qt::FindDirectChildrenOnly);
    return commands ? *commands : *new ScaleDiagramCommands(window);
}

ScaleDiagramWindow* ScaleDiagramCommands::window() const
{
    return m_window;
}

ScaleDiagramWindow* ScaleDiagramCommands::show()
{
    if (m_window) {
        QWidget* sub = m_window->parentWidget();
        if (sub && sub->isMinimized())
            sub->showNormal();
        m_frame.activate(m_window);
        if (sub)
            sub->raise();
        return m_window;
    }
    auto* window = new ScaleDiagramWindow(m_frame.services().clock, m_panel->selection());
    window->setOpenStrings(m_openStrings);
    m_window = window;
    m_frame.addDocumentWindow(*window, kScaleDiagramGeometry);
    return window;
}

void ScaleDiagramCommands::followTuning(const std::string& openStrings)
{
    m_openStrings = openStrings;
    if (m_window)
        m_window->setOpenStrings(openStrings);
}

void ScaleDiagramCommands::scaleChanged()
{
    if (m_previousListener)
        m_previousListener();
    if (m_window && m_panel)
        m_window->setScale(m_panel->selection());
}

bool showScaleDiagram(MainWindow& window)
{
    ScaleDiagramCommands::of(window).show();
    return true;
}

} // namespace tonvela
