// MusicXML scores for tonvela-cli: .musicxml, .xml and compressed .mxl files open as sheets
// (recognised by their content, or by an .mxl or .musicxml name).

#include "cli/cli.h"

#include "interchange/musicxml_import.h"
#include "score/sheet_document.h"

namespace tonvela::cli {
namespace {

bool acceptsMusicXml(const std::string& path, const std::string& /*firstToken*/)
{
    return isMusicXmlFile(path);
}

bool loadMusicXml(const std::string& path, SheetDocument& sheet, std::string& error)
{
    return importSheetFile(path, sheet, error, kMaxMusicXmlFileBytes, importMusicXmlData);
}

const SheetImporterRegistration kImporter{{"musicxml", acceptsMusicXml, loadMusicXml, nullptr}};

} // namespace
} // namespace tonvela::cli
