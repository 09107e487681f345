#include "shell/frame/menus.h"

#include "shell/frame/command_table.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

#include <utility>

namespace tonvela {
namespace {

void addItems(QMenu& menu, Menu which, const std::function<QAction*(int)>& actionOf)
{
    for (const CommandRow& row : commandTable()) {
        if (row.menu != which)
            continue;
        if (row.separatorBefore)
            menu.addSeparator();
        menu.addAction(actionOf(row.id));
    }
}

} // namespace

QMenu* buildMenus(QMenuBar& bar, const std::function<QAction*(int)>& actionOf)
{
    const std::pair<Menu, const char*> menus[] = {{Menu::File, "File"}, {Menu::Edit, "Edit"},
                                                  {Menu::View, "View"}, {Menu::Windows, "Windows"},
                                                  {Menu::Play, "Play"}, {Menu::Help, "Help"}};
    QMenu* windows = nullptr;
    for (const auto& [which, name] : menus) {
        QMenu* menu = bar.addMenu(QString::fromUtf8(name));
        if (which == Menu::Windows)
            windows = menu;
        else
            addItems(*menu, which, actionOf);
    }
    return windows;
}

void fillWindowMenu(QMenu& menu, QMdiArea& area, const std::function<QAction*(int)>& actionOf)
{
    menu.clear();
    addItems(menu, Menu::Windows, actionOf);
    const auto subs = area.subWindowList();
    if (!subs.isEmpty())
        menu.addSeparator();
    int number = 1;
    for (QMdiSubWindow* sub : subs) {
        QAction* entry = menu.addAction(QStringLiteral("%1 %2").arg(number++).arg(sub->windowTitle()));
        entry->setCheckable(true);
        entry->setChecked(sub == area.currentSubWindow());
        QObject::connect(entry, &QAction::triggered, &area, [&area, sub] { area.setActiveSubWindow(sub); });
    }
}

} // namespace tonvela
