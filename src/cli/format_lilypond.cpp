// LilyPond output for tonvela-cli convert: IN.shd OUT.ly.

#include "cli/cli.h"

#include "score/lilypond_export.h"
#include "score/sheet_document.h"

namespace tonvela::cli {
namespace {

bool saveLilypond(SheetDocument& sheet, const std::string& path, const Args& /*args*/, std::string& error)
{
    const FileResult res = exportLilypond(sheet, captionOf(path), path);
    if (!res)
        error = res.error;
    return res.ok;
}

const SheetExporterRegistration kExporter{{".ly", {}, saveLilypond}};

} // namespace
} // namespace tonvela::cli
