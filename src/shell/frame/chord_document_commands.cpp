#include "shell/frame/chord_document_commands.h"

#include "editor/editing/sheet_editor.h"
#include "harmony/chord_entry.h"
#include "platform/notifier.h"
#include "shell/documents/chord_window.h"
#include "shell/documents/sheet_window.h"
#include "shell/frame/harmony_commands.h"
#include "shell/frame/main_window.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace tonvela {

void connectChordWindow(MainWindow& frame, ChordWindow& window)
{
    window.onAddToSheet = [&frame](ChordWindow& w, bool selectedOnly) {
        addDiagramsToLastSheet(frame, w, selectedOnly);
    };
}

SheetWindow* lastActiveSheet(const MainWindow& frame)
{
    const QList<QMdiSubWindow*> history = frame.mdiArea()->subWindowList(QMdiArea::ActivationHistoryOrder);
    const std::vector<SheetWindow*> sheets = frame.sheetWindows();
    for (auto sub = history.rbegin(); sub != history.rend(); ++sub)
        for (SheetWindow* sheet : sheets)
            if (sheet->parentWidget() == *sub)
                return sheet;
    return nullptr;
}

int addDiagramsToLastSheet(MainWindow& frame, ChordWindow& window, bool selectedOnly)
{
    SheetWindow* sheet = lastActiveSheet(frame);
    if (!sheet) {
        frame.services().notifier.error(kNoDocumentForChordMessage, "Error");
        return 0;
    }
    SheetEditor& editor = sheet->editor();
    ChordEntryContext ctx = sheetEntryContext(frame, editor);
    const int added = addDiagramsToSheet(window.document(), selectedOnly, &editor.sheet(), ctx);
    keepCurrentTrack(editor, ctx);
    return added;
}

} // namespace tonvela
