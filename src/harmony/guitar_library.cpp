#include "harmony/guitar_library.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace tonvela {

namespace {

struct QualityText {
    const char* name;
    const char* symbol;
};

// Codes 0..21. Codes 11/20 and 12/21 share their texts; 18 and 19 carry the doubled ')' and
// their long name as symbol, as stored diagrams have always shown them.
constexpr std::array<QualityText, 22> kQualityTexts{{
    {"Major", ""},
    {"Minor", "m"},
    {"Sus4", "Sus4"},
    {"b5", "b5"},
    {"Diminished", "dim"},
    {"Augmented", "aug"},
    {"Major6", "maj6"},
    {"Minor6", "min6"},
    {"7", "7"},
    {"7sus4", "7sus4"},
    {"Minor7", "min7"},
    {"Aug7", "aug7"},
    {"Dim7", "dim7"},
    {"6", "6"},
    {"Minor7(9)", "min7(9)"},
    {"Major7(9)(11)", "maj7(9)(11)"},
    {"Major7", "maj7"},
    {"Major7(9)", "maj7(9)"},
    {"Major7(9))(#11)", "Major7(9))(#11)"},
    {"Major7(9))(#13)", "Major7(9))(#13)"},
    {"Aug7", "aug7"},
    {"Dim7", "dim7"},
}};

struct Shape {
    const char* root;
    int quality;
    const char* fingering;
    int startFret;
};

constexpr Shape kShapes[] = {
    {"Ab", 0, "11X221321421543654", 1}, {"Ab", 1, "121221321444543621", 4},
    {"Ab", 2, "121221344443542621", 4}, {"Ab", 5, "11_22_32_43_54_61_", 1},
    {"Ab", 4, "15_21_32_41_53_65_", 1}, {"A", 0, "11023333243151061X", 1},
    {"A", 1, "11022133343251061X", 1},  {"A", 5, "11X22333442251061X", 1},
    {"A", 4, "11X22333442251061X", 1},  {"A", 2, "11024333243151061X", 1},
    {"A", 8, "11_23_31_43_51_61X", 1},  {"B", 0, "13125335345353161X", 1},
    {"B", 1, "13124235445353161X", 1},  {"B", 2, "13126435345253161X", 1},
    {"Bb", 0, "12124334344352161X", 1}, {"Bb", 1, "12123234444352161X", 1},
    {"Bb", 2, "11X25134144152161X", 1}, {"Bb", 5, "131241341411521631", 1},
    {"Bb", 4, "11X23134243352461X", 3}, {"C", 0, "11022131043254361X", 1},
    {"C", 1, "14125236446354161X", 1},  {"C", 8, "11_21_31_43_54_61X", 1},
    {"C", 2, "12122131044454361X", 1},  {"C", 5, "11122132143154161X", 1},
    {"C", 4, "11X23134243352461X", 3},  {"Db", 0, "12123232144355461X", 1},
    {"Db", 1, "12123234444352161X", 4}, {"Db", 2, "11X25134144152161X", 4},
    {"D", 0, "13224333141051061X", 1},  {"D", 1, "12124333241051061X", 1},
    {"D", 2, "14424333141051061X", 1},  {"D", 4, "11X22133144153161X", 5},
    {"D", 8, "13_22_33_41_51X61X", 1},  {"D", 10, "12_22_33_41_51X61X", 1},
    {"E", 0, "110210321433532610", 1},  {"E", 1, "110210310433532610", 1},
    {"E", 2, "110210310433532610", 1},  {"E", 8, "11_21_32_41_53_61_", 1},
    {"E", 10, "11_24_31_43_53_61_", 1}, {"Eb", 0, "14325434242152161X", 1},
    {"Eb", 1, "13225434342152161X", 1}, {"F", 0, "121221332444543621", 1},
    {"F", 1, "121221321444543621", 1},  {"F", 2, "121221344443542621", 1},
    {"F", 8, "12_22_33_42_51X61X", 1},  {"F", 13, "12_24_33_44_51X61X", 1},
    {"F#", 0, "131231342454553631", 1}, {"F#", 1, "131231331454553631", 1},
    {"F#", 2, "111211331434533611", 3}, {"G", 0, "144210310410532643", 1},
    {"G", 1, "141241341464563641", 1},  {"G", 2, "14122131141451X61X", 1},
    {"G", 4, "11X21X341463553641", 1},  {"G", 8, "12_21_31_41_53_64_", 1},
};

std::string cut(std::string_view text, std::size_t length)
{
    return std::string(text.substr(0, std::min(text.size(), length)));
}

} // namespace

std::string guitarQualityName(int code)
{
    if (code < 0 || code >= static_cast<int>(kQualityTexts.size()))
        return {};
    return kQualityTexts[static_cast<std::size_t>(code)].name;
}

std::string guitarQualitySymbol(int code)
{
    if (code < 0 || code >= static_cast<int>(kQualityTexts.size()))
        return {};
    return kQualityTexts[static_cast<std::size_t>(code)].symbol;
}

