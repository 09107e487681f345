#include "shell/documents/sheet_context_menu.h"

#include "editor/editing/context_menu.h"
#include "editor/editing/sheet_editor.h"
#include "platform/sheet_lock.h"
#include "score/repeat_range.h"
#include "score/sheet_document.h"

#include <QMenu>

namespace tonvela {

namespace {

constexpr ContextMenuItem kTrackItems[] = {ContextMenuItem::FClef, ContextMenuItem::GClef,
                                           ContextMenuItem::GroupAsPiano, ContextMenuItem::DeleteNotes};
constexpr ContextMenuItem kMeasureItems[] = {ContextMenuItem::StartRepeat, ContextMenuItem::EndRepeat,
                                             ContextMenuItem::FirstEnding, ContextMenuItem::SecondEnding,
                                             ContextMenuItem::RemoveRepeat};

QAction* addItem(QMenu* menu, SheetEditor& editor, ContextMenuItem item, int track, int measure)
{
    QAction* action = menu->addAction(QString::fromUtf8(kContextMenuTexts[static_cast<std::size_t>(item)]));
    QObject::connect(action, &QAction::triggered, menu,
                     [&editor, item, track, measure] { runContextMenuItem(editor, item, track, measure); });
    return action;
}

} // namespace

QMenu* makeSheetContextMenu(SheetEditor& editor, int track, int measure, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    for (const ContextMenuItem item : kTrackItems) {
        QAction* action = addItem(menu, editor, item, track, measure);
        if (item != ContextMenuItem::DeleteNotes)
            action->setEnabled(track >= 0);
    }
    menu->addSeparator();
    bool inRange = false;
    {
        SheetLockGuard lock(sheetLock());
        inRange = measure > 0 && rangeHolding(editor.sheet().repeatRanges, measure) >= 0;
    }
    for (const ContextMenuItem item : kMeasureItems) {
        QAction* action = addItem(menu, editor, item, track, measure);
        // Without a measure under the pointer the repeat items have nothing to act on; a measure
        // outside every passage has no repeat to remove.
        action->setEnabled(measure > 0 && (item != ContextMenuItem::RemoveRepeat || inRange));
    }
    return menu;
}

} // namespace tonvela
