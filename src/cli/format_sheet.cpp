// The .shd sheet format for tonvela-cli: loading any sheet file (saving is the core's export format).

#include "cli/cli.h"

#include "score/sheet_document.h"
#include "score/sheet_file.h"

#include <iostream>

namespace tonvela::cli {
namespace {

bool acceptsSheet(const std::string& /*path*/, const std::string& firstToken)
{
    return firstToken == "staffdoc";
}

bool loadSheetFile(const std::string& path, SheetDocument& sheet, std::string& error)
{
    const LoadResult res = loadSheet(sheet, captionOf(path), path);
    if (!res.ok()) {
        error = res.error;
        return false;
    }
    printWarnings(res.warnings);
    return true;
}

const SheetImporterRegistration kImporter{{"sheet", acceptsSheet, loadSheetFile, nullptr}};

} // namespace
} // namespace tonvela::cli
