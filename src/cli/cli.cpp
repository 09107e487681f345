#include "cli/cli.h"

#include "harmony/chord_symbol_shapes.h"
#include "interchange/musicxml_export.h"
#include "platform/atomic_file.h"
#include "platform/notifier.h"
#include "playback/midi_file_writer.h"
#include "score/markup_tree.h"
#include "score/sheet_document.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iostream>

namespace tonvela::cli {

Args Args::parse(const std::vector<std::string>& words, const std::vector<std::string>& valued)
{
    Args a;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w.size() > 2 && w.rfind("--", 0) == 0) {
            std::string name = w.substr(2);
            std::string value;
            const auto eq = name.find('=');
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
            } else if (std::find(valued.begin(), valued.end(), name) != valued.end()) {
                if (i + 1 >= words.size()) {
                    a.error = "option --" + name + " needs a value";
                    break;
                }
                value = words[++i];
            }
            a.m_options.emplace_back(name, value);
        } else if (w == "-o" && i + 1 < words.size()) {
            a.m_options.emplace_back("output", words[++i]);
        } else {
            a.positional.push_back(w);
        }
    }
    return a;
}

bool Args::has(const std::string& name) const
{
    return std::any_of(m_options.begin(), m_options.end(), [&](const auto& o) { return o.first == name; });
}

std::string Args::value(const std::string& name, const std::string& fallback) const
{
    for (const auto& o : m_options)
        if (o.first == name)
            return o.second;
    return fallback;
}

bool Args::intValue(const std::string& name, int& out, std::string& err) const
{
    if (!has(name))
        return true;
    const std::string v = value(name);
    int n = 0;
    const auto res = std::from_chars(v.data(), v.data() + v.size(), n);
    if (res.ec != std::errc() || res.ptr != v.data() + v.size()) {
        err = "option --" + name + " needs a whole number, not \"" + v + "\"";
        return false;
    }
    out = n;
    return true;
}

std::vector<std::string> Args::unknown(const std::vector<std::string>& known) const
{
    std::vector<std::string> bad;
    for (const auto& o : m_options)
        if (std::find(known.begin(), known.end(), o.first) == known.end())
            bad.push_back(o.first);
    return bad;
}

std::vector<Command>& commands()
{
    static std::vector<Command> list;
    return list;
}

std::vector<SheetImporter>& sheetImporters()
{
    static std::vector<SheetImporter> list;
    return list;
}

const ExportFormats& exportFormats()
{
    static const ExportFormats formats = [] {
        ExportFormats f;
        addScoreExportFormats(f);
        addHarmonyExportFormats(f); // LilyPond with the chord library's diagrams
        addMidiExportFormat(f);
        addMusicXmlExportFormats(f);
        return f;
    }();
    return formats;
}

std::vector<Renderer>& renderers()
{
    static std::vector<Renderer> list;
    return list;
}

std::vector<DocumentRenderer>& documentRenderers()
{
    static std::vector<DocumentRenderer> list;
    return list;
}

std::vector<DocumentHandler>& documentHandlers()
{
    static std::vector<DocumentHandler> list;
    return list;
}

std::string extensionOf(const std::string& path)
{
    return fileExtensionOf(path);
}

bool importSheetFile(const std::string& path, SheetDocument& sheet, std::string& error, std::size_t maxBytes,
                     SheetImportFunction import)
{
    std::string content;
    if (const FileResult r = readWholeFile(path, content, maxBytes); !r) {
        error = r.error;
        return false;
    }
    const LoadResult res = import(content, sheet);
    if (!res.ok()) {
        error = "cannot import \"" + path + "\": " + res.error;
        return false;
    }
    printWarnings(res.warnings);
    sheet.caption = captionOf(path);
    sheet.path.clear();
    return true;
}

void printWarnings(const std::vector<std::string>& warnings)
{
    for (const auto& w : warnings)
        std::cerr << "tonvela-cli: warning: " << boundedMessage(w) << '\n';
}

std::string captionOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const SheetImporter* importerFor(const std::string& path)
{
    const std::string first = peekFirstToken(path);
    // Importers that recognise a format by name come before the sheet loader, which takes
    // anything else.
    const SheetImporter* fallback = nullptr;
    for (const auto& imp : sheetImporters()) {
        if (imp.name == "sheet") {
            fallback = &imp;
            continue;
        }
        if (imp.accepts(path, first))
            return &imp;
    }
    if (fallback && fallback->accepts(path, first))
        return fallback;
    return nullptr;
}

const DocumentHandler* documentHandlerFor(const std::string& path)
{
    const std::string first = peekFirstToken(path);
    for (const auto& h : documentHandlers())
        if (h.firstToken == first)
            return &h;
    return nullptr;
}

std::unique_ptr<SheetDocument> openSheet(const std::string& path, std::string& error)
{
    std::string probe;
    if (const FileResult r = readWholeFile(path, probe, kMaxMarkupFileBytes); !r) {
        error = r.error;
        return nullptr;
    }
    const SheetImporter* imp = importerFor(path);
    if (!imp) {
        error = "\"" + path + "\" is not a sheet document or a file that opens as one";
        return nullptr;
    }
    auto sheet = std::make_unique<SheetDocument>();
    if (!imp->load(path, *sheet, error))
        return nullptr;
    return sheet;
}

int fail(const std::string& message)
{
    std::cerr << "tonvela-cli: " << message << '\n';
    return 1;
}

bool wantsHelp(const std::vector<std::string>& words, const std::string& usage)
{
    for (const auto& w : words)
        if (w == "--help" || w == "-h") {
            std::cout << usage;
            return true;
        }
    return false;
}

} // namespace tonvela::cli
