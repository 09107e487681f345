#include "interchange/musicxml_harmony.h"

#include "harmony/chord_diagram_drawing.h"
#include "theory/chord_formula.h"

#include <array>
#include <cctype>
#include <string>
#include <vector>

namespace tonvela::musicxml {
namespace {

// A degree a kind names beyond its own tones: its value, alteration and type ("add").
struct Degree {
    int value = 0;
    int alter = 0;
};

// How each quality of the sheet is written: MusicXML's kind and the degrees added to it where
// the kind alone would not tell two of the sheet's qualities apart.
struct KindRow {
    const char* kind;
    std::array<Degree, 2> degrees;
};
constexpr std::array<KindRow, kChordQualityCount> kKinds{{
    {"major", {}},
    {"major-sixth", {}},
    {"major-sixth", {{{9, 0}}}},
    {"major-seventh", {}},
    {"major-ninth", {}},
    {"dominant", {}},
    {"dominant", {{{9, 1}}}},
    {"augmented-seventh", {}},
    {"suspended-fourth", {{{7, -1}}}},
    {"dominant-ninth", {}},
    {"suspended-fourth", {{{7, -1}, {9, 0}}}},
    {"dominant-11th", {}},
    {"dominant-13th", {}},
    {"augmented", {}},
    {"minor", {}},
    {"minor-sixth", {}},
    {"minor-seventh", {}},
    {"half-diminished", {}},
    {"diminished", {}},
    {"diminished-seventh", {}},
    {"suspended-fourth", {}},
    {"suspended-second", {}},
    {"major", {{{9, 0}}}},
}};

// Kinds the sheet has no quality of, and the nearest one it has.
struct NearestKind {
    const char* kind;
    int quality;
};
constexpr NearestKind kNearest[] = {
    {"minor-major", 14}, {"major-minor", 14}, {"minor-ninth", 16}, {"minor-11th", 16},
    {"minor-13th", 16},  {"major-11th", 3},   {"major-13th", 3},   {"augmented-ninth", 7},
    {"power", 0},        {"pedal", 0},        {"Neapolitan", 0},   {"Italian", 7},
    {"French", 7},       {"German", 7},       {"Tristan", 17},     {"other", 0},
};

void addText(pugi::xml_node parent, const char* name, const std::string& text)
{
    parent.append_child(name).text().set(text.c_str());
}

void addInt(pugi::xml_node parent, const char* name, int value)
{
    parent.append_child(name).text().set(value);
}

void writeStep(pugi::xml_node parent, const char* element, const char* step, const char* alter,
               const SpelledPitch& p)
{
    pugi::xml_node n = parent.append_child(element);
    addText(n, step, std::string(1, p.step));
    if (p.alter != 0)
        addInt(n, alter, p.alter);
}

std::string trimmed(const char* text)
{
    std::string s(text);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.pop_back();
    std::size_t a = 0;
    while (a < s.size() && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    return s.substr(a);
}

std::optional<SpelledPitch> readStep(const pugi::xml_node& n, const char* step, const char* alter)
{
    const std::string letter = trimmed(n.child_value(step));
    if (letter.size() != 1 || letter[0] < 'A' || letter[0] > 'G')
        return std::nullopt;
    const double a = n.child(alter).text().as_double(0.0);
    SpelledPitch p;
    p.step = letter[0];
    p.alter = static_cast<int8_t>(a >= 0.5 ? 1 : a <= -0.5 ? -1 : 0);
    return p;
}

} // namespace

void writeHarmony(pugi::xml_node measure, const ChordSymbol& symbol, const std::optional<FrameShape>& frame)
{
    if (symbol.quality < 0 || symbol.quality >= kChordQualityCount)
        return;
    const KindRow& kindRow = kKinds[static_cast<std::size_t>(symbol.quality)];
    pugi::xml_node h = measure.append_child("harmony");
    writeStep(h, "root", "root-step", "root-alter", symbol.root);
    pugi::xml_node kind = h.append_child("kind");
    kind.append_attribute("text").set_value(std::string(chordSymbolSuffix(symbol.quality)).c_str());
    kind.text().set(kindRow.kind);
    if (symbol.bass)
        writeStep(h, "bass", "bass-step", "bass-alter", *symbol.bass);
    for (const Degree& d : kindRow.degrees) {
        if (d.value == 0)
            continue;
        pugi::xml_node degree = h.append_child("degree");
        addInt(degree, "degree-value", d.value);
        addInt(degree, "degree-alter", d.alter);
        addText(degree, "degree-type", "add");
    }
    if (!frame)
        return;
    const FingeringGrid grid = expandFingering(frame->fingering);
    pugi::xml_node f = h.append_child("frame");
    addInt(f, "frame-strings", 6);
    addInt(f, "frame-frets", 5);
    if (frame->startFret > 1)
        addInt(f, "first-fret", frame->startFret);
    // Strings from the highest (1) down, as MusicXML numbers them; a muted string has no note.
    for (int string = 1; string <= 6; ++string) {
        const int column = 6 - string;
        if (grid[0][static_cast<std::size_t>(column)] == 'X')
            continue;
        int row = -1;
        for (int r = 5; r >= 0 && row < 0; --r) {
            const char c = grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(column)];
            if (c != ' ' && c != 'X')
                row = r;
        }
        if (row < 0)
            continue;
        pugi::xml_node note = f.append_child("frame-note");
        addInt(note, "string", string);
        // Grid row 0 is the nut (open string), row k the k-th fret row from the start fret.
        addInt(note, "fret", row == 0 ? 0 : frame->startFret + row - 1);
        const char finger = grid[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
        if (row > 0 && finger >= '1' && finger <= '4')
            addText(note, "fingering", std::string(1, finger));
    }
}

std::optional<ChordSymbol> readHarmony(const pugi::xml_node& harmony, bool& approximate)
{
    approximate = false;
    const pugi::xml_node root = harmony.child("root");
    if (!root)
        return std::nullopt;
    const auto rootPitch = readStep(root, "root-step", "root-alter");
    if (!rootPitch)
        return std::nullopt;
    const std::string kind = trimmed(harmony.child_value("kind"));
    if (kind == "none")
        return std::nullopt;
    std::vector<Degree> added;
    for (pugi::xml_node d : harmony.children("degree")) {
        const std::string type = trimmed(d.child_value("degree-type"));
        if (type != "add" && type != "alter")
            continue;
        // A file's alteration may be any number (or none): only -1, 0 and 1 name a degree here.
        const double alter = d.child("degree-alter").text().as_double(0.0);
        added.push_back({d.child("degree-value").text().as_int(0), alter >= 0.5    ? 1
                                                                   : alter <= -0.5 ? -1
                                                                                   : 0});
    }
    const auto has = [&](int value, int alter) {
        for (const Degree& d : added)
            if (d.value == value && d.alter == alter)
                return true;
        return false;
    };

    int quality = -1;
    // The rows whose kind and added degrees match exactly, the ones with degrees first.
    for (int q = 0; q < kChordQualityCount && quality < 0; ++q) {
        const KindRow& row = kKinds[static_cast<std::size_t>(q)];
        if (kind != row.kind)
            continue;
        bool all = true;
        int count = 0;
        for (const Degree& d : row.degrees)
            if (d.value != 0) {
                ++count;
                all = all && has(d.value, d.alter);
            }
        if (all && count == static_cast<int>(added.size()))
            quality = q;
    }
    // A dominant with a raised fifth is the sheet's 7#5.
    if (quality < 0 && kind == "dominant" && added.size() == 1 && has(5, 1))
        quality = 7;
    if (quality < 0) {
        // An added degree the sheet has no quality for, or a kind the sheet lacks: the nearest
        // quality.
        for (int q = 0; q < kChordQualityCount && quality < 0; ++q)
            if (kind == kKinds[static_cast<std::size_t>(q)].kind)
                quality = q;
        for (const NearestKind& n : kNearest)
            if (quality < 0 && kind == n.kind)
                quality = n.quality;
        if (quality < 0)
            quality = 0;
        approximate = true;
    }
    ChordSymbol symbol;
    symbol.root = *rootPitch;
    symbol.quality = quality;
    if (pugi::xml_node bass = harmony.child("bass"))
        symbol.bass = readStep(bass, "bass-step", "bass-alter");
    return symbol;
}

} // namespace tonvela::musicxml
