// The .shd sheet format for tonvela-cli: loading any sheet file, saving as .shd.

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

bool saveSheetFile(SheetDocument& sheet, const std::string& path, const Args& /*args*/, std::string& error)
{
    const FileResult res = saveSheet(sheet, captionOf(path), path);
    if (!res)
        error = res.error;
    return res.ok;
}

const SheetImporterRegistration kImporter{{"sheet", acceptsSheet, loadSheetFile, nullptr}};
const SheetExporterRegistration kExporter{{".shd", {}, saveSheetFile}};

} // namespace
} // namespace tonvela::cli
