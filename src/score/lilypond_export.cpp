#include "score/lilypond_export.h"

#include "platform/sheet_lock.h"
#include "score/legacy_text.h"
#include "score/measure_repeat.h"
#include "score/note.h"
#include "score/note_pitch.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"
#include "score/staff_kind.h"
#include "score/tie_rule.h"
#include "score/track.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tonvela {

namespace {

constexpr const char* kLineEnd = "\r\n";

int mod7(int p)
{
    return ((p % 7) + 7) % 7;
}

// The letter a staff position shows on the track's clef: middle C at 0 on the G clef, one
// letter per step.
char letterOfPosition(int p, const Track& t)
{
    static constexpr char kLetters[] = "CBAGFED";
    return kLetters[mod7(p + staffOf(t).readingShift)];
}

int semitoneOfLetter(char letter)
{
    switch (letter) {
    case 'C':
        return 0;
    case 'D':
        return 2;
    case 'E':
        return 4;
    case 'F':
        return 5;
    case 'G':
        return 7;
    case 'A':
        return 9;
    case 'B':
        return 11;
    default:
        return -100;
    }
}

// Floor division, so keys below 12 get the right number of commas.
int floorDiv(int a, int b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

std::string durationText(const Note& n)
{
    std::string d;
    switch (n.type) {
    case kTypeWhole:
        d = "1";
        break;
    case kTypeHalf:
        d = "2";
        break;
    case kTypeEighth:
        d = "8";
        break;
    case kTypeSixteenth:
        d = "16";
        break;
    case kTypeThirtySecond:
        d = "32";
        break;
    default:
        d = "4";
        break;
    }
    if (n.isDotted())
        d += '.';
    return d;
}

const char* drumName(int key)
{
    static constexpr const char* kDrums[] = {
        "acousticbassdrum", "bassdrum",    "sidestick",    "acousticsnare", "handclap",     "electricsnare",
        "lowfloortom",      "closedhihat", "highfloortom", "pedalhihat",    "lowtom",       "openhihat",
        "lowmidtom",        "himidtom",    "crashcymbala", "hightom",       "ridecymbala",  "chinesecymbal",
        "ridebell",         "tambourine",  "splashcymbal", "cowbell",       "crashcymbalb", "vibraslap",
        "ridecymbalb",      "hibongo",     "lobongo",      "mutehiconga",   "openhiconga",  "loconga",
        "hitimbale",        "lotimbale",   "hiagogo",      "loagogo",       "cabasa",       "maracas",
        "shortwhistle",     "longwhistle", "shortguiro",   "longguiro",     "claves",       "hiwoodblock",
        "lowoodblock",      "mutecuica",   "opencuica",    "mutetriangle",  "opentriangle"};
    if (key < 35 || key > 81)
        return "acousticsnare"; // General MIDI names no drum there; a snare stands in
    return kDrums[key - 35];
}

// A lyric as a LilyPond string: clean UTF-8 with quotes and backslashes escaped.
std::string lyricString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : utf8FromSheetText(text)) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

const char* keyName(int keyindex)
{
    static constexpr const char* kNames[] = {"cis", "fis", "b",   "e",   "a",   "d",   "g",  "c",
                                             "f",   "bes", "ees", "aes", "des", "ges", "ces"};
    if (keyindex < 0 || keyindex > 14)
        return "c";
    return kNames[keyindex];
}

// One event of a staff: a note, a chord or a rest, and what goes under it.
struct StaffEvent {
    int root = -1; // the chord root or lone note in the track
    bool rest = false;
    std::vector<std::string> pitches;
    std::vector<int> keys;
    std::vector<int> strings; // a tablature staff's string of each pitch (1 = highest)
    std::string duration;
    bool tie = false;
    const std::string* lyric = nullptr;
};

// Ties the events the way playback merges notes: a note sounds on through the next chord root
// when both carry the tie mark and show the same letter and octave, up to kMaxTieMerge notes
// in one sound; the merged note sounds the first one's key, so it is written with that pitch.
// Rests that playback merges need no tie. Playback holds only the root through a tie, and the
// chord members of a merged chord do not strike again: LilyPond's chord tie holds every pitch
// the next chord repeats.
void tieAsPlaybackDoes(const Track& t, const MeasureDivision& measures, std::vector<StaffEvent>& events)
{
    int chain = 1;
    for (std::size_t i = 0; i < events.size(); ++i) {
        StaffEvent& e = events[i];
        const Note& u = t.noteAt(e.root);
        const int v = t.nextRoot(e.root);
        const bool next = i + 1 < events.size() && events[i + 1].root == v;
        e.tie = next && !e.rest && chain < kMaxTieMerge && tieMerges(u, t.noteAt(v)) &&
                !tieCrossesRepeat(t, measures, e.root, v);
        if (!e.tie) {
            chain = 1;
            continue;
        }
        ++chain;
        StaffEvent& f = events[i + 1];
        if (!f.pitches.empty() && !e.pitches.empty() && f.keys.front() != e.keys.front()) {
            const auto dup = std::find(f.keys.begin() + 1, f.keys.end(), e.keys.front());
            if (dup != f.keys.end()) {
                f.pitches.erase(f.pitches.begin() + (dup - f.keys.begin()));
                f.keys.erase(dup);
            }
            f.pitches.front() = e.pitches.front();
            f.keys.front() = e.keys.front();
        }
    }
}

std::vector<StaffEvent> staffEvents(const Track& t, const MeasureDivision& measures)
{
    const KeyAccidentalTable k(t);
    const bool drums = t.percussive != 0;
    const bool tablature = staffOf(t).isTablature();
    const int count = t.count;
    // Members by root, in track order; a member whose root is not a root stands alone.
    std::vector<std::vector<int>> members(static_cast<std::size_t>(count));
    std::vector<uint8_t> standsAlone(static_cast<std::size_t>(count), 0);
    for (int j = 0; j < count; ++j) {
        const int p = t.noteAt(j).chordparent;
        if (p == -1)
            continue;
        if (p < 0 || p >= count || p == j || t.noteAt(p).chordparent != -1 ||
            members[static_cast<std::size_t>(p)].size() >= static_cast<std::size_t>(kMaxChordMembers))
            standsAlone[static_cast<std::size_t>(j)] = 1;
        else
            members[static_cast<std::size_t>(p)].push_back(j);
    }

    auto pitchOf = [&](const Note& n, int& key) {
        key = soundingKey(n, t, k);
        if (drums)
            return std::string(drumName(key));
        return lilypondPitch(key, letterOfPosition(n.line, t), t.flatKey != 0);
    };

    std::vector<StaffEvent> events;
    for (int i = 0; i < count; ++i) {
        const Note& root = t.noteAt(i);
        if (root.chordparent != -1 && !standsAlone[static_cast<std::size_t>(i)])
            continue;
        if (!isDurationType(root.type))
            continue;
        StaffEvent e;
        e.root = i;
        e.duration = durationText(root);
        if (root.isRest()) {
            e.rest = true;
            events.push_back(std::move(e));
            continue;
        }
        std::vector<const Note*> heads{&root};
        for (int m : members[static_cast<std::size_t>(i)]) {
            const Note& n = t.noteAt(m);
            if (!n.isRest() && isDurationType(n.type))
                heads.push_back(&n);
        }
        for (const Note* n : heads) {
            int key = 0;
            std::string p = pitchOf(*n, key);
            if (std::find(e.pitches.begin(), e.pitches.end(), p) != e.pitches.end())
                continue;
            e.pitches.push_back(std::move(p));
            e.keys.push_back(key);
            if (tablature) {
                // A key no string of the guitar reaches is left for LilyPond to place.
                const GuitarPosition at = tabPositionForKey(*n, key);
                e.strings.push_back(openStringKey(at.stringIndex) + at.fret == key ? at.stringIndex + 1 : 0);
            }
            if (!e.lyric && n->lyrictext())
                e.lyric = &*n->lyrictext();
        }
        events.push_back(std::move(e));
    }
    tieAsPlaybackDoes(t, measures, events);
    return events;
}

// `spacer`: the whole sheet holds no notes; LilyPond skips a score without duration, so the
// staff gets one empty measure. The events of a measure marked to repeat are written inside
// \repeat volta 2 { }.
void writeTrack(std::string& out, const Track& t, const std::vector<StaffEvent>& events, bool spacer,
                const MeasureDivision& measures)
{
    const bool drums = t.percussive != 0;
    // A tablature track becomes a tablature staff: its notes at the pitch they sound, each with
    // the string the sheet plays it on, so LilyPond shows the sheet's frets. A track holding a
    // key no guitar string reaches stays a staff of notes, which shows every key.
    bool tablature = staffOf(t).isTablature();
    for (const StaffEvent& e : events)
        for (const int string : e.strings)
            tablature = tablature && string > 0;
    const TimeSignatureInfo& ts = timeSignatureInfo(t.timeSig);
    const int code = ts.code;
    const bool eighths = code == kTimeSig68 || (code >= kTimeSig38 && code <= kTimeSig98);

    out += drums ? "\\new DrumStaff \\drummode {" : tablature ? "\\new TabStaff {" : "\\new Staff {";
    out += kLineEnd;
    out += "\\time " + std::to_string(ts.beatsPerMeasure) + (eighths ? "/8" : "/4") + kLineEnd;
    if (!drums && !tablature) {
        // The G clef staff is written an octave above its sound, as for guitar; the G(2)
        // clef sounds as written. A tablature no string can hold is written as the G clef.
        out += "\\clef ";
        out += staffOf(t).lilypondClef;
        out += kLineEnd;
        out += std::string("\\key ") + keyName(t.keyindex) + (t.scaleKind == 1 ? " \\minor" : " \\major") +
               kLineEnd;
    }
    if (spacer)
        out += "s" + std::string(eighths ? "8*" : "4*") + std::to_string(ts.beatsPerMeasure) + kLineEnd;
    bool lyrics = false;
    int repeated = 0; // the marked measure whose repeat is open
    for (std::size_t i = 0; i < events.size(); ++i) {
        const StaffEvent& e = events[i];
        const int measure = t.measureRepeats.empty() ? 0 : measures.measureOf(e.root);
        if (repeated != 0 && measure != repeated) {
            out += '}';
            out += kLineEnd;
            repeated = 0;
        }
        if (repeated == 0 && measure >= 1 && t.measureRepeats.contains(measure)) {
            out += "\\repeat volta 2 {";
            out += kLineEnd;
            repeated = measure;
        }
        // A chord ties the pitches the next chord repeats: all of them with one mark after the
        // chord, some of them with a mark on each.
        std::vector<bool> held(e.keys.size(), false);
        bool all = e.tie && !e.keys.empty();
        for (std::size_t k = 0; e.tie && k < e.keys.size(); ++k) {
            const auto& next = events[i + 1].keys;
            held[k] = std::find(next.begin(), next.end(), e.keys[k]) != next.end();
            all = all && held[k];
        }
        // A string number follows its pitch in a chord, the duration after a lone note.
        const auto string = [&e, tablature](std::size_t k) {
            return tablature && k < e.strings.size() ? "\\" + std::to_string(e.strings[k]) : std::string();
        };
        if (e.rest) {
            out += "r" + e.duration;
        } else if (e.pitches.size() == 1) {
            out += e.pitches[0] + e.duration + string(0);
        } else {
            out += '<';
            for (std::size_t k = 0; k < e.pitches.size(); ++k) {
                if (k)
                    out += ' ';
                out += e.pitches[k] + string(k);
                if (held[k] && !all)
                    out += '~';
            }
            out += '>' + e.duration;
        }
        if (all)
            out += '~';
        out += kLineEnd;
        lyrics = lyrics || e.lyric;
    }
    if (repeated != 0) {
        out += '}';
        out += kLineEnd;
    }
    out += '}';
    out += kLineEnd;
    if (!lyrics)
        return;
    out += "\\new Lyrics \\lyricmode {";
    out += kLineEnd;
    for (const StaffEvent& e : events) {
        if (e.lyric)
            out += lyricString(*e.lyric) + e.duration;
        else
            out += "\\skip " + e.duration;
        out += kLineEnd;
    }
    out += '}';
    out += kLineEnd;
}

} // namespace

