// MusicXML output for tonvela-cli convert: IN.shd OUT.musicxml, and the compressed OUT.mxl.

#include "cli/cli.h"

#include "interchange/musicxml_export.h"
#include "interchange/mxl_container_write.h"
#include "score/sheet_document.h"

namespace tonvela::cli {
namespace {

bool saveMusicXml(SheetDocument& sheet, const std::string& path, const Args& /*args*/, std::string& error)
{
    const FileResult res = exportMusicXml(sheet, sheetTitleOf(sheet), path);
    if (!res)
        error = res.error;
    return res.ok;
}

bool saveMxl(SheetDocument& sheet, const std::string& path, const Args& /*args*/, std::string& error)
{
    const FileResult res = exportMxl(sheet, sheetTitleOf(sheet), path);
    if (!res)
        error = res.error;
    return res.ok;
}

const SheetExporterRegistration kMusicXml{{".musicxml", {}, saveMusicXml}};
const SheetExporterRegistration kMxl{{".mxl", {}, saveMxl}};

} // namespace
} // namespace tonvela::cli
