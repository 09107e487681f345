// tonvela-cli render --scale ROOT SCALE -o OUT: the scale diagram's fretboard with the marks of
// a scale, as a picture or a printed page.

#include "cli/cli.h"

#include "theory/pitch.h"
#include "theory/scale.h"

#include <algorithm>
#include <cctype>

namespace tonvela::cli {
namespace {

std::string lowerWithoutSeparators(const std::string& text)
{
    std::string out;
    for (unsigned char c : text)
        if (c != ' ' && c != '-' && c != '_')
            out += static_cast<char>(std::tolower(c));
    return out;
}

// A note name from A to G, optionally followed by '#' (sharp) or 'b' (flat), as the index of
// its pitch class in kChromaticFromA; -1 for anything else.
int rootIndex(const std::string& name)
{
    if (name.empty() || name.size() > 2)
        return -1;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    const int natural = letter >= 'A' && letter <= 'G' ? pitchClassIndex(letter) : -1;
    if (natural < 0)
        return -1;
    if (name.size() == 1)
        return natural;
    if (name[1] == '#')
        return (natural + 1) % 12;
    if (name[1] == 'b')
        return (natural + 11) % 12;
    return -1;
}

// The row of the scale table named `name` (case and blanks, hyphens or underscores between
// the words do not matter); -1 when there is none.
int scaleIndex(const std::string& name)
{
    const auto& table = scaleTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (lowerWithoutSeparators(table[i].name) == lowerWithoutSeparators(name))
            return static_cast<int>(i);
    return -1;
}

std::string scaleNames()
{
    std::string names;
    const auto& table = scaleTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        names += std::string(i == 0                  ? ""
                             : i + 1 == table.size() ? " or "
                                                     : ", ") +
                 "\"" + table[i].name + "\"";
    return names;
}

} // namespace

std::vector<ScaleRenderer>& scaleRenderers()
{
    static std::vector<ScaleRenderer> list;
    return list;
}

std::string scaleRenderUsage()
{
    std::string text = "Scale (--scale ROOT SCALE): the guitar fretboard with every note of the scale\n"
                       "from the open string to the tenth fret marked with its degree, the root\n"
                       "circled in red. ROOT is a note name (A, C#, Bb); SCALE is one of\n  " +
                       scaleNames() + ".\n";
    if (scaleRenderers().empty())
        return text + "(This tool draws no scales: it was built without pictures.)\n";
    text += "OUT ends in";
    for (std::size_t i = 0; i < scaleRenderers().size(); ++i)
        text += (i == 0 ? " " : " or ") + scaleRenderers()[i].extension;
    return text + " (a PDF holds one A4 page).\n";
}

int renderScale(const Args& args)
{
    if (const auto bad = args.unknown({"output", "scale"}); !bad.empty())
        return fail("unknown option --" + bad.front() + " with --scale");
    // "--scale A Major" leaves both as words; "--scale=A Major" gives the root as the value.
    std::vector<std::string> words = args.positional;
    if (!args.value("scale").empty())
        words.insert(words.begin(), args.value("scale"));
    if (words.size() < 2 || !args.has("output"))
        return fail("render --scale needs ROOT, SCALE and -o OUT (see 'tonvela-cli render --help')");
    std::string scaleName = words[1];
    for (std::size_t i = 2; i < words.size(); ++i)
        scaleName += " " + words[i];
    const int root = rootIndex(words[0]);
    if (root < 0)
        return fail("unknown root \"" + words[0] +
                    "\": give a note name from A to G, with # or b (A, C#, Bb)");
    const int scale = scaleIndex(scaleName);
    if (scale < 0)
        return fail("unknown scale \"" + scaleName + "\": choose " + scaleNames());

    ScaleSelection selection;
    selection.root = kChromaticFromA[static_cast<std::size_t>(root)];
    selection.pattern = scaleTable()[static_cast<std::size_t>(scale)].pattern;
    const std::string out = args.value("output");
    const std::string ext = extensionOf(out);
    const auto& list = scaleRenderers();
    const auto renderer =
        std::find_if(list.begin(), list.end(), [&ext](const ScaleRenderer& r) { return r.extension == ext; });
    if (list.empty())
        return fail("this tonvela-cli was built without pictures and cannot draw a scale");
    if (renderer == list.end())
        return fail("cannot draw a scale into \"" + out + "\": use a .png or .pdf file");
    const std::string title = words[0] + " " + scaleTable()[static_cast<std::size_t>(scale)].name;
    return renderer->render(selection, title, out);
}

} // namespace tonvela::cli
