#include "shell/frame/toolbars.h"

#include "editor/commands.h"
#include "shell/frame/command_table.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QToolBar>

namespace tonvela {

ToolBars buildToolBars(QMainWindow& window, const std::function<QAction*(int)>& actionOf)
{
    auto makeBar = [&window](const QString& name) {
        auto* bar = window.addToolBar(name);
        bar->setObjectName(name);
        bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
        bar->setMovable(true);
        return bar;
    };
    ToolBars bars;
    bars.notes = makeBar(QStringLiteral("Notes"));
    bars.edit = makeBar(QStringLiteral("Edit"));
    bars.play = makeBar(QStringLiteral("Play"));
    auto* durations = new QActionGroup(&window);
    durations->setExclusive(true);
    auto* markers = new QActionGroup(&window);
    markers->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);

    for (const CommandRow& row : commandTable()) {
        QToolBar* bar = row.toolbar == Bar::Notes  ? bars.notes
                        : row.toolbar == Bar::Edit ? bars.edit
                        : row.toolbar == Bar::Play ? bars.play
                                                   : nullptr;
        if (!bar)
            continue;
        QAction* action = actionOf(row.id);
        if (row.check == Check::Duration)
            durations->addAction(action);
        else if (row.check == Check::Marker)
            markers->addAction(action);
        if (row.separatorBefore)
            bar->addSeparator();
        bar->addAction(action);
    }
    actionOf(kToolQuarter)->setChecked(true);
    return bars;
}

} // namespace tonvela
