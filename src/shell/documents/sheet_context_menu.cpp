#include "shell/documents/sheet_context_menu.h"

#include "editor/editing/context_menu.h"
#include "editor/editing/sheet_editor.h"

#include <QMenu>

namespace tonvela {

QMenu* makeSheetContextMenu(SheetEditor& editor, int track, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    for (const ContextMenuItem item : {ContextMenuItem::FClef, ContextMenuItem::GClef,
                                       ContextMenuItem::GroupAsPiano, ContextMenuItem::DeleteNotes}) {
        QAction* action =
            menu->addAction(QString::fromUtf8(kContextMenuTexts[static_cast<std::size_t>(item)]));
        if (item != ContextMenuItem::DeleteNotes)
            action->setEnabled(track >= 0);
        QObject::connect(action, &QAction::triggered, menu,
                         [&editor, item, track] { runContextMenuItem(editor, item, track); });
    }
    return menu;
}

} // namespace tonvela
