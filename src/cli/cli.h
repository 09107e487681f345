#pragma once

#include "cli/json.h"
#include "score/export_formats.h"
#include "score/sheet_import.h"

#include <memory>
#include <string>
#include <vector>

namespace tonvela {
class SheetDocument;
struct ScaleSelection;
} // namespace tonvela

namespace tonvela::cli {

// Parsed arguments of one subcommand: positional words and --options. An option given as
// "--name value" or "--name=value" keeps its value; a bare "--flag" has an empty value.
class Args {
  public:
    // `valued` lists the options that take a value.
    static Args parse(const std::vector<std::string>& words, const std::vector<std::string>& valued);

    std::vector<std::string> positional;
    bool has(const std::string& name) const;
    std::string value(const std::string& name, const std::string& fallback = {}) const;
    // Parses an integer option; false with a message when it is not a number.
    bool intValue(const std::string& name, int& out, std::string& error) const;
    // Options given that are not in `known`.
    std::vector<std::string> unknown(const std::vector<std::string>& known) const;
    std::string error; // set by parse for malformed input

  private:
    std::vector<std::pair<std::string, std::string>> m_options;
};

// A subcommand of tonvela-cli. Each file that implements one registers it with a static
// CommandRegistration, so new subcommands need no change elsewhere.
struct Command {
    std::string name;
    std::string summary; // one line for the overview
    std::string usage;   // the --help text
    int (*run)(const std::vector<std::string>& args);
};

std::vector<Command>& commands();
struct CommandRegistration {
    explicit CommandRegistration(Command c) { commands().push_back(std::move(c)); }
};

// Formats that open as a sheet (a .shd file, a MIDI file). The first whose `accepts` says yes
// loads the file. `describe`, when set, adds format-specific members to `info --json`.
struct SheetImporter {
    std::string name;
    bool (*accepts)(const std::string& path, const std::string& firstToken);
    bool (*load)(const std::string& path, SheetDocument& sheet, std::string& error);
    void (*describe)(const std::string& path, Json& info, std::string& text);
};
std::vector<SheetImporter>& sheetImporters();
struct SheetImporterRegistration {
    explicit SheetImporterRegistration(SheetImporter i) { sheetImporters().push_back(std::move(i)); }
};

// Output formats of a sheet, chosen by the output file's extension: every export format of the
// core (score/export_formats.h).
const ExportFormats& exportFormats();

// Documents that are not sheets (chord documents), recognised by the first token of the file.
struct DocumentHandler {
    std::string firstToken;
    int (*info)(const std::string& path, bool json);
    int (*convert)(const std::string& in, const std::string& out, const Args& args);
};
std::vector<DocumentHandler>& documentHandlers();
struct DocumentHandlerRegistration {
    explicit DocumentHandlerRegistration(DocumentHandler h) { documentHandlers().push_back(std::move(h)); }
};

// Renderers of `tonvela-cli render`, chosen by the output file's extension (".png", ".pdf",
// ".wav"). `render` returns the exit code; `usage` is its paragraph of the --help text.
struct Renderer {
    std::string extension;
    std::vector<std::string> valuedOptions;
    std::string usage;
    int (*render)(const std::string& in, const std::string& out, const Args& args);
};
std::vector<Renderer>& renderers();
struct RendererRegistration {
    explicit RendererRegistration(Renderer r) { renderers().push_back(std::move(r)); }
};

// Renderers of `tonvela-cli render --scale ROOT SCALE`: the fretboard with a scale's marks,
// chosen by the output file's extension. `render` returns the exit code.
struct ScaleRenderer {
    std::string extension;
    int (*render)(const ScaleSelection& scale, const std::string& title, const std::string& out);
};
std::vector<ScaleRenderer>& scaleRenderers();
struct ScaleRendererRegistration {
    explicit ScaleRendererRegistration(ScaleRenderer r) { scaleRenderers().push_back(std::move(r)); }
};
// `render --scale`: its paragraph of the --help text, and the run (the options parsed).
std::string scaleRenderUsage();
int renderScale(const Args& args);
// Renderers of documents that are not sheets (chord documents), chosen by the first token of
// the input file and the output's extension; tried before the sheet renderers.
struct DocumentRenderer {
    std::string firstToken; // "chorddoc"
    std::string kind;       // "a chord document", for messages
    Renderer renderer;
};
std::vector<DocumentRenderer>& documentRenderers();
struct DocumentRendererRegistration {
    explicit DocumentRendererRegistration(DocumentRenderer r) { documentRenderers().push_back(std::move(r)); }
};

// Prints the warnings of a file that was read to standard error, each as a message box would
// show it (at most 40 lines of at most 200 characters).
void printWarnings(const std::vector<std::string>& warnings);

// Reads a file of at most `maxBytes` and imports it into `sheet` (untitled, captioned with the
// file's name); the import's warnings go to standard error. False with `error` set when the
// file cannot be read or the import refuses it.
bool importSheetFile(const std::string& path, SheetDocument& sheet, std::string& error, std::size_t maxBytes,
                     SheetImportFunction import);

// Loads any sheet-like input through the importers; prints nothing.
std::unique_ptr<SheetDocument> openSheet(const std::string& path, std::string& error);
const SheetImporter* importerFor(const std::string& path);
const DocumentHandler* documentHandlerFor(const std::string& path);

// Lower-cased extension with its dot ("" when there is none).
std::string extensionOf(const std::string& path);
// The file-name part, used as the caption of a loaded document.
std::string captionOf(const std::string& path);

// The sheet object of `info --json`.
Json sheetInfoJson(const SheetDocument& sheet);
std::string sheetInfoText(const SheetDocument& sheet);

// "tonvela-cli: " + message on stderr; returns the exit code to use (1).
int fail(const std::string& message);
// True when --help or -h is among the words; prints the usage then.
bool wantsHelp(const std::vector<std::string>& words, const std::string& usage);

} // namespace tonvela::cli
