// tonvela-cli render: draws or plays a document into a file; the output's extension chooses
// the renderer (pictures, PDF pages, audio).

#include "cli/cli.h"

#include "score/markup_tree.h"

#include <iostream>

namespace tonvela::cli {
namespace {

std::string usageText()
{
    std::string text = "Usage: tonvela-cli render FILE -o OUT [options]\n"
                       "       tonvela-cli render --scale ROOT SCALE -o OUT\n\n"
                       "Renders FILE into OUT; the extension of OUT chooses the renderer.\n";
    for (const auto& r : renderers())
        text += "\n" + r.usage;
    for (const auto& d : documentRenderers())
        text += "\n" + d.renderer.usage;
    if (renderers().empty() && documentRenderers().empty())
        text += "\n(No renderer is built into this tool.)\n";
    return text + "\n" + scaleRenderUsage();
}

int runRender(const std::vector<std::string>& words)
{
    if (wantsHelp(words, usageText()))
        return 0;
    std::vector<std::string> valued{"output"};
    for (const auto& r : renderers())
        valued.insert(valued.end(), r.valuedOptions.begin(), r.valuedOptions.end());
    for (const auto& d : documentRenderers())
        valued.insert(valued.end(), d.renderer.valuedOptions.begin(), d.renderer.valuedOptions.end());
    const Args args = Args::parse(words, valued);
    if (!args.error.empty())
        return fail(args.error);
    if (args.has("scale"))
        return renderScale(args);
    if (args.positional.size() != 1 || !args.has("output"))
        return fail("render needs FILE and -o OUT (see 'tonvela-cli render --help')");
    const std::string out = args.value("output");
    const std::string ext = extensionOf(out);
    // Documents that are not sheets are known by their root element, whatever their name.
    const std::string& in = args.positional[0];
    const std::string first = peekFirstToken(in);
    std::string kind;
    for (const auto& d : documentRenderers()) {
        if (d.firstToken != first)
            continue;
        if (d.renderer.extension == ext)
            return d.renderer.render(in, out, args);
        kind = d.kind;
    }
    if (!kind.empty())
        return fail("\"" + in + "\" is " + kind +
                    "; it renders to a picture (.png) or PDF pages (.pdf), not \"" + ext + "\"");
    for (const auto& r : renderers())
        if (r.extension == ext)
            return r.render(args.positional[0], out, args);
    return fail("cannot render to \"" + out + "\": unknown output format \"" + ext + "\"");
}

const CommandRegistration kRender{
    {"render", "render a sheet to a picture, PDF pages or audio, or a scale on the fretboard", "",
     runRender}};

} // namespace
} // namespace tonvela::cli
