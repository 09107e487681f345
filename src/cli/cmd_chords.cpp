// tonvela-cli chord, scale, add-chord, add-shape, add-scale and library: the chord and scale
// panels on the command line.

#include "cli/cli.h"

#include "harmony/chord_entry.h"
#include "harmony/guitar_library.h"
#include "platform/notifier.h"
#include "score/markup_tree.h"
#include "score/note.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "theory/chord_formula.h"
#include "theory/pitch.h"
#include "theory/scale.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <iostream>

namespace tonvela::cli {
namespace {

std::string lowerAlnum(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '#' || c == '(' || c == ')')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// "C  E  G  A# " as a line: single blanks, none at the end.
std::string displayLine(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out += c;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string qualityNames()
{
    std::string list;
    for (const auto& f : chordFormulaTable())
        list += std::string(list.empty() ? "" : ", ") + f.name;
    return list;
}

std::string scaleNames()
{
    std::string list;
    for (const auto& s : scaleTable())
        list += std::string(list.empty() ? "\"" : ", \"") + s.name + "\"";
    return list;
}

bool parseRoot(const std::string& text, int& index)
{
    index = chordRootIndex(text);
    if (index < 0) {
        fail("\"" + text + "\" is not a root; use a note name such as C, F#, Bb or A#/Bb");
        return false;
    }
    return true;
}

bool parseQuality(const std::string& text, int& index)
{
    index = chordQualityIndex(text);
    if (index < 0) {
        fail("\"" + text + "\" is not a chord quality; choose one of " + qualityNames());
        return false;
    }
    return true;
}

bool parseScale(const std::string& text, int& index)
{
    const std::string wanted = lowerAlnum(text);
    for (int i = 0; i < kScaleKindCount; ++i)
        if (lowerAlnum(scaleTable()[static_cast<std::size_t>(i)].name) == wanted) {
            index = i;
            return true;
        }
    fail("\"" + text + "\" is not a scale; choose one of " + scaleNames());
    return false;
}

bool parseInt(const std::string& text, int& out)
{
    const auto res = std::from_chars(text.data(), text.data() + text.size(), out);
    return res.ec == std::errc() && res.ptr == text.data() + text.size();
}

// ---------------------------------------------------------------------------------------------
// chord, scale

// The common start of every command here: --help, malformed options, unknown options and the
// number of words. Returns the exit code to return at once, or -1 to go on with `args`.
int startCommand(const std::string& name, const char* usage, const std::vector<std::string>& words,
                 const std::vector<std::string>& valued, const std::vector<std::string>& known,
                 std::size_t positional, const std::string& needs, Args& args)
{
    if (wantsHelp(words, usage))
        return 0;
    args = Args::parse(words, valued);
    if (!args.error.empty())
        return fail(args.error);
    if (const auto bad = args.unknown(known); !bad.empty())
        return fail("unknown option --" + bad.front() + " (see 'tonvela-cli " + name + " --help')");
    if (args.positional.size() != positional)
        return fail(name + " needs " + needs + " (see 'tonvela-cli " + name + " --help')");
    return -1;
}

const char* kChordUsage =
    "Usage: tonvela-cli chord ROOT QUALITY\n"
    "\n"
    "Prints the pitches of a chord as the chord panel shows them (sharps, no respelling).\n"
    "ROOT is a note name (C, F#, Bb, A#/Bb); QUALITY one of the 23 chord qualities:\n"
    "maj, maj6, maj6add9, maj7, maj9, dom7, dom7b10, dom7aug5, dom7sus4, dom9, dom9sus4,\n"
    "dom11, dom13, aug, minor, minor6, minor7, minor7flat5, dim, dim7, sus4, sus2, add9.\n";

int runChord(const std::vector<std::string>& words)
{
    Args args;
    if (const int code = startCommand("chord", kChordUsage, words, {}, {}, 2, "ROOT and QUALITY", args);
        code >= 0)
        return code;
    int root = 0, quality = 0;
    if (!parseRoot(args.positional[0], root) || !parseQuality(args.positional[1], quality))
        return 1;
    std::cout << displayLine(pitchDisplayText(chordPitches(root, quality))) << '\n';
    return 0;
}

const char* kScaleUsage =
    "Usage: tonvela-cli scale ROOT SCALE\n"
    "\n"
    "Prints a scale from its root up to the octave, spelled so that no letter repeats.\n"
    "SCALE is one of \"Major\", \"Minor\", \"Major Pentatonic\", \"Minor Pentatonic\", \"Blues\"\n"
    "(case and blanks do not matter: major-pentatonic works too).\n";

int runScale(const std::vector<std::string>& words)
{
    Args args;
    if (const int code = startCommand("scale", kScaleUsage, words, {}, {}, 2, "ROOT and SCALE", args);
        code >= 0)
        return code;
    int root = 0, scale = 0;
    if (!parseRoot(args.positional[0], root) || !parseScale(args.positional[1], scale))
        return 1;
    BuiltScale built = buildScaleFromPattern(kChromaticFromA[static_cast<std::size_t>(root)],
                                             scaleTable()[static_cast<std::size_t>(scale)].pattern, 3);
    spellScale(built.pitches);
    std::cout << displayLine(pitchDisplayText(built.pitches)) << '\n';
    return 0;
}

// ---------------------------------------------------------------------------------------------
// add-chord, add-shape, add-scale: load a sheet, append, save.

const std::vector<std::string> kEntryValued = {"track", "duration", "octave"};

bool parseDuration(const std::string& text, int& type)
{
    static const std::pair<const char*, int> kNames[] = {{"whole", kTypeWhole},
                                                         {"half", kTypeHalf},
                                                         {"quarter", kTypeQuarter},
                                                         {"eighth", kTypeEighth},
                                                         {"sixteenth", kTypeSixteenth},
                                                         {"32nd", kTypeThirtySecond},
                                                         {"thirty-second", kTypeThirtySecond}};
    const std::string lower = lowerAlnum(text);
    for (const auto& [name, code] : kNames)
        if (lowerAlnum(name) == lower) {
            type = code;
            return true;
        }
    if (parseInt(text, type) && isDurationType(type))
        return true;
    fail("--duration takes whole, half, quarter, eighth, sixteenth or 32nd, not \"" + text + "\"");
    return false;
}

// The tool state the entry commands read, from the options.
bool entryContext(const Args& args, const SheetDocument& sheet, ChordEntryContext& ctx)
{
    if (args.has("duration") && !parseDuration(args.value("duration"), ctx.toolbarType))
        return false;
    ctx.tie = args.has("tie");
    ctx.dot = args.has("dot");
    ctx.markButton = args.has("mark");
    if (args.has("track")) {
        int track = 0;
        if (!parseInt(args.value("track"), track) || track < 1 || track > sheet.trackCount()) {
            fail("--track takes a track number from 1 to " + std::to_string(sheet.trackCount()) + ", not \"" +
                 args.value("track") + "\"");
            return false;
        }
        ctx.currentTrack = track - 1;
    }
    return true;
}

std::unique_ptr<SheetDocument> loadForEntry(const std::string& path)
{
    auto sheet = std::make_unique<SheetDocument>();
    const LoadResult res = loadSheet(*sheet, captionOf(path), path);
    if (res.status == LoadStatus::WrongKind) {
        if (peekFirstToken(path) == "chorddoc")
            fail("\"" + path + "\" is a chord document; chords and scales are added to sheet documents");
        else
            fail("\"" + path + "\" is not a sheet document");
        return nullptr;
    }
    if (!res.ok()) {
        fail("cannot open \"" + path + "\": " + res.error);
        return nullptr;
    }
    printWarnings(res.warnings);
    return sheet;
}

// Saves the sheet after an entry command, or reports why nothing was added.
int finishEntry(SheetDocument& sheet, const std::string& path, int added, const ChordEntryContext& ctx,
                const CollectingNotifier& notifier, const std::string& what)
{
    if (!notifier.messages.empty())
        return fail(notifier.messages.front().text + "; \"" + path + "\" is unchanged");
    if (added == 0)
        return fail(what + " adds no notes; \"" + path + "\" is unchanged");
    const FileResult res = saveSheet(sheet, captionOf(path), path);
    if (!res)
        return fail("cannot save \"" + path + "\": " + res.error);
    std::cout << "Added " << added << (added == 1 ? " note" : " notes") << " to track "
              << ctx.currentTrack + 1 << " of " << path << '\n';
    return 0;
}

const char* kAddChordUsage =
    "Usage: tonvela-cli add-chord FILE.shd ROOT QUALITY [--arpeggio] [options]\n"
    "\n"
    "Appends a chord (\"Add Chord\") to the end of a track and saves the sheet: the chord's\n"
    "pitches from middle C up, then the same an octave lower, eight notes at most; the first\n"
    "carries the chord's name as its lyric. With --arpeggio (\"Add Arpeggio\") the same notes\n"
    "follow one another, lowest first. ROOT and QUALITY as for 'tonvela-cli chord'.\n"
    "\n"
    "  --track N        the track to add to (from 1; default 1)\n"
    "  --duration D     whole, half, quarter (default), eighth, sixteenth or 32nd\n"
    "  --mark           set the chord-entry mark (0x8) on the notes\n";

int runAddChord(const std::vector<std::string>& words)
{
    Args args;
    if (const int code =
            startCommand("add-chord", kAddChordUsage, words, kEntryValued,
                         {"arpeggio", "track", "duration", "mark"}, 3, "FILE, ROOT and QUALITY", args);
        code >= 0)
        return code;
    int root = 0, quality = 0;
    if (!parseRoot(args.positional[1], root) || !parseQuality(args.positional[2], quality))
        return 1;
    const std::string& path = args.positional[0];
    auto sheet = loadForEntry(path);
    if (!sheet)
        return 1;
    ChordEntryContext ctx;
    CollectingNotifier notifier;
    ctx.notifier = &notifier;
    if (!entryContext(args, *sheet, ctx))
        return 1;
    ChordSelection selection;
    selection.chooseRoot(root);
    selection.chooseQuality(quality);
    const int added = addChordToSheet(sheet.get(), selection, args.has("arpeggio"), ctx);
    return finishEntry(*sheet, path, added, ctx, notifier, "the chord");
}

// A library root by its text, or by the pitch it names (G# finds "Ab").
std::string libraryRoot(const std::string& text)
{
    const GuitarChordLibrary& lib = guitarLibrary();
    for (const auto& r : lib.roots())
        if (lowerAlnum(r) == lowerAlnum(text))
            return r;
    const int wanted = chordRootIndex(text);
    if (wanted >= 0)
        for (const auto& r : lib.roots())
            if (chordRootIndex(r) == wanted)
                return r;
    return {};
}

const char* kAddShapeUsage =
    "Usage: tonvela-cli add-shape FILE.shd ROOT QUALITY FRET [options]\n"
    "\n"
    "Appends a guitar chord shape of the library (\"Add To Sheet\") as one chord, highest\n"
    "string first, and saves the sheet. QUALITY is the library's quality name (Major, Minor,\n"
    "Sus4, Diminished, ...) or its symbol (m, dim, ...); FRET the shape's start fret.\n"
    "'tonvela-cli library' lists every shape.\n"
    "\n"
    "  --track N        the track to add to (from 1; default 1)\n"
    "  --duration D     whole, half, quarter (default), eighth or sixteenth\n"
    "  --tie, --dot     as the Tie and Dot buttons\n"
    "  --mark           set the chord-entry mark (0x8) on the notes\n";

int runAddShape(const std::vector<std::string>& words)
{
    Args args;
    if (const int code = startCommand("add-shape", kAddShapeUsage, words, kEntryValued,
                                      {"track", "duration", "tie", "dot", "mark"}, 4,
                                      "FILE, ROOT, QUALITY and FRET", args);
        code >= 0)
        return code;
    const std::string root = libraryRoot(args.positional[1]);
    if (root.empty())
        return fail("the chord library has no shapes on \"" + args.positional[1] +
                    "\" (see 'tonvela-cli library')");
    int fret = 0;
    if (!parseInt(args.positional[3], fret))
        return fail("FRET must be a whole number, not \"" + args.positional[3] + "\"");
    const GuitarChordEntry* shape = nullptr;
    for (const auto& e : guitarLibrary().entries()) {
        const std::string q = lowerAlnum(args.positional[2]);
        if (e.root == root && e.startFret == fret &&
            (lowerAlnum(e.qualityName) == q ||
             (!e.qualitySymbol.empty() && lowerAlnum(e.qualitySymbol) == q))) {
            shape = &e;
            break;
        }
    }
    if (!shape)
        return fail("the chord library has no " + root + " " + args.positional[2] + " shape at fret " +
                    std::to_string(fret) + " (see 'tonvela-cli library')");
    const std::string& path = args.positional[0];
    auto sheet = loadForEntry(path);
    if (!sheet)
        return 1;
    ChordEntryContext ctx;
    CollectingNotifier notifier;
    ctx.notifier = &notifier;
    if (!entryContext(args, *sheet, ctx))
        return 1;
    const int added = addGuitarChordToSheet(sheet.get(), shape->fingering, shape->startFret, ctx);
    return finishEntry(*sheet, path, added, ctx, notifier, "the shape");
}

const char* kAddScaleUsage =
    "Usage: tonvela-cli add-scale FILE.shd ROOT SCALE --chord|--melody [--octave N] [options]\n"
    "\n"
    "Appends a scale from its root up to the octave and saves the sheet: with --chord\n"
    "(\"Add As Chord\") as one chord from middle C up, with --melody (\"Add As Melody\") as\n"
    "separate notes starting in the octave chosen by --octave (the \"Root Octave:\" list:\n"
    "2 starts at middle C and is the default, 1 an octave lower, 0 two octaves lower).\n"
    "SCALE as for 'tonvela-cli scale'.\n"
    "\n"
    "  --track N        the track to add to (from 1; default 1)\n"
    "  --duration D     whole, half, quarter (default), eighth, sixteenth or 32nd\n"
    "  --mark           set the chord-entry mark (0x8) on the notes\n";

int runAddScale(const std::vector<std::string>& words)
{
    Args args;
    if (const int code = startCommand("add-scale", kAddScaleUsage, words, kEntryValued,
                                      {"chord", "melody", "octave", "track", "duration", "mark"}, 3,
                                      "FILE, ROOT and SCALE", args);
        code >= 0)
        return code;
    if (args.has("chord") == args.has("melody"))
        return fail("add-scale needs exactly one of --chord and --melody");
    int rootOctave = 2;
    if (args.has("octave") &&
        (!parseInt(args.value("octave"), rootOctave) || rootOctave < 0 || rootOctave > 2))
        return fail("--octave takes 2, 1 or 0 (the \"Root Octave:\" list), not \"" + args.value("octave") +
                    "\"");
    if (args.has("octave") && args.has("chord"))
        return fail("--octave applies to --melody only; a scale added as a chord starts at middle C");
    int root = 0, scale = 0;
    if (!parseRoot(args.positional[1], root) || !parseScale(args.positional[2], scale))
        return 1;
    const std::string& path = args.positional[0];
    auto sheet = loadForEntry(path);
    if (!sheet)
        return 1;
    ChordEntryContext ctx;
    CollectingNotifier notifier;
    ctx.notifier = &notifier;
    if (!entryContext(args, *sheet, ctx))
        return 1;
    ctx.rootOctaveEntry = 2 - rootOctave;
    ScaleSelection selection;
    selection.root = kChromaticFromA[static_cast<std::size_t>(root)];
    selection.pattern = scaleTable()[static_cast<std::size_t>(scale)].pattern;
    int added = 0;
    if (args.has("chord")) {
        if (ctx.currentTrack < 0)
            ctx.currentTrack = 0;
        // The sheet's last staff row is the chosen track's here; the command line has no rows.
        StaffRowCursor row;
        row.track = ctx.currentTrack;
        row.right = 1000;
        ctx.lastRow = &row;
        added = addScaleAsChord(sheet.get(), selection, ctx);
    } else {
        added = addScaleAsMelody(sheet.get(), selection, ctx);
    }
    return finishEntry(*sheet, path, added, ctx, notifier, "the scale");
}

// ---------------------------------------------------------------------------------------------
// library

const char* kLibraryUsage =
    "Usage: tonvela-cli library [--json]\n"
    "\n"
    "Lists the guitar chord library: every shape's root, quality, start fret and fingering\n"
    "(six triples of string, row and finger; X marks a muted string).\n";

int runLibrary(const std::vector<std::string>& words)
{
    if (wantsHelp(words, kLibraryUsage))
        return 0;
    const Args args = Args::parse(words, {});
    if (!args.error.empty())
        return fail(args.error);
    if (const auto bad = args.unknown({"json"}); !bad.empty())
        return fail("unknown option --" + bad.front() + " (see 'tonvela-cli library --help')");
    if (!args.positional.empty())
        return fail("library takes no arguments (see 'tonvela-cli library --help')");
    const GuitarChordLibrary& lib = guitarLibrary();
    if (args.has("json")) {
        Json roots = Json::array();
        for (const auto& r : lib.roots())
            roots.push(r);
        Json shapes = Json::array();
        for (const auto& e : lib.entries()) {
            Json j = Json::object();
            j.set("root", e.root);
            j.set("quality", e.qualityName);
            j.set("symbol", e.qualitySymbol);
            j.set("startfret", e.startFret);
            j.set("fingering", e.fingering);
            shapes.push(std::move(j));
        }
        Json out = Json::object();
        out.set("roots", std::move(roots));
        out.set("shapes", std::move(shapes));
        std::cout << out.dump() << '\n';
        return 0;
    }
    std::cout << "Root  Quality       Start fret  Fingering\n";
    for (const auto& e : lib.entries()) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "%-5s %-13s %-11d %s\n", e.root.c_str(), e.qualityName.c_str(),
                      e.startFret, e.fingering.c_str());
        std::cout << buf;
    }
    return 0;
}

const CommandRegistration kChordCmd{{"chord", "print the pitches of a chord", kChordUsage, runChord}};
const CommandRegistration kScaleCmd{{"scale", "print a spelled scale", kScaleUsage, runScale}};
const CommandRegistration kAddChordCmd{
    {"add-chord", "append a chord to a sheet", kAddChordUsage, runAddChord}};
const CommandRegistration kAddShapeCmd{
    {"add-shape", "append a guitar chord shape to a sheet", kAddShapeUsage, runAddShape}};
const CommandRegistration kAddScaleCmd{
    {"add-scale", "append a scale to a sheet", kAddScaleUsage, runAddScale}};
const CommandRegistration kLibraryCmd{
    {"library", "list the guitar chord library", kLibraryUsage, runLibrary}};

} // namespace
} // namespace tonvela::cli
