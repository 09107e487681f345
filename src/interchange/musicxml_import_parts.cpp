// The MusicXML reader's first half: the parts, measures and notes of a score-partwise document,
// read into the reader's own model (musicxml_import_model.h) with every time in ticks.

#include "interchange/musicxml_import_model.h"

#include "interchange/musicxml_harmony.h"
#include "score/duration.h"
#include "score/note.h"
#include "score/staff_kind.h"
#include "score/time_signature.h"
#include "score/utf8_text.h"
#include "theory/pitch.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tonvela::musicxml {
namespace {

// A <time> element's symbol: common and cut time are drawn as their glyphs.
MeterSymbol meterSymbolOf(const std::string& symbol)
{
    return symbol == "common" ? MeterSymbol::Common
           : symbol == "cut"  ? MeterSymbol::Cut
                              : MeterSymbol::Numbers;
}

// The largest <divisions> taken: finer than any notation program writes.
constexpr long long kMaxDivisions = 1'000'000;

std::string trimmed(const char* text)
{
    std::string s(text ? text : "");
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

// A whole number from an element's text; false when the text is not one.
bool integerOf(const pugi::xml_node& node, long long& value)
{
    const std::string t = trimmed(node.child_value());
    if (t.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(t.c_str(), &end, 10);
    if (errno != 0 || end == t.c_str())
        return false;
    // Durations are sometimes written with a decimal part ("480.0"); anything else is not a number.
    if (*end == '.') {
        ++end;
        while (*end >= '0' && *end <= '9')
            ++end;
    }
    if (*end != '\0')
        return false;
    value = v;
    return true;
}

double numberOf(const pugi::xml_node& node, double fallback)
{
    const std::string t = trimmed(node.child_value());
    if (t.empty())
        return fallback;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    return (end == t.c_str() || !std::isfinite(v)) ? fallback : v;
}

// Sheet duration code of a <type> name; 0 for a name the sheet does not have.
int typeCodeOf(const std::string& name, bool& known)
{
    static const std::pair<const char*, int> kTypes[] = {
        {"whole", kTypeWhole},
        {"half", kTypeHalf},
        {"quarter", kTypeQuarter},
        {"eighth", kTypeEighth},
        {"16th", kTypeSixteenth},
        {"32nd", kTypeThirtySecond},
        {"64th", 0},
        {"128th", 0},
        {"256th", 0},
        {"512th", 0},
        {"1024th", 0},
        {"breve", 0},
        {"long", 0},
        {"maxima", 0},
    };
    for (const auto& [n, code] : kTypes)
        if (name == n) {
            known = true;
            return code;
        }
    known = false;
    return 0;
}

// Semitones of a natural step above C; -1 for a character that is not a step.
int semitonesOfStep(char step)
{
    return isNaturalPitch(step) ? (pitchClassIndex(step) - pitchClassIndex('C') + 12) % 12 : -1;
}

// Steps of a natural above C (C 0 .. B 6); -1 for a character that is not a step.
int indexOfStep(char step)
{
    return isNaturalPitch(step) ? letterIndexFromC(step) : -1;
}

// Tempo in quarter notes per minute from a <metronome>; 0 when it gives none.
double metronomeTempo(const pugi::xml_node& m)
{
    const double perMinute = numberOf(m.child("per-minute"), 0);
    if (perMinute <= 0)
        return 0;
    const std::string unit = trimmed(m.child_value("beat-unit"));
    double quarters = unit == "whole"     ? 4
                      : unit == "half"    ? 2
                      : unit == "quarter" ? 1
                      : unit == "eighth"  ? 0.5
                      : unit == "16th"    ? 0.25
                                          : 0;
    if (quarters == 0)
        return 0;
    double add = quarters / 2;
    for (pugi::xml_node d = m.child("beat-unit-dot"); d && d.name() == std::string("beat-unit-dot");
         d = d.next_sibling()) {
        quarters += add;
        add /= 2;
    }
    return perMinute * quarters;
}

// What the reader keeps while it walks one part.
class PartReader {
  public:
    PartReader(Part& part, Score& score) : m_part(part), m_score(score) {}

    std::string read(const pugi::xml_node& partNode);

  private:
    std::string readAttributes(const pugi::xml_node& a);
    std::string readNote(const pugi::xml_node& n, int measureIndex);
    void readDirection(const pugi::xml_node& d);
    void readBarline(const pugi::xml_node& b, Measure& m);
    void readHarmony(const pugi::xml_node& h);
    void readNotations(const pugi::xml_node& notations);
    void readStaffTuning(const pugi::xml_node& details, GuitarTuning& tuning);
    void tempoSeen(double bpm);
    void resolveStaves();
    Staff& staff(int index);
    std::string where() const
    {
        return "part \"" + nameFromFile(m_part.name.empty() ? m_part.id : m_part.name) + "\", measure " +
               nameFromFile(m_measureName);
    }
    void leftOut(const std::string& what, int count = 1) { countLeftOut(m_score.leftOut, what, count); }

    Part& m_part;
    Score& m_score;
    long long m_divisions = 0;
    int64_t m_cursor = 0;
    int64_t m_lastStart = 0;
    std::string m_measureName;
    int m_timeCode = 0;
    // Chord symbols read from <harmony>, waiting for the note they stand over: the staff,
    // the time they name (the cursor and the element's offset) and the symbol's text.
    struct PendingChord {
        int staff = 0;
        int64_t at = 0;
        std::string text;
        bool moved = false; // already said to stand on a later note than its time
    };
    std::vector<PendingChord> m_pendingChords;
    int m_transposeChromatic = 0;
    int m_transposeDiatonic = 0;
    bool m_transposeSeen = false;
    struct ClefInfo {
        char sign = 0;
        int line = 0;
        int octaveChange = 0;
        bool seen = false;
    };
    std::vector<ClefInfo> m_clefs{1};
};

Staff& PartReader::staff(int index)
{
    if (index >= static_cast<int>(m_part.staves.size())) {
        m_part.staves.resize(static_cast<std::size_t>(index) + 1);
        m_clefs.resize(static_cast<std::size_t>(index) + 1);
    }
    return m_part.staves[static_cast<std::size_t>(index)];
}

void PartReader::tempoSeen(double bpm)
{
    if (bpm <= 0)
        return;
    const int t = std::clamp(static_cast<int>(std::lround(bpm)), 1, 1000);
    if (m_score.tempo == 0)
        m_score.tempo = t;
    else if (t != m_score.tempo)
        leftOut("tempo changes");
}

std::string PartReader::readAttributes(const pugi::xml_node& a)
{
    for (pugi::xml_node c : a.children()) {
        const std::string name = c.name();
        if (name == "divisions") {
            long long d = 0;
            if (!integerOf(c, d) || d <= 0 || d > kMaxDivisions)
                return "the <divisions> of " + where() + " is \"" + nameFromFile(trimmed(c.child_value())) +
                       "\", not a usable number of divisions of a quarter note";
            m_divisions = d;
        } else if (name == "key") {
            long long fifths = 0;
            if (!integerOf(c.child("fifths"), fifths)) {
                leftOut("key signatures the sheet does not have");
                continue;
            }
            fifths = std::clamp<long long>(fifths, -7, 7);
            if (!m_part.keySeen) {
                m_part.keyFifths = static_cast<int>(fifths);
                m_part.keySeen = true;
            } else if (fifths != m_part.keyFifths) {
                leftOut("key signature changes");
            }
        } else if (name == "time") {
            long long beats = 0, beatType = 0;
            if (!integerOf(c.child("beats"), beats) || !integerOf(c.child("beat-type"), beatType)) {
                if (!c.child("senza-misura"))
                    leftOut("time signatures the sheet does not have");
                continue;
            }
            bool exact = true;
            const int code = timeSignatureCode(static_cast<int>(std::clamp<long long>(beats, 0, 1000)),
                                               static_cast<int>(std::clamp<long long>(beatType, 0, 1000)),
                                               meterSymbolOf(c.attribute("symbol").as_string()), exact);
            if (!exact)
                leftOut("time signatures the sheet does not have (" + std::to_string(beats) + "/" +
                        std::to_string(beatType) + " written as " + timeSignatureInfo(code).text + ")");
            if (m_timeCode != 0 && code != m_timeCode)
                leftOut("time signature changes");
            m_timeCode = code;
            if (m_score.timeCode == 0)
                m_score.timeCode = code;
        } else if (name == "staves") {
            long long n = 0;
            if (integerOf(c, n) && n >= 1 && n <= 16)
                staff(static_cast<int>(n) - 1);
        } else if (name == "clef") {
            const int number = std::clamp(c.attribute("number").as_int(1), 1, 16) - 1;
            staff(number);
            ClefInfo info;
            const std::string sign = trimmed(c.child_value("sign"));
            info.sign = sign == "percussion" ? 'P' : sign == "TAB" ? 'T' : sign.size() == 1 ? sign[0] : '?';
            info.line = c.child("line").text().as_int(0);
            info.octaveChange = c.child("clef-octave-change").text().as_int(0);
            info.seen = true;
            ClefInfo& first = m_clefs[static_cast<std::size_t>(number)];
            if (!first.seen)
                first = info;
            else if (info.sign != first.sign || info.octaveChange != first.octaveChange ||
                     (info.sign != 'P' && info.line != first.line))
                leftOut("clef changes");
        } else if (name == "transpose") {
            if (!m_transposeSeen) {
                m_transposeSeen = true;
                const int octaves = c.child("octave-change").text().as_int(0);
                m_transposeChromatic =
                    std::clamp(c.child("chromatic").text().as_int(0) + 12 * octaves, -48, 48);
                m_transposeDiatonic = std::clamp(c.child("diatonic").text().as_int(0) + 7 * octaves, -28, 28);
            }
        } else if (name == "staff-details") {
            const int number = std::clamp(c.attribute("number").as_int(1), 1, 16) - 1;
            readStaffTuning(c, staff(number).tuning);
        } else if (name == "measure-style" || name == "instruments" || name == "part-symbol" ||
                   name == "footnote" || name == "level" || name == "print") {
            // How the staff is drawn: the sheet draws its own.
        } else if (name == "directive") {
            leftOut("texts");
        }
    }
    return {};
}

void PartReader::readStaffTuning(const pugi::xml_node& details, GuitarTuning& tuning)
{
    // Six strings, each named once: anything else (a bass, a banjo) keeps the guitar's strings,
    // whose frets the sheet can show, and says so.
    std::array<int, kGuitarStrings> strings = tuning.strings;
    int named = 0;
    bool fits = true;
    for (pugi::xml_node t : details.children("staff-tuning")) {
        const int line = t.attribute("line").as_int(0); // 1 is the lowest string
        const std::string step = trimmed(t.child_value("tuning-step"));
        static constexpr std::string_view kSteps = "CDEFGAB";
        static constexpr int kStepClass[7] = {0, 2, 4, 5, 7, 9, 11};
        const std::size_t at = step.size() == 1 ? kSteps.find(step[0]) : std::string_view::npos;
        const int alter =
            std::clamp(static_cast<int>(std::lround(t.child("tuning-alter").text().as_double(0))), -2, 2);
        const int octave = t.child("tuning-octave").text().as_int(-10);
        const int key = at == std::string_view::npos ? -1 : (octave + 1) * 12 + kStepClass[at] + alter;
        if (line < 1 || line > kGuitarStrings || key < 0 || key > 127) {
            fits = false;
            continue;
        }
        strings[static_cast<std::size_t>(kGuitarStrings - line)] = key;
        ++named;
    }
    const pugi::xml_node lines = details.child("staff-lines");
    if (lines && lines.text().as_int(kGuitarStrings) != kGuitarStrings)
        fits = false;
    if (named > 0 && (!fits || named != kGuitarStrings))
        leftOut("tablature tunings of other than six strings (read as a guitar in standard tuning)");
    else if (named == kGuitarStrings)
        tuning.strings = strings;
    if (const pugi::xml_node capo = details.child("capo"))
        tuning.capo = std::clamp(capo.text().as_int(0), 0, kMaxCapoFret);
}

void PartReader::readNotations(const pugi::xml_node& notations)
{
    for (pugi::xml_node c : notations.children()) {
        const std::string name = c.name();
        if (name == "tied" || name == "tuplet" || name == "footnote" || name == "level")
            continue;
        if (name == "technical") {
            // String and fret of a TAB staff: the sheet's tablature finds its own.
            for (pugi::xml_node t : c.children()) {
                const std::string tn = t.name();
                if (tn != "string" && tn != "fret")
                    leftOut("technical marks (" + nameFromFile(tn) + ")");
            }
            continue;
        }
        if (name == "slur")
            leftOut(std::string(c.attribute("type").as_string()) == "start" ? "slurs" : "");
        else if (name == "articulations" || name == "ornaments")
            for (pugi::xml_node t : c.children())
                leftOut(name + " (" + nameFromFile(t.name()) + ")");
        else if (name == "fermata")
            leftOut("fermatas");
        else if (name == "dynamics")
            leftOut("dynamics");
        else if (name == "arpeggiate" || name == "non-arpeggiate")
            leftOut("arpeggios");
        else if (name == "glissando" || name == "slide")
            leftOut(std::string(c.attribute("type").as_string()) == "start" ? "glissandos and slides" : "");
        else
            leftOut(nameFromFile(name));
    }
}

std::string PartReader::readNote(const pugi::xml_node& n, int measureIndex)
{
    if (n.child("grace")) {
        leftOut("grace notes");
        return {};
    }
    Event e;
    e.measure = measureIndex;
    e.chord = static_cast<bool>(n.child("chord"));
    e.cue = static_cast<bool>(n.child("cue"));
    e.voice = trimmed(n.child_value("voice"));
    if (e.voice.empty())
        e.voice = "1";
    {
        const long long s = n.child("staff") ? n.child("staff").text().as_llong(1) : 1;
        e.staff = static_cast<int>(std::clamp<long long>(s, 1, 16)) - 1;
        staff(e.staff);
    }
    long long duration = 0;
    if (n.child("duration")) {
        if (!integerOf(n.child("duration"), duration) || duration < 0)
            return "a note of " + where() + " has the duration \"" +
                   nameFromFile(trimmed(n.child_value("duration"))) + "\", which is not a length";
        if (duration > 0 && m_divisions == 0)
            return "the file gives no <divisions> before the first note of " + where() +
                   ", so no note lengths can be read from it";
    }
    if (m_divisions > 0) {
        // Within limits before multiplying, so the product cannot overflow.
        if (duration > kMaxEventTicks * m_divisions)
            return "a note of " + where() + " lasts " + std::to_string(duration) + " divisions (" +
                   std::to_string(duration / m_divisions) + " quarter notes), which is not a note length";
        e.duration = (duration * kTicksPerQuarter + m_divisions / 2) / m_divisions;
    }
    e.start = e.chord ? m_lastStart : m_cursor;
    if (!e.chord) {
        m_lastStart = m_cursor;
        m_cursor += e.duration;
    }

    if (pugi::xml_node rest = n.child("rest")) {
        e.rest = true;
        e.measureRest = std::string(rest.attribute("measure").as_string()) == "yes";
    } else if (pugi::xml_node p = n.child("pitch")) {
        const std::string step = trimmed(p.child_value("step"));
        long long octave = 0;
        const int stepIndex = step.size() == 1 ? indexOfStep(step[0]) : -1;
        if (stepIndex < 0 || !integerOf(p.child("octave"), octave) || octave < 0 || octave > 9)
            return "a note of " + where() + " has no readable pitch (step \"" + nameFromFile(step) +
                   "\", octave \"" + nameFromFile(trimmed(p.child_value("octave"))) + "\")";
        const double alter = std::clamp(numberOf(p.child("alter"), 0), -3.0, 3.0);
        if (alter != std::round(alter))
            leftOut("microtones (played at the nearest semitone)");
        const int written = 12 * (static_cast<int>(octave) + 1) + semitonesOfStep(step[0]) +
                            static_cast<int>(std::lround(alter));
        e.key = written + m_transposeChromatic;
        e.diatonic = static_cast<int>(octave) * 7 + stepIndex + m_transposeDiatonic;
        const std::string acc = trimmed(n.child_value("accidental"));
        if (acc == "sharp" || acc == "double-sharp" || acc == "sharp-sharp" || acc == "natural-sharp")
            e.marks = kFlagSharp;
        else if (acc == "flat" || acc == "flat-flat" || acc == "natural-flat")
            e.marks = kFlagFlat;
        else if (acc == "natural")
            e.marks = kFlagNatural;
        else if (!acc.empty())
            leftOut("accidentals the sheet does not have (" + nameFromFile(acc) + ")");
    } else if (pugi::xml_node u = n.child("unpitched")) {
        e.unpitched = true;
        const std::string step = trimmed(u.child_value("display-step"));
        const int stepIndex = step.size() == 1 ? indexOfStep(step[0]) : -1;
        const int octave = std::clamp(u.child("display-octave").text().as_int(4), 0, 9);
        e.diatonic = octave * 7 + std::max(stepIndex, 0);
        e.key = 12 * (octave + 1) + semitonesOfStep(stepIndex >= 0 ? step[0] : 'C');
        const std::string instrument = n.child("instrument").attribute("id").as_string();
        if (const auto it = m_part.drumKeys.find(instrument); it != m_part.drumKeys.end())
            e.key = it->second;
        else if (m_part.drumKeys.size() == 1)
            e.key = m_part.drumKeys.begin()->second;
    } else {
        return "a note of " + where() + " has neither a pitch nor a rest";
    }
    if (e.key < 0 || e.key > 127) {
        leftOut("notes beyond the MIDI keys (moved by octaves into range)");
        while (e.key < 0) {
            e.key += 12;
            e.diatonic += 7;
        }
        while (e.key > 127) {
            e.key -= 12;
            e.diatonic -= 7;
        }
    }

    if (pugi::xml_node t = n.child("type")) {
        bool known = false;
        e.type = typeCodeOf(trimmed(t.child_value()), known);
        e.typeOutside = known && e.type == 0;
    }
    for (pugi::xml_node c : n.children("dot"))
        (void)c, ++e.dots;
    if (pugi::xml_node tm = n.child("time-modification")) {
        e.tupletActual = std::clamp(tm.child("actual-notes").text().as_int(0), 0, 1000);
        e.tupletNormal = std::clamp(tm.child("normal-notes").text().as_int(0), 0, 1000);
    }
    for (pugi::xml_node t : n.children("tie")) {
        const std::string type = t.attribute("type").as_string();
        e.tieStart = e.tieStart || type == "start";
        e.tieStop = e.tieStop || type == "stop";
    }
    bool firstLyric = true;
    for (pugi::xml_node l : n.children("lyric")) {
        if (!firstLyric) {
            leftOut("lyric verses beyond the first");
            continue;
        }
        firstLyric = false;
        std::string text;
        for (pugi::xml_node c : l.children()) {
            const std::string cn = c.name();
            if (cn == "text")
                text += c.child_value();
            else if (cn == "elision")
                text += ' ';
        }
        // A syllable that the next one continues keeps its hyphen, as the words are written.
        const std::string syllabic = trimmed(l.child_value("syllabic"));
        if ((syllabic == "begin" || syllabic == "middle") && !text.empty() && text.back() != '-')
            text += '-';
        // pugixml hands the bytes of a UTF-8 file over unchecked.
        text = validUtf8(text);
        if (text.size() > kMaxLyricLength)
            leftOut("lyrics longer than " + std::to_string(kMaxLyricLength) + " characters (cut)");
        e.lyric = text;
    }
    // A chord symbol belongs to the note that sounds on its staff when the symbol's time comes
    // (a symbol over a rest waits for the next note: the sheet writes symbols on notes). A note
    // carries one symbol: a second one within its length moves on to the next note, so no chord
    // of the progression is lost.
    if (!e.rest && !e.chord) {
        const int64_t end = e.start + std::max<int64_t>(e.duration, 1);
        bool taken = false;
        for (auto it = m_pendingChords.begin(); it != m_pendingChords.end();) {
            if (it->staff != e.staff || it->at >= end) {
                ++it;
                continue;
            }
            if (taken) {
                if (!it->moved)
                    leftOut("chord symbols moved to the next note (two within one note)");
                it->moved = true;
                ++it;
                continue;
            }
            e.chordSymbol = it->text;
            taken = true;
            it = m_pendingChords.erase(it);
        }
    }
    for (pugi::xml_node notations : n.children("notations"))
        readNotations(notations);
    if (e.cue && !e.rest)
        leftOut("cue notes");
    m_part.events.push_back(std::move(e));
    return {};
}

void PartReader::readDirection(const pugi::xml_node& d)
{
    for (pugi::xml_node type : d.children("direction-type")) {
        for (pugi::xml_node c : type.children()) {
            const std::string name = c.name();
            if (name == "metronome") {
                if (!d.child("sound").attribute("tempo"))
                    tempoSeen(metronomeTempo(c));
            } else if (name == "dynamics") {
                leftOut("dynamics");
            } else if (name == "words" || name == "rehearsal") {
                if (!trimmed(c.child_value()).empty())
                    leftOut("texts");
            } else if (name == "wedge") {
                if (std::string(c.attribute("type").as_string()) != "stop")
                    leftOut("hairpins");
            } else if (name == "octave-shift") {
                // The notes keep their sounding pitch; the sheet writes them without the line.
            } else if (name == "pedal") {
                if (std::string(c.attribute("type").as_string()) == "start")
                    leftOut("pedal marks");
            } else if (name == "segno" || name == "coda") {
                leftOut("segno and coda signs");
            } else if (name != "other-direction" || !trimmed(c.child_value()).empty()) {
                if (name != "bracket" && name != "dashes")
                    leftOut(nameFromFile(name));
            }
        }
    }
    if (pugi::xml_attribute tempo = d.child("sound").attribute("tempo"))
        tempoSeen(tempo.as_double());
}

void PartReader::readBarline(const pugi::xml_node& b, Measure& m)
{
    const std::string location = b.attribute("location").as_string("right");
    if (pugi::xml_node r = b.child("repeat")) {
        const std::string direction = r.attribute("direction").as_string();
        if (direction == "forward")
            m.repeatForward = true;
        else if (direction == "backward")
            m.repeatTimes = std::clamp(r.attribute("times").as_int(2), 2, 100);
    } else if (location == "right") {
        const std::string style = trimmed(b.child_value("bar-style"));
        if (!style.empty() && style != "regular" && style != "none")
            m.barlineEnd = true;
    }
    readEnding(b, m, m_score.leftOut);
    if (b.child("fermata"))
        leftOut("fermatas");
    if (b.child("segno") || b.child("coda"))
        leftOut("segno and coda signs");
}

void PartReader::readHarmony(const pugi::xml_node& h)
{
    bool approximate = false;
    const auto symbol = musicxml::readHarmony(h, approximate);
    if (!symbol) {
        if (trimmed(h.child_value("kind")) != "none")
            leftOut("chord symbols without a root");
        return;
    }
    if (approximate)
        leftOut("chord kinds the sheet does not have (written as the nearest)");
    if (h.child("function"))
        leftOut("chord functions");
    const long long s = h.child("staff") ? h.child("staff").text().as_llong(1) : 1;
    int64_t at = m_cursor;
    if (h.child("offset") && m_divisions > 0) {
        const long long offset =
            std::clamp<long long>(h.child("offset").text().as_llong(0), -kMaxEventTicks, kMaxEventTicks);
        at = std::max<int64_t>(0, m_cursor + offset * kTicksPerQuarter / m_divisions);
    }
    m_pendingChords.push_back(
        {static_cast<int>(std::clamp<long long>(s, 1, 16)) - 1, at, chordSymbolText(*symbol)});
}

std::string PartReader::read(const pugi::xml_node& partNode)
{
    int index = 0;
    for (pugi::xml_node measureNode : partNode.children("measure")) {
        Measure m;
        m.start = m_cursor;
        m.implicit = std::string(measureNode.attribute("implicit").as_string()) == "yes";
        m_measureName = measureNode.attribute("number").as_string();
        if (m_measureName.empty())
            m_measureName = std::to_string(index + 1);
        int64_t furthest = m_cursor;
        for (pugi::xml_node c : measureNode.children()) {
            const std::string name = c.name();
            std::string error;
            if (name == "attributes") {
                error = readAttributes(c);
            } else if (name == "note") {
                error = readNote(c, index);
            } else if (name == "backup" || name == "forward") {
                long long d = 0;
                if (!integerOf(c.child("duration"), d) || d < 0 || m_divisions == 0 ||
                    d > kMaxEventTicks * m_divisions)
                    return "a <" + name + "> of " + where() + " has no usable duration";
                const int64_t ticks = (d * kTicksPerQuarter + m_divisions / 2) / m_divisions;
                m_cursor = name == "backup" ? std::max(m.start, m_cursor - ticks) : m_cursor + ticks;
            } else if (name == "direction") {
                readDirection(c);
            } else if (name == "sound") {
                if (pugi::xml_attribute tempo = c.attribute("tempo"))
                    tempoSeen(tempo.as_double());
            } else if (name == "barline") {
                readBarline(c, m);
            } else if (name == "harmony") {
                readHarmony(c);
            } else if (name == "figured-bass") {
                leftOut("figured bass");
            }
            if (!error.empty())
                return error;
            furthest = std::max(furthest, m_cursor);
        }
        m.end = furthest;
        m_cursor = furthest;
        if (m_cursor > kMaxPartTicks)
            return where() + " lies later than a score this long can reach";
        m_part.measures.push_back(m);
        ++index;
    }
    if (!m_pendingChords.empty())
        leftOut("chord symbols after the last note", static_cast<int>(m_pendingChords.size()));
    resolveStaves();
    return {};
}

// The staff kinds, once the clefs, the transposition and the notes are known.
void PartReader::resolveStaves()
{
    const bool octaveDown = m_transposeSeen && m_transposeChromatic == -12 && m_transposeDiatonic == -7;
    if (m_transposeSeen && !octaveDown && (m_transposeChromatic != 0 || m_transposeDiatonic != 0))
        leftOut("transposing parts (written at sounding pitch)");
    std::vector<int> unpitched(m_part.staves.size()), pitched(m_part.staves.size());
    for (const Event& e : m_part.events)
        if (!e.rest)
            ++(e.unpitched ? unpitched : pitched)[static_cast<std::size_t>(e.staff)];
    for (std::size_t i = 0; i < m_part.staves.size(); ++i) {
        Staff& s = m_part.staves[i];
        const ClefInfo& c = m_clefs[i];
        s.percussive = c.sign == 'P' || (unpitched[i] > 0 && pitched[i] == 0) || m_part.drumChannel;
        // A drum clef, or none, counts as the treble clef for the staff the notes would take.
        const bool treble = c.sign == 'G' || !c.seen || c.sign == 'P';
        const std::string sign = treble ? "G" : c.sign == 'T' ? "TAB" : std::string(1, c.sign);
        // A part written an octave above its sound under a plain treble clef reads as the
        // octave treble clef; the frets of a tablature know no octave.
        const int octave = c.sign == 'T'                                 ? 0
                           : treble && c.octaveChange == 0 && octaveDown ? -1
                                                                         : c.octaveChange;
        if (const std::optional<StaffKind> kind = staffKindOfMusicXmlClef(sign, c.line, octave)) {
            s.kind = *kind;
        } else if (const std::optional<StaffKind> plain = staffKindOfMusicXmlClef(sign, c.line, 0)) {
            s.kind = *plain;
            leftOut("octave clefs the sheet does not have");
        } else {
            // A C clef (or an unknown one): the staff of the two that suits the part's notes.
            int low = 0, all = 0;
            for (const Event& e : m_part.events)
                if (!e.rest && e.staff == static_cast<int>(i)) {
                    ++all;
                    low += e.key < 60 ? 1 : 0;
                }
            s.kind = 2 * low > all ? StaffKind::FClef : StaffKind::G2Clef;
            leftOut("C clefs (written on the treble or bass staff)");
        }
        s.octaveTreble = treble && staffKindInfo(s.kind).octaveMark;
        if (octaveDown && !s.octaveTreble)
            leftOut("transposing parts (written at sounding pitch)");
    }
    // The voices a staff keeps are the two that sound most notes: a voice of rests only, or a
    // few notes another staff lends it, must not push out the melody. A tie goes to the voice
    // that comes first.
    for (std::size_t i = 0; i < m_part.staves.size(); ++i) {
        std::vector<std::pair<std::string, int>> counts; // in order of appearance
        for (const Event& e : m_part.events) {
            if (e.staff != static_cast<int>(i))
                continue;
            auto it =
                std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == e.voice; });
            if (it == counts.end()) {
                if (e.chord)
                    continue;
                counts.emplace_back(e.voice, 0);
                it = counts.end() - 1;
            }
            it->second += !e.rest && !e.cue ? 1 : 0;
        }
        const auto best = std::max_element(counts.begin(), counts.end(),
                                           [](const auto& a, const auto& b) { return a.second < b.second; });
        if (best == counts.end())
            continue;
        m_part.staves[i].firstVoice = best->first;
        // Voice 2 is the voice that sounds the next most notes; a voice of rests only is none.
        const auto* second = static_cast<const std::pair<std::string, int>*>(nullptr);
        for (const auto& c : counts)
            if (&c != &*best && c.second > 0 && (!second || c.second > second->second))
                second = &c;
        if (second)
            m_part.staves[i].secondVoice = second->first;
    }
}

// The part list: names and MIDI instruments by part id.
void readPartList(const pugi::xml_node& root, std::vector<Part>& parts)
{
    for (pugi::xml_node sp : root.child("part-list").children("score-part")) {
        Part p;
        p.id = sp.attribute("id").as_string();
        p.name = validUtf8(trimmed(sp.child_value("part-name")));
        bool programSeen = false;
        for (pugi::xml_node mi : sp.children("midi-instrument")) {
            if (mi.child("midi-channel").text().as_int(0) == 10)
                p.drumChannel = true;
            if (mi.child("midi-unpitched"))
                p.drumKeys[mi.attribute("id").as_string()] =
                    std::clamp(mi.child("midi-unpitched").text().as_int(1), 1, 128) - 1;
            if (programSeen)
                continue;
            // The part plays with its first instrument's program, volume (0..100) and pan (degrees).
            programSeen = true;
            p.program = std::clamp(mi.child("midi-program").text().as_int(1), 1, 128) - 1;
            if (mi.child("volume"))
                p.volume = std::clamp(static_cast<int>(std::lround(numberOf(mi.child("volume"), 100) * 1.27)),
                                      0, 127);
            if (mi.child("pan"))
                p.pan = std::clamp(
                    64 + static_cast<int>(std::lround(numberOf(mi.child("pan"), 0) / 90.0 * 63)), 0, 127);
        }
        parts.push_back(std::move(p));
    }
}

} // namespace

