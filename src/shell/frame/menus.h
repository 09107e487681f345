#pragma once

#include <functional>

class QAction;
class QMdiArea;
class QMenu;
class QMenuBar;

namespace tonvela {

// Builds the "File", "Edit", "View", "Windows", "Play" and "Help" menus from the command table, items in
// table order with their separators. The "Windows" menu is returned empty: its items follow
// the open documents and are filled by fillWindowMenu before every showing.
QMenu* buildMenus(QMenuBar& bar, const std::function<QAction*(int)>& actionOf);

// The "Windows" menu: the table's window commands, then one checkable entry per document
// window ("1 Sheet 1", ...), the active one checked; choosing an entry activates its window.
void fillWindowMenu(QMenu& menu, QMdiArea& area, const std::function<QAction*(int)>& actionOf);

} // namespace tonvela
