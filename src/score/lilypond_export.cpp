#include "score/lilypond_export.h"

#include "theory/chord_formula.h"
#include "theory/chord_symbol.h"

#include "score/drum_notation.h"
#include "score/duration.h"
#include "score/legacy_text.h"
#include "score/note.h"
#include "score/note_pitch.h"
#include "score/play_walk.h"
#include "score/repeat_range.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"
#include "score/staff_kind.h"
#include "score/tie_rule.h"
#include "score/track.h"
#include "score/voices.h"

#include <algorithm>
#include <array>
#include <numeric>
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

// The LilyPond duration of a note: its kind's part of a whole note, and a dot.
std::string durationText(const Note& n)
{
    const NoteKind* kind = noteKindOf(n.type);
    std::string d = std::to_string(kind ? kind->denominator : 4);
    if (n.isDotted())
        d += '.';
    return d;
}

// The drum LilyPond writes for a key: General MIDI's drum, or a snare where it names none.
const DrumNotation& drumOfKey(int key)
{
    const DrumNotation* d = drumNotationOf(key);
    return d ? *d : *drumNotationOf(38);
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
    bool triplet = false; // the root carries the triplet mark: two thirds of its written length
    Ticks written = 0;    // the root's written length, before the triplet mark shortens it
    bool tie = false;
    const std::string* lyric = nullptr;
    const std::string* chordSymbol = nullptr;
    Ticks start = 0;  // where it starts in score time
    Ticks length = 0; // how long it lasts
    int measure = 0;  // the measure of the root (from 1)
    uint8_t voice = kVoice1;
    // A spacer (LilyPond's "s"): the time where the second voice of a staff is silent. It has
    // no root, and `duration` holds its whole length.
    bool spacer = false;
};

