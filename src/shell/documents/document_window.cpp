#include "shell/documents/document_window.h"

#include "editor/editing/sheet_editor.h"

namespace tonvela {

std::string fileTitle(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

SheetDocument* DocumentWindow::shownSheet()
{
    SheetEditor* editor = sheetEditor();
    return editor ? &editor->sheet() : nullptr;
}

const SheetDocument* DocumentWindow::shownSheet() const
{
    const SheetEditor* editor = sheetEditor();
    return editor ? &editor->sheet() : nullptr;
}

} // namespace tonvela