bool GuitarChordLibrary::addShape(std::string_view root, int qualityCode, std::string_view fingering,
                                  int startFret)
{
    if (m_entries.size() >= static_cast<std::size_t>(kMaxLibraryEntries))
        return false;
    const std::string rootText = cut(root, kMaxRootLength);
    const bool newRoot = std::find(m_roots.begin(), m_roots.end(), rootText) == m_roots.end();
    if (newRoot && m_roots.size() >= static_cast<std::size_t>(kMaxLibraryRoots))
        return false;
    GuitarChordEntry e;
    e.root = rootText;
    e.qualityCode = qualityCode;
    e.qualityName = cut(guitarQualityName(qualityCode), kMaxQualityTextLength);
    e.qualitySymbol = cut(guitarQualitySymbol(qualityCode), kMaxQualityTextLength);
    e.fingering = cut(fingering, kMaxFingeringLength);
    e.startFret = startFret;
    m_entries.push_back(std::move(e));
    if (newRoot)
        m_roots.push_back(rootText);
    return true;
}

std::vector<std::string> GuitarChordLibrary::qualitiesForRoot(std::string_view root) const
{
    std::vector<std::string> out;
    for (const auto& e : m_entries)
        if (e.root == root)
            out.push_back(e.qualityName);
    return out;
}

std::vector<int> GuitarChordLibrary::startFretsFor(std::string_view root, std::string_view qualityName) const
{
    std::vector<int> out;
    for (const auto& e : m_entries)
        if (e.root == root && e.qualityName == qualityName)
            out.push_back(e.startFret);
    return out;
}

const GuitarChordEntry* GuitarChordLibrary::find(std::string_view root, std::string_view qualityName,
                                                 int startFret) const
{
    for (const auto& e : m_entries)
        if (e.root == root && e.qualityName == qualityName && e.startFret == startFret)
            return &e;
    return nullptr;
}

std::optional<std::string>
GuitarChordLibrary::findFingering(std::string_view root, std::string_view qualityName, int startFret) const
{
    if (const GuitarChordEntry* e = find(root, qualityName, startFret))
        return e->fingering;
    return std::nullopt;
}

void buildLibrary(GuitarChordLibrary& library)
{
    for (const Shape& s : kShapes)
        library.addShape(s.root, s.quality, s.fingering, s.startFret);
}

const GuitarChordLibrary& guitarLibrary()
{
    static const GuitarChordLibrary library = [] {
        GuitarChordLibrary l;
        buildLibrary(l);
        return l;
    }();
    return library;
}

GuitarChordPicker::GuitarChordPicker(const GuitarChordLibrary& library) : m_library(library)
{
    if (!m_library.roots().empty())
        chooseRoot(0);
}

void GuitarChordPicker::chooseRoot(int index)
{
    if (index < 0 || index >= static_cast<int>(m_library.roots().size()))
        return;
    m_root = index;
    m_qualities = m_library.qualitiesForRoot(root());
    m_quality = m_qualities.empty() ? -1 : 0;
    fillStartFrets();
}

void GuitarChordPicker::chooseQuality(int index)
{
    if (index < 0 || index >= static_cast<int>(m_qualities.size()))
        return;
    m_quality = index;
    fillStartFrets();
}

void GuitarChordPicker::chooseStartFret(int index)
{
    if (index < 0 || index >= static_cast<int>(m_startFrets.size()))
        return;
    m_startFret = index;
}

void GuitarChordPicker::fillStartFrets()
{
    m_startFrets.clear();
    for (int fret : m_library.startFretsFor(root(), qualityName()))
        m_startFrets.push_back(std::to_string(fret));
    m_startFret = m_startFrets.empty() ? -1 : 0;
}

std::string GuitarChordPicker::root() const
{
    return m_root < 0 ? std::string() : m_library.roots()[static_cast<std::size_t>(m_root)];
}

std::string GuitarChordPicker::qualityName() const
{
    return m_quality < 0 ? std::string() : m_qualities[static_cast<std::size_t>(m_quality)];
}

int GuitarChordPicker::startFret() const
{
    if (m_startFret < 0)
        return 0;
    const std::string& text = m_startFrets[static_cast<std::size_t>(m_startFret)];
    int fret = 0;
    std::from_chars(text.data(), text.data() + text.size(), fret);
    return fret;
}

const GuitarChordEntry* GuitarChordPicker::chosen() const
{
    if (m_root < 0 || m_quality < 0 || m_startFret < 0)
        return nullptr;
    return m_library.find(root(), qualityName(), startFret());
}

} // namespace tonvela

namespace tonvela {

const GuitarChordEntry* guitarShapeForChordSymbol(const ChordSymbol& symbol)
{
    // The library's quality codes of the sheet's qualities, by row of the formula table.
    static constexpr std::pair<int, int> kCodes[] = {
        {0, 0}, {14, 1}, {20, 2}, {18, 4}, {13, 5}, {5, 8}, {16, 10}, {1, 13},
    };
    int code = -1;
    for (const auto& [quality, libraryCode] : kCodes)
        if (quality == symbol.quality)
            code = libraryCode;
    if (code < 0)
        return nullptr;
    const int pitch = symbol.root.pitchClass();
    for (const GuitarChordEntry& e : guitarLibrary().entries()) {
        if (e.qualityCode != code)
            continue;
        const auto root = parseChordSymbol(e.root);
        if (root && root->root.pitchClass() == pitch)
            return &e;
    }
    return nullptr;
}

} // namespace tonvela
