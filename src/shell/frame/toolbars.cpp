#include "shell/frame/toolbars.h"

#include "editor/commands.h"
#include "editor/editing/tool_editing.h"
#include "editor/editing/tool_state.h"
#include "render/tool_icons.h"
#include "shell/frame/command_table.h"

#include <QAction>
#include <QMainWindow>
#include <QToolBar>
#include <QWidget>

namespace tonvela {

ToolButtonLooks::ToolButtonLooks(QObject* parent, std::vector<std::pair<int, QAction*>> buttons)
    : QObject(parent), m_buttons(std::move(buttons)), m_watch(watchToolGroups([this] { refresh(); }))
{
    for (const auto& [id, action] : m_buttons)
        // Connected after the frame's own handler: runs once the command went to the sheet,
        // and undoes the check a click gave a button that no sheet took.
        connect(action, &QAction::triggered, this, [this] { refresh(); });
    refresh();
}

ToolButtonLooks::~ToolButtonLooks()
{
    unwatchToolGroups(m_watch);
}

void ToolButtonLooks::refresh()
{
    const SharedToolGroups& groups = sharedToolGroups();
    for (const auto& [id, action] : m_buttons) {
        const CommandRow* row = findCommand(id);
        const ToolGroupState& group = row && row->toolbar == Bar::Edit ? groups.edit : groups.notes;
        const bool down = group.isDown(id);
        if (action->isChecked() != down)
            action->setChecked(down);
    }
}

QString toolDescription(int id)
{
    const CommandRow* row = findCommand(id);
    if (!row)
        return {};
    const QString name = QString::fromUtf8(row->text).trimmed();
    const char letter = toolLetter(id);
    return letter ? QStringLiteral("%1 (%2)").arg(name, QChar::fromLatin1(letter)) : name;
}

ToolBars buildToolBars(QMainWindow& window, const std::function<QAction*(int)>& actionOf)
{
    auto makeBar = [&window](const QString& name, Qt::ToolButtonStyle style) {
        auto* bar = window.addToolBar(name);
        bar->setObjectName(name);
        bar->setToolButtonStyle(style);
        bar->setMovable(true);
        return bar;
    };
    ToolBars bars;
    // The tools show their pictures; the play buttons keep their words.
    bars.notes = makeBar(QStringLiteral("Notes"), Qt::ToolButtonIconOnly);
    bars.edit = makeBar(QStringLiteral("Edit"), Qt::ToolButtonIconOnly);
    bars.play = makeBar(QStringLiteral("Play"), Qt::ToolButtonTextOnly);

    std::vector<std::pair<int, QAction*>> toolButtons;
    for (const CommandRow& row : commandTable()) {
        QToolBar* bar = row.toolbar == Bar::Notes  ? bars.notes
                        : row.toolbar == Bar::Edit ? bars.edit
                        : row.toolbar == Bar::Play ? bars.play
                                                   : nullptr;
        if (!bar)
            continue;
        QAction* action = actionOf(row.id);
        if (row.toolbar != Bar::Play) {
            toolButtons.emplace_back(row.id, action);
            action->setIcon(toolIcon(row.id));
            action->setToolTip(toolDescription(row.id));
        }
        if (row.separatorBefore)
            bar->addSeparator();
        bar->addAction(action);
        // Screen readers say what the picture shows, and its key.
        if (row.toolbar != Bar::Play)
            if (QWidget* button = bar->widgetForAction(action))
                button->setAccessibleName(toolDescription(row.id));
    }
    bars.looks = new ToolButtonLooks(&window, std::move(toolButtons));
    return bars;
}

} // namespace tonvela