int timeSignatureCode(int beats, int beatType, MeterSymbol symbol, bool& exact)
{
    exact = true;
    if (const int code = timeSignatureCodeOf(beats, beatType, symbol))
        return code;
    exact = false;
    // A measure of the same length: beats / beatType whole notes, written in numbers.
    if (beatType > 0) {
        for (int code : {kTimeSig44, kTimeSig24, kTimeSig34, kTimeSig54, kTimeSig64, kTimeSig74, kTimeSig84,
                         kTimeSig94, kTimeSig38, kTimeSig58, kTimeSig78, kTimeSig98, kTimeSig32, kTimeSig128})
            if (measureTicksOf(code) * beatType == kWholeTicks * int64_t{beats})
                return code;
    }
    return kTimeSig44;
}

std::string readParts(const pugi::xml_node& root, Score& score)
{
    std::vector<Part> listed;
    readPartList(root, listed);
    for (pugi::xml_node partNode : root.children("part")) {
        const std::string id = partNode.attribute("id").as_string();
        const auto it = std::find_if(listed.begin(), listed.end(), [&](const Part& p) { return p.id == id; });
        Part& part = score.parts.emplace_back(it != listed.end() ? *it : Part{});
        part.id = id;
        PartReader reader(part, score);
        if (std::string error = reader.read(partNode); !error.empty())
            return error;
    }
    score.leftOut.erase("");
    return {};
}

void countLeftOut(LeftOut& leftOut, const std::string& what, int count)
{
    if (what.empty())
        return;
    const std::size_t named = leftOut.size() - leftOut.count(kOtherLeftOut);
    if (leftOut.count(what) == 0 && what != kOtherLeftOut && named >= kMaxLeftOutKinds - 1)
        leftOut[kOtherLeftOut] += count;
    else
        leftOut[what] += count;
}

std::string nameFromFile(std::string_view name)
{
    const std::string valid = validUtf8(name.substr(0, 4 * kMaxLeftOutNameLength));
    std::string cut = cutUtf8(valid, kMaxLeftOutNameLength);
    if (cut.size() < valid.size())
        cut += "...";
    return cut;
}

} // namespace tonvela::musicxml