std::string lilypondPitch(int keyIn, char letterIn, bool preferFlats)
{
    static constexpr char kSharpLetters[] = "CCDDEFFGGAAB";
    static constexpr char kFlatLetters[] = "CDDEEFGGAABB";
    const int key = keyIn < 0 ? 0 : (keyIn > 127 ? 127 : keyIn);
    char letter = letterIn;
    int alteration = 100;
    const int base = semitoneOfLetter(letter);
    if (base >= 0) {
        alteration = ((key - base) % 12 + 12) % 12; // 0..11
        if (alteration > 6)
            alteration -= 12;
    }
    if (alteration < -2 || alteration > 2) {
        const int pitchClass = key % 12;
        letter = preferFlats ? kFlatLetters[pitchClass] : kSharpLetters[pitchClass];
        alteration = ((key - semitoneOfLetter(letter)) % 12 + 12) % 12;
        if (alteration > 6)
            alteration -= 12;
    }
    std::string out(1, static_cast<char>(letter - 'A' + 'a'));
    switch (alteration) {
    case -2:
        out += "eses";
        break;
    case -1:
        out += "es";
        break;
    case 1:
        out += "is";
        break;
    case 2:
        out += "isis";
        break;
    default:
        break;
    }
    // c' is key 60; the octave follows the natural the alteration applies to.
    const int marks = floorDiv(key - alteration, 12) - 4;
    if (marks > 0)
        out.append(static_cast<std::size_t>(marks), '\'');
    else if (marks < 0)
        out.append(static_cast<std::size_t>(-marks), ',');
    return out;
}

