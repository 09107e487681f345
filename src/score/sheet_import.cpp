#include "score/sheet_import.h"

#include "platform/atomic_file.h"
#include "score/sheet_document.h"

namespace tonvela {

LoadResult importAsNewSheet(const std::string& path, std::size_t maxBytes, SheetImportFunction import,
                            std::unique_ptr<SheetDocument>& sheet)
{
    std::string content;
    if (const FileResult read = readWholeFile(path, content, maxBytes); !read)
        return LoadResult::failure(LoadStatus::Unreadable, read.error);
    auto imported = std::make_unique<SheetDocument>();
    LoadResult result = import(content, *imported);
    if (!result.ok())
        return result;
    const auto slash = path.find_last_of('/');
    imported->caption = slash == std::string::npos ? path : path.substr(slash + 1);
    imported->path.clear();
    imported->modified = 0;
    imported->refreshWindowText();
    sheet = std::move(imported);
    return result;
}

} // namespace tonvela
