// Renderers of `tonvela-cli render` for chord documents: a PNG of one printed page and the
// PDF of all of them, drawn as Print draws them.

#include "cli/cli.h"

#include "harmony/chord_document.h"
#include "harmony/chord_document_file.h"
#include "render/chord_rendering.h"
#include "render/sheet_rendering.h"

#include <iostream>
#include <string>

namespace tonvela::cli {
namespace {

constexpr int kMinDpi = 24;
constexpr int kMaxDpi = 600;

bool readChords(const std::string& in, ChordDocument& doc, std::string& error)
{
    const LoadResult result = readChordDocument(doc, captionOf(in), in);
    if (!result.ok()) {
        error = "cannot read \"" + in + "\": " + result.error;
        return false;
    }
    printWarnings(result.warnings);
    return true;
}

int renderChordPng(const std::string& in, const std::string& out, const Args& args)
{
    if (const auto bad = args.unknown({"output", "page", "dpi"}); !bad.empty())
        return fail("unknown option --" + bad.front() + " for a chord document drawn to .png");
    int page = 1, dpi = kScreenDpi;
    std::string error;
    if (!args.intValue("page", page, error) || !args.intValue("dpi", dpi, error))
        return fail(error);
    if (dpi < kMinDpi || dpi > kMaxDpi)
        return fail("--dpi must lie between " + std::to_string(kMinDpi) + " and " + std::to_string(kMaxDpi));
    ChordDocument doc;
    if (!readChords(in, doc, error))
        return fail(error);
    const std::vector<QImage> pages = renderChordPages(doc, dpi);
    if (page < 1 || page > static_cast<int>(pages.size()))
        return fail("--page must lie between 1 and " + std::to_string(pages.size()) + ", the pages of \"" +
                    in + "\"");
    if (!writePng(pages[static_cast<std::size_t>(page - 1)], out, error))
        return fail("could not write \"" + out + "\": " + error);
    return 0;
}

int renderChordPdf(const std::string& in, const std::string& out, const Args& args)
{
    if (const auto bad = args.unknown({"output"}); !bad.empty())
        return fail("unknown option --" + bad.front() + " for a chord document drawn to .pdf");
    ChordDocument doc;
    std::string error;
    if (!readChords(in, doc, error))
        return fail(error);
    const PrintResult result = printChordDocumentToPdf(doc, out);
    if (!result.ok)
        return fail("could not print \"" + out + "\": " + result.error);
    return 0;
}

const DocumentRendererRegistration kChordPng{
    {kChordDocumentRoot,
     "a chord document",
     {".png",
      {"page", "dpi"},
      "Chord documents (.png): one page of the diagrams as Print puts them on A4, four\n"
      "columns of as many rows as fit.\n"
      "  --page N                the page to draw, from 1 (1)\n"
      "  --dpi D                 resolution from 24 to 600 dots per inch (96)\n",
      renderChordPng}}};
const DocumentRendererRegistration kChordPdf{
    {kChordDocumentRoot,
     "a chord document",
     {".pdf",
      {},
      "Chord documents (.pdf): every page of the diagrams, printed on A4 as vector drawing.\n",
      renderChordPdf}}};

} // namespace
} // namespace tonvela::cli
