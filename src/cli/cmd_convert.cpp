// tonvela-cli convert: load a document and write it in the format the output name asks for.

#include "cli/cli.h"

#include "score/sheet_document.h"

#include <iostream>

namespace tonvela::cli {
namespace {

std::string usageText()
{
    std::string text = "Usage: tonvela-cli convert IN OUT [options]\n"
                       "\n"
                       "Loads IN and writes OUT; the extension of OUT chooses the format.\n"
                       "Inputs: .shd sheets, MIDI files (.mid), MusicXML scores (.musicxml, .xml,\n"
                       "and compressed .mxl), chord documents\n"
                       "Outputs:";
    for (const ExportFormat& f : exportFormats().all())
        text += " " + f.extension;
    text += "\n"
            "  .musicxml, .mxl: MusicXML 3.0, plain or compressed; one part per track, titled\n"
            "                   with the name of IN\n"
            "\n"
            "Options:\n"
            "  --track N               .mid: write track N alone (numbered from 1); every track\n"
            "                          when left out\n";
    return text;
}

int runConvert(const std::vector<std::string>& words)
{
    if (wantsHelp(words, usageText()))
        return 0;
    const Args args = Args::parse(words, {"track"});
    if (!args.error.empty())
        return fail(args.error);
    if (args.positional.size() != 2)
        return fail("convert needs IN and OUT (see 'tonvela-cli convert --help')");
    const std::string& in = args.positional[0];
    const std::string& out = args.positional[1];

    if (const DocumentHandler* h = documentHandlerFor(in))
        return h->convert(in, out, args);

    const std::string ext = extensionOf(out);
    const ExportFormat* format = exportFormats().byExtension(ext);
    if (!format)
        return fail("cannot write \"" + out + "\": unknown output format \"" + ext + "\"");
    if (const auto bad =
            args.unknown(format->oneTrack ? std::vector<std::string>{"track"} : std::vector<std::string>{});
        !bad.empty())
        return fail("unknown option --" + bad.front() + " for " + ext + " output");

    std::string error;
    auto sheet = openSheet(in, error);
    if (!sheet)
        return fail(error);
    ExportOptions options;
    if (args.has("track")) {
        int n = 0;
        if (!args.intValue("track", n, error))
            return fail(error);
        if (n < 1 || n > sheet->trackCount())
            return fail("--track " + std::to_string(n) + ": the sheet has " +
                        std::to_string(sheet->trackCount()) + " tracks (numbered from 1)");
        options.track = n - 1;
    }
    const FileResult res = format->write(*sheet, out, options);
    if (!res)
        return fail(res.error);
    printWarnings(res.warnings);
    return 0;
}

const CommandRegistration kConvert{{"convert", "convert a document (load IN, write OUT)", "", runConvert}};

} // namespace
} // namespace tonvela::cli