std::string lilypondText(const SheetDocument& sheet)
{
    SheetLockGuard lock(sheetLock());
    std::string out;
    out += "\\version \"2.24.0\"";
    out += kLineEnd;
    out += "<<";
    out += kLineEnd;
    std::vector<std::vector<StaffEvent>> staves;
    std::vector<MeasureDivision> measures(static_cast<std::size_t>(sheet.trackCount()));
    bool empty = true;
    for (int i = 0; i < sheet.trackCount(); ++i) {
        // Divided here from the notes as they are: the export needs no layout to have run.
        measures[static_cast<std::size_t>(i)].divide(*sheet.trackAt(i));
        staves.push_back(staffEvents(*sheet.trackAt(i), measures[static_cast<std::size_t>(i)]));
        empty = empty && staves.back().empty();
    }
    if (sheet.trackCount() == 0) {
        out += "\\new Staff {";
        out += kLineEnd;
        out += "s1";
        out += kLineEnd;
        out += "}";
        out += kLineEnd;
    }
    for (int i = 0; i < sheet.trackCount(); ++i)
        writeTrack(out, *sheet.trackAt(i), staves[static_cast<std::size_t>(i)], empty,
                   measures[static_cast<std::size_t>(i)]);
    out += ">>";
    out += kLineEnd;
    return out;
}

FileResult exportLilypond(const SheetDocument& sheet, const std::string& /*caption*/, const std::string& path)
{
    return writeFileAtomically(path, lilypondText(sheet));
}

} // namespace tonvela