// The events of a staff: every note, chord and rest of the written walk (play_walk.h), once, in
// staff order. A tie chain that playback sounds as one is written as its notes joined by ties,
// each at the pitch the chain sounds (the first note's); rests that playback merges need no
// tie. Playback holds only the root through a tie, and the chord members of a merged chord do
// not strike again: LilyPond's chord tie holds every pitch the next chord repeats.
std::vector<StaffEvent> staffEvents(const Track& t, PlayWalk& walk)
{
    const MeasureDivision& measures = walk.measures();
    const KeyAccidentalTable k(t);
    const bool drums = t.percussive != 0;
    const bool tablature = !drums && staffOf(t).isTablature();

    auto pitchOf = [&](const Note& n, int& key) {
        key = soundingKey(n, t, k);
        if (drums)
            return std::string(drumOfKey(key).lilypondName);
        return lilypondPitch(key, letterOfPosition(n.line, t), t.flatKey != 0);
    };
    auto add = [&](StaffEvent& e, const Note& n) {
        int key = 0;
        std::string p = pitchOf(n, key);
        if (std::find(e.pitches.begin(), e.pitches.end(), p) != e.pitches.end())
            return;
        e.pitches.push_back(std::move(p));
        e.keys.push_back(key);
        if (tablature) {
            // A key no string of the guitar reaches is left for LilyPond to place.
            const GuitarPosition at = tabPositionForKey(n, key, t.tuning);
            e.strings.push_back(openStringKey(at.stringIndex, t.tuning) + at.fret == key ? at.stringIndex + 1
                                                                                         : 0);
        }
        if (!e.lyric && n.lyrictext())
            e.lyric = &*n.lyrictext();
    };

    std::vector<StaffEvent> events;
    while (const std::optional<PlayStep> step = walk.next()) {
        const std::size_t first = events.size();
        const uint8_t voice = voiceOf(t, step->index);
        forEachTiedNote(t, *step, [&](int u, Ticks at) {
            const Note& root = t.noteAt(u);
            StaffEvent e;
            e.root = u;
            e.start = at;
            e.length = lengthTicks(root);
            e.measure = measures.measureOf(u);
            e.voice = voice;
            e.duration = durationText(root);
            e.triplet = isTriplet(root.type, root.dwFlag);
            e.written = lengthTicks(root.type, root.dwFlag & ~kFlagTriplet);
            e.rest = root.isRest();
            // A chord is named at the note that carries it, also a note a tie holds on; a link
            // without one names none.
            if (!e.rest && root.chordSymbol())
                e.chordSymbol = &*root.chordSymbol();
            if (!e.rest) {
                add(e, root);
                for (int m = 0; m < root.childCount && m < kMaxChordMembers; ++m) {
                    const int c = root.children[m];
                    if (c < 0 || c >= t.count || c == u)
                        continue;
                    const Note& member = t.noteAt(c);
                    if (!member.isRest() && lengthTicks(member) > 0)
                        add(e, member);
                }
            }
            events.push_back(std::move(e));
        });
        if (step->kind != PlayKind::Sound)
            continue;
        // Every note of the chain but the last is tied on, and sounds the first one's key.
        for (std::size_t i = first; i + 1 < events.size(); ++i) {
            StaffEvent& e = events[i];
            StaffEvent& f = events[i + 1];
            e.tie = true;
            if (f.keys.front() != e.keys.front()) {
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
    return events;
}

// The duration of an event where no \tuplet encloses it (chord names, lyrics): a triplet's
// written duration scaled to two thirds.
std::string scaledDuration(const StaffEvent& e)
{
    return e.triplet ? e.duration + "*2/3" : e.duration;
}

// A spacer's duration: a plain or dotted kind where one fits, else a whole note scaled.
std::string spacerDuration(Ticks ticks)
{
    for (const NoteKind& k : kNoteKinds) {
        if (k.ticks == ticks)
            return std::to_string(k.denominator);
        if (k.ticks + k.ticks / 2 == ticks)
            return std::to_string(k.denominator) + ".";
    }
    const Ticks g = std::gcd(ticks, kWholeTicks);
    return "1*" + std::to_string(ticks / g) + "/" + std::to_string(kWholeTicks / g);
}

// The events of a staff as its voices: one lane for a staff of one voice (the events as they
// are), else voice 1 and voice 2, each in its own time. Voice 2 gets spacers where it is silent,
// up to the end of voice 1 and cut at every measure start of voice 1, so each of its measures
// lines up with voice 1's bar lines and a measure marked to repeat repeats in both voices.
std::vector<std::vector<StaffEvent>> voiceLanes(std::vector<StaffEvent> events, bool twoVoices)
{
    std::vector<std::vector<StaffEvent>> lanes(1);
    if (!twoVoices) {
        lanes[0] = std::move(events);
        return lanes;
    }
    std::vector<StaffEvent> second;
    for (StaffEvent& e : events)
        (e.voice == kVoice2 ? second : lanes[0]).push_back(std::move(e));
    // Where each measure of voice 1 starts.
    std::vector<std::pair<Ticks, int>> starts;
    Ticks end = 0;
    for (const StaffEvent& e : lanes[0]) {
        if (starts.empty() || starts.back().second != e.measure)
            starts.emplace_back(e.start, e.measure);
        end = std::max(end, e.start + e.length);
    }
    std::vector<StaffEvent>& lane = lanes.emplace_back();
    Ticks at = 0;
    const auto fill = [&](Ticks until) {
        while (at < until) {
            // The measure `at` lies in, and where the next one starts.
            auto next = std::upper_bound(starts.begin(), starts.end(), at,
                                         [](Ticks t, const std::pair<Ticks, int>& s) { return t < s.first; });
            const int measure = next == starts.begin() ? (starts.empty() ? 0 : starts.front().second)
                                                       : std::prev(next)->second;
            const Ticks piece = std::min(until, next == starts.end() ? until : next->first) - at;
            StaffEvent gap;
            gap.spacer = true;
            gap.start = at;
            gap.length = piece;
            gap.duration = spacerDuration(piece);
            gap.measure = measure;
            gap.voice = kVoice2;
            lane.push_back(std::move(gap));
            at += piece;
        }
    };
    for (StaffEvent& e : second) {
        // A voice 2 that overfills its measure (a hand-edited file, a voice 2 note made longer)
        // still sounds each measure's notes from the measure's start. Written one after the other
        // they would drift behind voice 1 for the rest of the staff, so the note still sounding
        // is written up to where this one starts, or, starting with it, joins its chord.
        if (e.start < at && !lane.empty() && !lane.back().spacer) {
            StaffEvent& held = lane.back();
            if (held.start < e.start) {
                held.length = e.start - held.start;
                held.duration = spacerDuration(held.length);
                held.triplet = false;
                held.written = held.length;
            } else {
                if (!held.rest) {
                    if (e.rest) {
                        e.rest = false;
                        e.pitches.clear();
                        e.keys.clear();
                        e.strings.clear();
                    }
                    for (std::size_t k = 0; k < held.keys.size(); ++k) {
                        if (std::find(e.keys.begin(), e.keys.end(), held.keys[k]) != e.keys.end())
                            continue;
                        e.keys.push_back(held.keys[k]);
                        e.pitches.push_back(held.pitches[k]);
                        if (k < held.strings.size())
                            e.strings.push_back(held.strings[k]);
                    }
                    if (!e.lyric)
                        e.lyric = held.lyric;
                    if (!e.chordSymbol)
                        e.chordSymbol = held.chordSymbol;
                }
                lane.pop_back();
            }
            at = e.start;
        }
        fill(e.start);
        at = std::max(at, e.start + e.length);
        lane.push_back(std::move(e));
    }
    fill(end);
    return lanes;
}

// Where the triplet groups of a staff open and close: a group opens at a triplet event and
// closes once its written lengths add up to three times the first one's (three triplet
// eighths, a triplet quarter and eighth), before an event that is no triplet, and at the end
// of a measure or of a repeated measure, so a \tuplet never spans a bar line.
struct TupletMarks {
    std::vector<bool> opens;
    std::vector<bool> closes;
};
TupletMarks tupletMarks(const std::vector<StaffEvent>& events)
{
    TupletMarks marks{std::vector<bool>(events.size(), false), std::vector<bool>(events.size(), false)};
    Ticks left = 0; // written length the open group still needs
    for (std::size_t i = 0; i < events.size(); ++i) {
        const StaffEvent& e = events[i];
        if (!e.triplet)
            continue;
        if (left <= 0) {
            marks.opens[i] = true;
            left = 3 * e.written;
        }
        left -= e.written;
        const bool lastOfMeasure = i + 1 == events.size() || events[i + 1].measure != e.measure;
        if (left <= 0 || lastOfMeasure || !events[i + 1].triplet) {
            marks.closes[i] = true;
            left = 0;
        }
    }
    return marks;
}

// LilyPond's chord-mode name of a symbol with a duration: root, duration, the modifiers of its
// quality and the bass ("bes4:m7.5-/e").
std::string chordModeName(const ChordSymbol& symbol, const std::string& duration)
{
    // By row of the chord formula table.
    static constexpr const char* kModifiers[kChordQualityCount] = {
        "",       ":6",     ":6.9",   ":maj7", ":maj9", ":7",    ":7.9+", ":7.5+",
        ":7sus4", ":9",     ":9sus4", ":11",   ":13",   ":aug",  ":m",    ":m6",
        ":m7",    ":m7.5-", ":dim",   ":dim7", ":sus4", ":sus2", ":5.9",
    };
    auto name = [](const SpelledPitch& p) {
        std::string n(1, static_cast<char>(p.step - 'A' + 'a'));
        if (p.alter > 0)
            n += "is";
        else if (p.alter < 0)
            n += (p.step == 'E' || p.step == 'A') ? "s" : "es";
        return n;
    };
    std::string out = name(symbol.root) + duration;
    if (symbol.quality >= 0 && symbol.quality < kChordQualityCount)
        out += kModifiers[symbol.quality];
    if (symbol.bass)
        out += "/" + name(*symbol.bass);
    return out;
}

// The chord symbols of a staff in a ChordNames context over it, each for the length of its
// note and skips between; nothing when the staff carries no symbol.
void writeChordNames(std::string& out, const std::vector<StaffEvent>& events)
{
    if (std::none_of(events.begin(), events.end(), [](const StaffEvent& e) { return e.chordSymbol; }))
        return;
    out += "\\new ChordNames \\chordmode {";
    out += kLineEnd;
    for (const StaffEvent& e : events) {
        const auto symbol = e.chordSymbol ? parseChordSymbol(*e.chordSymbol) : std::nullopt;
        out += symbol ? chordModeName(*symbol, scaledDuration(e)) : "s" + scaledDuration(e);
        out += kLineEnd;
    }
    out += '}';
    out += kLineEnd;
}

// The symbol a diagram is drawn for: the chord without its bass, whose shape the diagram is.
std::optional<ChordSymbol> diagramChord(const StaffEvent& e, LilypondFretDiagrams diagrams)
{
    if (!e.chordSymbol)
        return std::nullopt;
    auto symbol = parseChordSymbol(*e.chordSymbol);
    if (!symbol || !diagrams(*symbol))
        return std::nullopt;
    symbol->bass.reset();
    return symbol;
}

// The diagrams of the staff's symbols in a FretBoards context; skips where the library has no
// shape, so those symbols show their name alone.
void writeFretBoards(std::string& out, const std::vector<StaffEvent>& events, LilypondFretDiagrams diagrams)
{
    if (std::none_of(events.begin(), events.end(),
                     [&](const StaffEvent& e) { return diagramChord(e, diagrams); }))
        return;
    out += "\\new FretBoards \\chordmode {";
    out += kLineEnd;
    for (const StaffEvent& e : events) {
        const auto symbol = diagramChord(e, diagrams);
        out += symbol ? chordModeName(*symbol, scaledDuration(e)) : "s" + scaledDuration(e);
        out += kLineEnd;
    }
    out += '}';
    out += kLineEnd;
}

// The repeated passages a staff notates: those whose B lies within the track's measures, as
// the play walk repeats only those.
std::vector<RepeatRange> notatedRanges(const Track& t, const MeasureDivision& measures)
{
    std::vector<RepeatRange> ranges;
    for (const RepeatRange& r : t.repeatRanges)
        if (r.last <= measures.measureCount())
            ranges.push_back(r);
    return ranges;
}

// Where a measure stands in the staff's repeated passages: the passage and its part, in the
// order a lane passes them.
enum class PassagePart { Body, FirstEnding, SecondEnding, Done };
struct PassageSpot {
    int range = -1; // none
    PassagePart part = PassagePart::Done;
};
PassageSpot passageSpot(const std::vector<RepeatRange>& ranges, int measure)
{
    const int k = rangeHolding(ranges, measure);
    if (k < 0)
        return {};
    const RepeatRange& r = ranges[static_cast<std::size_t>(k)];
    if (measure <= r.last - r.firstEnding)
        return {k, PassagePart::Body};
    return {k, measure <= r.last ? PassagePart::FirstEnding : PassagePart::SecondEnding};
}

// Writes the braces that take a lane from `at` to `to`: a passage is \repeat volta 2 { A..B },
// and one with an ending \alternative { { first ending } { second ending } } after it (an
// ending the passage lacks stays empty, so LilyPond unfolds the passage as playback does).
void movePassage(std::string& out, const std::vector<RepeatRange>& ranges, PassageSpot& at, PassageSpot to)
{
    const auto line = [&out](const char* text) {
        out += text;
        out += kLineEnd;
    };
    if (at.range >= 0 && at.range != to.range) {
        const RepeatRange& r = ranges[static_cast<std::size_t>(at.range)];
        if (r.firstEnding == 0 && r.secondEnding == 0) {
            line("}");
        } else {
            if (at.part == PassagePart::Body)
                line("} \\alternative { {");
            if (at.part <= PassagePart::FirstEnding)
                line("} {");
            line("} }");
        }
        at = {};
    }
    if (to.range < 0)
        return;
    if (at.range < 0) {
        line("\\repeat volta 2 {");
        at = {to.range, PassagePart::Body};
    }
    if (at.part == PassagePart::Body && to.part != PassagePart::Body) {
        line("} \\alternative { {");
        at.part = PassagePart::FirstEnding;
    }
    if (at.part == PassagePart::FirstEnding && to.part == PassagePart::SecondEnding) {
        line("} {");
        at.part = PassagePart::SecondEnding;
    }
}

// The notes, chords and rests of one voice of a staff, one per line; returns whether one of
// them carries a lyric. `ranges`: the staff's notated passages (notatedRanges).
bool writeLane(std::string& out, const Track& t, const std::vector<StaffEvent>& events, bool tablature,
               const std::vector<RepeatRange>& ranges)
{
    bool lyrics = false;
    const TupletMarks tuplets = tupletMarks(events);
    int repeated = 0; // the marked measure whose repeat is open
    PassageSpot passage;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const StaffEvent& e = events[i];
        const int measure = t.measureRepeats.empty() ? 0 : e.measure;
        if (repeated != 0 && measure != repeated) {
            out += '}';
            out += kLineEnd;
            repeated = 0;
        }
        // A marked measure inside a passage repeats inside it.
        if (!ranges.empty())
            movePassage(out, ranges, passage, passageSpot(ranges, e.measure));
        if (repeated == 0 && measure >= 1 && t.measureRepeats.contains(measure)) {
            out += "\\repeat volta 2 {";
            out += kLineEnd;
            repeated = measure;
        }
        if (tuplets.opens[i])
            out += "\\tuplet 3/2 { ";
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
        if (e.spacer) {
            out += "s" + e.duration;
        } else if (e.rest) {
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
        if (tuplets.closes[i])
            out += " }";
        out += kLineEnd;
        lyrics = lyrics || e.lyric;
    }
    if (repeated != 0) {
        out += '}';
        out += kLineEnd;
    }
    movePassage(out, ranges, passage, {});
    return lyrics;
}

// The lyrics of one voice under its staff, each for the length of its note.
void writeLyrics(std::string& out, const std::vector<StaffEvent>& events)
{
    out += "\\new Lyrics \\lyricmode {";
    out += kLineEnd;
    for (const StaffEvent& e : events) {
        if (e.lyric)
            out += lyricString(*e.lyric) + scaledDuration(e);
        else
            out += "\\skip " + scaledDuration(e);
        out += kLineEnd;
    }
    out += '}';
    out += kLineEnd;
}

// The drums of a staff placed and headed as the sheet draws them: LilyPond's drum style table
// counts half spaces up from the middle line (step 1), and "()" is its plain head.
std::string drumStyleTable(const std::vector<std::vector<StaffEvent>>& lanes)
{
    std::vector<const DrumNotation*> used;
    for (const auto& events : lanes)
        for (const StaffEvent& e : events)
            for (const int key : e.keys)
                if (const DrumNotation* d = &drumOfKey(key);
                    std::find(used.begin(), used.end(), d) == used.end())
                    used.push_back(d);
    std::string table;
    for (const DrumNotation* d : used) {
        table += table.empty() ? "(" : " (";
        table += std::string(d->lilypondName) + (d->head == DrumHead::Cross ? " cross" : " ()") + " #f " +
                 std::to_string(1 - d->step) + ")";
    }
    return table;
}

// `spacer`: the whole sheet holds no notes; LilyPond skips a score without duration, so the
// staff gets one empty measure. The events of a measure marked to repeat are written inside
// \repeat volta 2 { }, as are the repeated passages `ranges` (notatedRanges).
void writeTrack(std::string& out, const Track& t, const std::vector<std::vector<StaffEvent>>& lanes,
                const std::vector<RepeatRange>& ranges, bool spacer)
{
    const bool drums = t.percussive != 0;
    // A tablature track becomes a tablature staff: its notes at the pitch they sound, each with
    // the string the sheet plays it on, so LilyPond shows the sheet's frets. A track holding a
    // key no guitar string reaches stays a staff of notes, which shows every key.
    bool tablature = staffOf(t).isTablature();
    for (const auto& events : lanes)
        for (const StaffEvent& e : events)
            for (const int string : e.strings)
                tablature = tablature && string > 0;
    // LilyPond draws 4/4 as common time and 2/2 as cut time unless told otherwise.
    const TimeSignatureInfo& ts = timeSignatureInfo(t.timeSig);

    if (drums)
        out += "\\new DrumStaff \\with { drumStyleTable = #(alist->hash-table '(" + drumStyleTable(lanes) +
               ")) } \\drummode {";
    else
        out += tablature ? "\\new TabStaff {" : "\\new Staff {";
    out += kLineEnd;
    if (tablature && !t.tuning.isStandard()) {
        // The strings as the player tunes them, raised by the capo: LilyPond counts its frets
        // from the open strings it is given, so they read from the capo as the sheet's do.
        out += "\\set TabStaff.stringTunings = \\stringTuning <";
        for (int s = kGuitarStrings - 1; s >= 0; --s)
            out += (s == kGuitarStrings - 1 ? "" : " ") + lilypondPitch(t.tuning.openKey(s), ' ', false);
        out += ">";
        out += kLineEnd;
    }
    out += "\\time " + std::to_string(ts.beatsPerMeasure) + "/" + std::to_string(ts.beatUnit) + kLineEnd;
    if (!drums && !tablature) {
        // The G clef staff is written an octave above its sound, as for guitar; the G(2)
        // clef sounds as written. A tablature no string can hold is written as the G clef.
        out += "\\clef ";
        out += staffOf(t).lilypondClef;
        out += kLineEnd;
        out += std::string("\\key ") + keyName(t.keyindex) + (t.scaleKind == 1 ? " \\minor" : " \\major") +
               kLineEnd;
    }
    // A pickup: the whole note times its share, as a fraction in lowest terms.
    if (const Ticks pickup = validPickup(t.pickupTicks, t.timeSig); pickup > 0 && !spacer) {
        const Ticks g = std::gcd(pickup, kWholeTicks);
        out += "\\partial 1*" + std::to_string(pickup / g) + "/" + std::to_string(kWholeTicks / g) + kLineEnd;
    }
    if (spacer)
        out += "s" + std::to_string(ts.beatUnit) + "*" + std::to_string(ts.beatsPerMeasure) + kLineEnd;
    if (lanes.size() == 1) {
        const bool lyrics = writeLane(out, t, lanes[0], tablature, ranges);
        out += '}';
        out += kLineEnd;
        if (lyrics)
            writeLyrics(out, lanes[0]);
        return;
    }
    // Two voices: each in its own rhythm, voice 1 with its stems up, voice 2 with them down.
    std::vector<bool> lyrics;
    for (std::size_t v = 0; v < lanes.size(); ++v) {
        out += v == 0 ? "<< {" : "} \\\\ {";
        out += kLineEnd;
        lyrics.push_back(writeLane(out, t, lanes[v], tablature, ranges));
    }
    out += "} >>";
    out += kLineEnd;
    out += '}';
    out += kLineEnd;
    for (std::size_t v = 0; v < lanes.size(); ++v)
        if (lyrics[v])
            writeLyrics(out, lanes[v]);
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

// The sheet's title, subtitle, composer, lyricist and copyright as LilyPond's header, which
// prints them where engravers put them; only the set ones, and none at all for a sheet
// without texts, so its export stays as it was.
void writeHeader(std::string& out, const SheetTexts& texts)
{
    constexpr std::pair<const char*, std::string SheetTexts::*> kFields[] = {
        {"title", &SheetTexts::title},         {"subtitle", &SheetTexts::subtitle},
        {"composer", &SheetTexts::composer},   {"poet", &SheetTexts::lyricist},
        {"copyright", &SheetTexts::copyright},
    };
    if (texts == SheetTexts{})
        return;
    out += "\\header {";
    out += kLineEnd;
    for (const auto& [name, field] : kFields) {
        const std::string& text = texts.*field;
        if (text.empty())
            continue;
        out += "  ";
        out += name;
        out += " = ";
        out += lyricString(text); // a line break becomes a blank on LilyPond's one-line fields
        out += kLineEnd;
    }
    out += "}";
    out += kLineEnd;
}

std::string lilypondText(const SheetDocument& sheet, LilypondFretDiagrams diagrams)
{
    std::string out;
    out += "\\version \"2.24.0\"";
    out += kLineEnd;
    writeHeader(out, sheet.texts);
    // Each staff as its voices (one lane, or two for a staff with a second voice).
    std::vector<std::vector<std::vector<StaffEvent>>> staves;
    std::vector<std::vector<RepeatRange>> ranges;
    bool empty = true;
    for (int i = 0; i < sheet.trackCount(); ++i) {
        const Track& t = *sheet.trackAt(i);
        PlayWalk walk(t, WalkOrder::Written);
        ranges.push_back(notatedRanges(t, walk.measures()));
        std::vector<StaffEvent> events = staffEvents(t, walk);
        empty = empty && events.empty();
        staves.push_back(voiceLanes(std::move(events), walk.measures().hasSecondVoice()));
    }
    // The sheet's own shape of each chord a diagram shows, as LilyPond's diagram of that chord.
    const bool frets = sheet.chordDiagrams && diagrams;
    std::vector<std::string> stored;
    for (const auto& lanes : staves)
        for (const auto& events : lanes)
            for (const StaffEvent& e : events) {
                const auto symbol = frets ? diagramChord(e, diagrams) : std::nullopt;
                if (!symbol)
                    continue;
                const std::string chord = chordModeName(*symbol, "");
                if (std::find(stored.begin(), stored.end(), chord) != stored.end())
                    continue;
                stored.push_back(chord);
                out += "\\storePredefinedDiagram #default-fret-table \\chordmode { " + chord +
                       " } #guitar-tuning #\"" + *diagrams(*symbol) + "\"";
                out += kLineEnd;
            }
    out += "<<";
    out += kLineEnd;
    if (sheet.trackCount() == 0) {
        out += "\\new Staff {";
        out += kLineEnd;
        out += "s1";
        out += kLineEnd;
        out += "}";
        out += kLineEnd;
    }
    for (int i = 0; i < sheet.trackCount(); ++i) {
        // Chord names (and the guitar diagrams, when the sheet shows them) stand over their
        // staff, those of each voice in a line of their own.
        const auto& lanes = staves[static_cast<std::size_t>(i)];
        for (const auto& events : lanes) {
            writeChordNames(out, events);
            if (frets)
                writeFretBoards(out, events, diagrams);
        }
        writeTrack(out, *sheet.trackAt(i), lanes, ranges[static_cast<std::size_t>(i)], empty);
    }
    out += ">>";
    out += kLineEnd;
    return out;
}

FileResult exportLilypond(const SheetDocument& sheet, const std::string& /*caption*/, const std::string& path,
                          LilypondFretDiagrams diagrams)
{
    return writeFileAtomically(path, lilypondText(sheet, diagrams));
}

} // namespace tonvela
