// MusicXML scores for tonvela-cli: .musicxml, .xml and compressed .mxl files open as sheets
// (recognised by their content, or by an .mxl or .musicxml name).

#include "cli/cli.h"

#include "interchange/musicxml_import.h"
#include "platform/atomic_file.h"
#include "score/sheet_document.h"

#include <iostream>

namespace tonvela::cli {
namespace {

bool acceptsMusicXml(const std::string& path, const std::string& /*firstToken*/)
{
    return isMusicXmlFile(path);
}

bool loadMusicXml(const std::string& path, SheetDocument& sheet, std::string& error)
{
    std::string content;
    if (const FileResult r = readWholeFile(path, content, kMaxMusicXmlFileBytes); !r) {
        error = r.error;
        return false;
    }
    const LoadResult res = importMusicXmlData(content, sheet);
    if (!res.ok()) {
        error = "cannot import \"" + path + "\": " + res.error;
        return false;
    }
    for (const auto& w : res.warnings)
        std::cerr << "tonvela-cli: warning: " << w << '\n';
    sheet.caption = captionOf(path);
    sheet.path.clear();
    return true;
}

const SheetImporterRegistration kImporter{{"musicxml", acceptsMusicXml, loadMusicXml, nullptr}};

} // namespace
} // namespace tonvela::cli
