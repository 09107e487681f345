#include "interchange/musicxml_export.h"

#include "harmony/guitar_library.h"
#include "interchange/musicxml_export_timeline.h"
#include "interchange/musicxml_harmony.h"
#include "interchange/mxl_container_write.h"
#include "platform/sheet_lock.h"
#include "score/drum_notation.h"
#include "score/export_formats.h"
#include "score/legacy_text.h"
#include "score/note_pitch.h"
#include "score/repeat_range.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"
#include "score/staff_kind.h"
#include "score/time_signature.h"
#include "score/track.h"
#include "theory/chord_symbol.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace tonvela {

using musicxml::Head;
using musicxml::kTicksPerQuarter;
using musicxml::Sound;
using musicxml::TrackTimeline;

namespace {

// The step and alteration of a key, sharps for black keys: how an open string is named.
constexpr std::array<const char*, 12> kKeySteps = {"C", "C", "D", "D", "E", "F",
                                                   "F", "G", "G", "A", "A", "B"};
constexpr std::array<int, 12> kKeyAlters = {0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0};

int floorDiv(int a, int b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

int mod7(int p)
{
    return ((p % 7) + 7) % 7;
}

// The natural that position p of the staff reads.
int writtenNaturalOf(const Track& t, int line)
{
    return naturalKeyOfPosition(line + staffOf(t).readingShift);
}

char letterOf(const Track& t, int line)
{
    static constexpr char kLetters[] = "CBAGFED";
    return kLetters[mod7(line + staffOf(t).readingShift)];
}

int fifthsOf(const Track& t)
{
    const int major = 7 - std::clamp(t.keyindex, 0, 14);
    return std::clamp(t.scaleKind == 1 ? major - 3 : major, -7, 7);
}

// The alteration the key signature gives a letter.
int keySignatureAlter(char letter, int fifths)
{
    static constexpr char kSharps[] = "FCGDAEB";
    static constexpr char kFlats[] = "BEADGCF";
    for (int k = 0; k < fifths; ++k)
        if (kSharps[k] == letter)
            return 1;
    for (int k = 0; k < -fifths; ++k)
        if (kFlats[k] == letter)
            return -1;
    return 0;
}

struct Spelling {
    char step = 'C';
    int alter = 0;
    int octave = 4;
};

// A written key spelled with the letter of its staff position, or, when the stored key lies too
// far from that letter (files whose keys kept an older clef's offset), with sharps or flats.
Spelling spell(const Track& t, int line, int written)
{
    Spelling s;
    const int natural = writtenNaturalOf(t, line);
    int alter = written - natural;
    char step = letterOf(t, line);
    int base = natural;
    if (alter < -2 || alter > 2) {
        static constexpr char kSharpSteps[] = "CCDDEFFGGAAB";
        static constexpr char kFlatSteps[] = "CDDEEFGGAABB";
        static constexpr int kStepKey[] = {9, 11, 0, 2, 4, 5, 7}; // A..G above C
        const int pc = ((written % 12) + 12) % 12;
        step = t.flatKey ? kFlatSteps[pc] : kSharpSteps[pc];
        const int stepPc = kStepKey[step - 'A'];
        alter = pc - stepPc;
        if (alter > 6)
            alter -= 12;
        if (alter < -6)
            alter += 12;
        base = written - alter;
    }
    s.step = step;
    s.alter = alter;
    s.octave = floorDiv(base, 12) - 1;
    return s;
}

const char* accidentalText(int alter)
{
    switch (alter) {
    case -2:
        return "flat-flat";
    case -1:
        return "flat";
    case 1:
        return "sharp";
    case 2:
        return "double-sharp";
    default:
        return "natural";
    }
}

void addText(pugi::xml_node parent, const char* name, const std::string& text)
{
    parent.append_child(name).text().set(text.c_str());
}

void addInt(pugi::xml_node parent, const char* name, long long value)
{
    parent.append_child(name).text().set(value);
}

// One part as the writer goes through it.
struct PartPlan {
    const Track* track = nullptr;
    TrackTimeline timeline;
    std::string id;
    int64_t measureTicks = 384;
    // A pickup's length: the first written measure is this long (implicit, numbered 0), the
    // others measureTicks. 0 for none.
    int64_t pickup = 0;
    // Where written measure m (from 1) starts.
    int64_t measureStart(int64_t m) const
    {
        if (pickup == 0)
            return (m - 1) * measureTicks;
        return m <= 1 ? 0 : pickup + (m - 2) * measureTicks;
    }
    // The written measure (from 1) that starts at `tick`; 0 when no measure starts there.
    int64_t measureStartingAt(int64_t tick) const
    {
        const int64_t rest = tick - pickup;
        if (tick == 0)
            return 1;
        if (rest < 0 || rest % measureTicks != 0)
            return 0;
        return rest / measureTicks + (pickup > 0 ? 2 : 1);
    }
    // Written measures needed to hold `end` ticks.
    int64_t measuresFor(int64_t end) const
    {
        if (pickup == 0)
            return (end + measureTicks - 1) / measureTicks;
        return 1 + (std::max<int64_t>(end - pickup, 0) + measureTicks - 1) / measureTicks;
    }
    std::set<int> drumKeys;     // percussion: the keys played, one instrument each
    std::set<int64_t> barLines; // measure numbers (from 1) whose right bar line a Bar note draws
    std::set<int64_t> midBars;  // ticks of the Bar notes that stand inside a measure
    // Notes (indices in the track) below the lowest octave MusicXML writes, written in it.
    mutable std::set<int> belowOctaveZero;
    bool frames = false; // chord symbols carry their guitar diagram (the sheet shows them)
};

// The guitar diagram the chord library has for a symbol, as a <frame> draws it.
std::optional<musicxml::FrameShape> frameOf(const ChordSymbol& symbol)
{
    const GuitarChordEntry* shape = guitarShapeForChordSymbol(symbol);
    if (!shape)
        return std::nullopt;
    return musicxml::FrameShape{shape->fingering, shape->startFret};
}

std::string instrumentId(const PartPlan& p, int key)
{
    return p.id + "-I" + std::to_string(p.track->percussive ? key + 1 : 1);
}

int programOf(const Track& t)
{
    for (int i = 0; i < t.count; ++i) {
        const Note& n = t.noteAt(i);
        if (isDurationType(n.type) && !n.isRest())
            return std::clamp(n.iid, 0, 127);
    }
    return std::clamp(t.iid, 0, 127);
}

void writePartList(pugi::xml_node score, const std::vector<PartPlan>& parts)
{
    pugi::xml_node list = score.append_child("part-list");
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const PartPlan& p = parts[k];
        const Track& t = *p.track;
        const std::string name =
            t.name.empty() ? "Track " + std::to_string(k + 1) : utf8FromSheetText(t.name);
        pugi::xml_node sp = list.append_child("score-part");
        sp.append_attribute("id").set_value(p.id.c_str());
        addText(sp, "part-name", name);
        const int channel = midiChannelOf(t) + 1;
        if (t.percussive) {
            std::set<int> keys = p.drumKeys;
            if (keys.empty())
                keys.insert(38); // a drum staff without notes still names an instrument
            for (int key : keys) {
                pugi::xml_node si = sp.append_child("score-instrument");
                si.append_attribute("id").set_value(instrumentId(p, key).c_str());
                addText(si, "instrument-name", name + " " + std::to_string(key));
            }
            for (int key : keys) {
                pugi::xml_node mi = sp.append_child("midi-instrument");
                mi.append_attribute("id").set_value(instrumentId(p, key).c_str());
                addInt(mi, "midi-channel", channel);
                addInt(mi, "midi-program", 1);
                addInt(mi, "midi-unpitched", key + 1);
            }
            continue;
        }
        pugi::xml_node si = sp.append_child("score-instrument");
        si.append_attribute("id").set_value(instrumentId(p, 0).c_str());
        addText(si, "instrument-name", name);
        pugi::xml_node mi = sp.append_child("midi-instrument");
        mi.append_attribute("id").set_value(instrumentId(p, 0).c_str());
        addInt(mi, "midi-channel", channel);
        addInt(mi, "midi-program", programOf(t) + 1);
    }
}

void writeAttributes(pugi::xml_node measure, const Track& t)
{
    pugi::xml_node a = measure.append_child("attributes");
    addInt(a, "divisions", kTicksPerQuarter);
    if (!t.percussive) {
        pugi::xml_node key = a.append_child("key");
        addInt(key, "fifths", fifthsOf(t));
        addText(key, "mode", t.scaleKind == 1 ? "minor" : "major");
    }
    const TimeSignatureInfo& ts = timeSignatureInfo(t.timeSig);
    pugi::xml_node time = a.append_child("time");
    if (ts.symbol != MeterSymbol::Numbers)
        time.append_attribute("symbol").set_value(ts.symbol == MeterSymbol::Common ? "common" : "cut");
    addInt(time, "beats", ts.beatsPerMeasure);
    addInt(time, "beat-type", ts.beatUnit);
    // The G clef staff draws its notes an octave above their sound, under a clef with an 8:
    // MusicXML's treble clef an octave down reads the staff the same way, so its written
    // pitches are the sounding ones.
    const StaffKindInfo& staff = staffOf(t);
    pugi::xml_node clef = a.append_child("clef");
    addText(clef, "sign", std::string(staff.musicXml.sign));
    if (staff.musicXml.line != 0)
        addInt(clef, "line", staff.musicXml.line);
    if (staff.musicXml.octaveChange != 0)
        addInt(clef, "clef-octave-change", staff.musicXml.octaveChange);
    if (staff.isTablature()) {
        pugi::xml_node sd = a.append_child("staff-details");
        const int strings = kGuitarStrings;
        addInt(sd, "staff-lines", strings);
        for (int line = 1; line <= strings; ++line) {
            // Line 1 is the lowest string; the tuning without the capo, which follows.
            const int key = t.tuning.strings[static_cast<std::size_t>(strings - line)];
            const std::size_t pitchClass = static_cast<std::size_t>(key % 12);
            pugi::xml_node tuning = sd.append_child("staff-tuning");
            tuning.append_attribute("line").set_value(line);
            addText(tuning, "tuning-step", kKeySteps[pitchClass]);
            if (kKeyAlters[pitchClass] != 0)
                addInt(tuning, "tuning-alter", kKeyAlters[pitchClass]);
            addInt(tuning, "tuning-octave", key / 12 - 1);
        }
        if (t.tuning.capo > 0)
            addInt(sd, "capo", t.tuning.capo);
    }
}

void writeTempo(pugi::xml_node measure, int tempo)
{
    pugi::xml_node d = measure.append_child("direction");
    d.append_attribute("placement").set_value("above");
    pugi::xml_node m = d.append_child("direction-type").append_child("metronome");
    addText(m, "beat-unit", "quarter");
    addInt(m, "per-minute", tempo);
    d.append_child("sound").append_attribute("tempo").set_value(tempo);
}

// A bar line; `style` may be left out for one that only carries an ending. The schema orders
// bar-style, ending, repeat.
void writeBarline(pugi::xml_node measure, const char* location, const char* style, const char* repeat,
                  const char* ending = nullptr, const char* endingType = nullptr)
{
    pugi::xml_node b = measure.append_child("barline");
    b.append_attribute("location").set_value(location);
    if (style)
        addText(b, "bar-style", style);
    if (ending) {
        pugi::xml_node e = b.append_child("ending");
        e.append_attribute("number").set_value(ending);
        e.append_attribute("type").set_value(endingType);
        e.text().set((std::string(ending) + ".").c_str());
    }
    if (repeat)
        b.append_child("repeat").append_attribute("direction").set_value(repeat);
}

// A triplet value's <time-modification>: three in the time of two. It follows the dots.
void writeTimeModification(pugi::xml_node n, const musicxml::NoteValue& v)
{
    if (!v.triplet)
        return;
    pugi::xml_node tm = n.append_child("time-modification");
    addInt(tm, "actual-notes", 3);
    addInt(tm, "normal-notes", 2);
}

// The start or stop of a triplet group's bracket, in the note's <notations>.
void writeTupletMarks(pugi::xml_node notations, const musicxml::NoteValue& v)
{
    for (const auto& [on, type] : {std::pair{v.tupletStart, "start"}, std::pair{v.tupletStop, "stop"}}) {
        if (!on)
            continue;
        pugi::xml_node t = notations.append_child("tuplet");
        t.append_attribute("type").set_value(type);
        t.append_attribute("number").set_value(1);
    }
}

void writeRestValue(pugi::xml_node measure, const musicxml::NoteValue& v, int voice, bool wholeMeasure)
{
    pugi::xml_node n = measure.append_child("note");
    pugi::xml_node r = n.append_child("rest");
    if (wholeMeasure)
        r.append_attribute("measure").set_value("yes");
    addInt(n, "duration", v.ticks);
    addInt(n, "voice", voice);
    if (!wholeMeasure) {
        addText(n, "type", v.type);
        if (v.dotted)
            n.append_child("dot");
        writeTimeModification(n, v);
        if (v.tupletStart || v.tupletStop)
            writeTupletMarks(n.append_child("notations"), v);
    }
}

void writeRest(pugi::xml_node measure, int64_t ticks, int voice)
{
    for (const musicxml::NoteValue& v : musicxml::splitIntoNoteValues(ticks))
        writeRestValue(measure, v, voice, false);
}

// One note value of a chord: every head as a note, the first one plain, the rest with <chord/>.
struct ValueTies {
    bool from = false; // the whole chord is held on from the value before (a split)
    bool to = false;   // ... into the value after
    bool first = false;
    bool last = false;
};

void writeChordValue(pugi::xml_node measure, const PartPlan& p, const Sound& sound,
                     const musicxml::NoteValue& v, int voice, const ValueTies& ties)
{
    const Track& t = *p.track;
    const int fifths = fifthsOf(t);
    if (ties.first && sound.chordSymbol)
        if (const auto symbol = parseChordSymbol(*sound.chordSymbol))
            musicxml::writeHarmony(measure, *symbol, p.frames ? frameOf(*symbol) : std::nullopt);
    for (std::size_t h = 0; h < sound.heads.size(); ++h) {
        const Head& head = sound.heads[h];
        const Note& src = t.noteAt(head.noteIndex);
        const bool tieStop = ties.from || (ties.first && head.tieFromPrevious);
        const bool tieStart = ties.to || (ties.last && head.tieToNext);
        pugi::xml_node n = measure.append_child("note");
        if (h > 0)
            n.append_child("chord");
        Spelling sp;
        if (t.percussive) {
            // Each drum where the drum staff draws it, in the treble clef's places.
            const DrumNotation* drum = drumNotationOf(head.key);
            const DrumDisplay shown = drumDisplayOfStep(drum ? drum->step : src.line);
            sp = {shown.step, 0, shown.octave};
            pugi::xml_node u = n.append_child("unpitched");
            addText(u, "display-step", std::string(1, sp.step));
            addInt(u, "display-octave", sp.octave);
        } else {
            sp = spell(t, src.line, head.key);
            if (head.key < kLowestWrittenKey) {
                // MusicXML's octaves begin at 0 (C0 is key 12): a lower key is written as C in
                // octave 0, flattened as far as notation goes, and named in a warning.
                sp = {'C', std::max(head.key - kLowestWrittenKey, -2), 0};
                p.belowOctaveZero.insert(head.noteIndex);
            }
            pugi::xml_node pitch = n.append_child("pitch");
            addText(pitch, "step", std::string(1, sp.step));
            if (sp.alter != 0)
                addInt(pitch, "alter", sp.alter);
            addInt(pitch, "octave", sp.octave);
        }
        addInt(n, "duration", v.ticks);
        if (tieStop)
            n.append_child("tie").append_attribute("type").set_value("stop");
        if (tieStart)
            n.append_child("tie").append_attribute("type").set_value("start");
        if (t.percussive)
            n.append_child("instrument").append_attribute("id").set_value(instrumentId(p, head.key).c_str());
        addInt(n, "voice", voice);
        addText(n, "type", v.type);
        if (v.dotted)
            n.append_child("dot");
        const bool marked = (src.dwFlag & (kFlagSharp | kFlagFlat | kFlagNatural)) != 0;
        if (!t.percussive && ties.first && !tieStop &&
            (marked || sp.alter != keySignatureAlter(sp.step, fifths)))
            addText(n, "accidental", accidentalText(sp.alter));
        writeTimeModification(n, v);
        if (t.percussive) {
            // Written as the drum staff draws it: voice 1 with its stems up, cross heads where
            // the drum takes one.
            if (voice == 1 && kDrumStemsUp)
                addText(n, "stem", "up");
            if (const DrumNotation* drum = drumNotationOf(head.key); drum && drum->head == DrumHead::Cross)
                addText(n, "notehead", "x");
        }
        const bool tab = staffOf(t).isTablature();
        const bool tuplet = h == 0 && (v.tupletStart || v.tupletStop);
        if (tieStop || tieStart || tab || tuplet) {
            pugi::xml_node nots = n.append_child("notations");
            if (tieStop)
                nots.append_child("tied").append_attribute("type").set_value("stop");
            if (tieStart)
                nots.append_child("tied").append_attribute("type").set_value("start");
            if (tuplet)
                writeTupletMarks(nots, v);
            if (tab) {
                const GuitarPosition at = tabPositionForKey(src, head.key, t.tuning);
                pugi::xml_node tech = nots.append_child("technical");
                addInt(tech, "string", at.stringIndex + 1);
                addInt(tech, "fret", at.fret);
            }
        }
        if (h == 0 && sound.lyric && ties.first) {
            pugi::xml_node lyric = n.append_child("lyric");
            lyric.append_attribute("number").set_value("1");
            addText(lyric, "syllabic", "single");
            addText(lyric, "text", utf8FromSheetText(*sound.lyric));
        }
    }
}

// The first sound of a voice (in time order, none overlapping) that ends after `from`.
std::vector<Sound>::const_iterator firstEndingAfter(const std::vector<Sound>& sounds, int64_t from)
{
    return std::lower_bound(sounds.begin(), sounds.end(), from,
                            [](const Sound& s, int64_t x) { return s.start + s.length <= x; });
}

// Whether a voice sounds a note in [from, to), or with `rests` also holds a rest there.
bool hasSoundsIn(const std::vector<Sound>& sounds, int64_t from, int64_t to, bool rests = false)
{
    for (auto it = firstEndingAfter(sounds, from); it != sounds.end() && it->start < to; ++it)
        if (rests || (!it->rest && !it->heads.empty()))
            return true;
    return false;
}

// Whether the sounds of `voice` (from 1) are notes and rests of the staff, which writes its
// rests: voice 1, and voice 2 of a staff with two. Other voices carry chord members of another
// length, whose gaps are only time passing.
bool writesRests(const PartPlan& p, int voice)
{
    return voice == 1 || (voice == 2 && p.timeline.secondVoice);
}

// The part of a voice's sounds that lies in [from, to), with rests or forwards for the gaps.
// Voice 1 also carries the bar lines that Bar notes draw inside the measure.
void writeVoice(pugi::xml_node measure, const PartPlan& p, const std::vector<Sound>& sounds, int voice,
                int64_t from, int64_t to)
{
    int64_t at = from;
    int64_t barWritten = -1;
    const auto barHere = [&](int64_t tick) {
        if (voice == 1 && tick > from && tick < to && tick != barWritten && p.midBars.contains(tick)) {
            writeBarline(measure, "middle", "regular", nullptr);
            barWritten = tick;
        }
    };
    const auto gap = [&](int64_t until) {
        barHere(at);
        if (until <= at)
            return;
        if (voice == 1) {
            writeRest(measure, until - at, voice);
        } else {
            // Silence of another voice: time passes, nothing is drawn.
            pugi::xml_node f = measure.append_child("forward");
            addInt(f, "duration", until - at);
            addInt(f, "voice", voice);
        }
        at = until;
    };
    // Triplet groups: a group opens at a triplet that lies whole in the measure and closes once
    // the written lengths of the triplets that follow it without a gap add up to three of the
    // shortest among them (three eighths, a quarter and an eighth), or where the run of
    // triplets ends. Each group is written as three in the time of two with its bracket, also
    // when it is not complete (readers place a tuplet's notes by its bracket). The piece of a
    // triplet a bar line cuts is written as plain values of the time it takes, tied.
    const auto first = firstEndingAfter(sounds, from);
    std::vector<int> role; // per sound from `first`: 0 plain, 1 start, 2 inside, 3 stop
    for (auto it = first; it != sounds.end() && it->start < to; ++it)
        role.push_back(0);
    const auto whole = [&](const Sound& s) {
        return s.triplet && s.start >= from && s.start + s.length <= to;
    };
    for (std::size_t i = 0; i < role.size();) {
        const Sound& head = first[static_cast<std::ptrdiff_t>(i)];
        if (!whole(head)) {
            ++i;
            continue;
        }
        int64_t shortest = head.length * 3 / 2;
        int64_t sum = 0;
        std::size_t j = i;
        int64_t end = head.start;
        while (j < role.size() && (sum == 0 || sum != 3 * shortest) && sum < 3 * head.length * 3 / 2) {
            const Sound& s = first[static_cast<std::ptrdiff_t>(j)];
            if (!whole(s) || s.start != end)
                break;
            sum += s.length * 3 / 2;
            shortest = std::min(shortest, s.length * 3 / 2);
            end = s.start + s.length;
            ++j;
        }
        if (j == i) {
            ++i;
            continue;
        }
        role[i] = 1;
        for (std::size_t k = i + 1; k < j; ++k)
            role[k] = 2;
        role[j - 1] = j - 1 == i ? 4 : 3;
        i = j;
    }
    std::size_t index = 0;
    for (auto it = first; it != sounds.end() && it->start < to; ++it, ++index) {
        const Sound& s = *it;
        const int64_t a = std::max(s.start, from);
        const int64_t b = std::min(s.start + s.length, to);
        if (b <= a)
            continue;
        gap(a);
        barHere(a);
        std::vector<musicxml::NoteValue> values;
        if (role[index] != 0) {
            values = {{b - a, s.writtenType, s.writtenDotted, true, role[index] == 1 || role[index] == 4,
                       role[index] >= 3}};
        } else {
            values = musicxml::splitIntoNoteValues(b - a);
        }
        if (s.rest || s.heads.empty()) {
            if (writesRests(p, voice))
                for (const musicxml::NoteValue& v : values)
                    writeRestValue(measure, v, voice, false);
            else
                gap(b);
            at = b;
            continue;
        }
        for (std::size_t k = 0; k < values.size(); ++k) {
            ValueTies ties;
            ties.first = a == s.start && k == 0;
            ties.last = b == s.start + s.length && k + 1 == values.size();
            ties.from = !ties.first;
            ties.to = !ties.last;
            writeChordValue(measure, p, s, values[k], voice, ties);
        }
        at = b;
    }
    gap(to);
}

// The repeated measures as spans of written measures (from 1): written with repeat signs only
// when every track with notes marks the same measures and each spans whole written measures
// at the same place. Nothing when the repeats must be written out instead.
using RepeatSpans = std::vector<std::pair<int64_t, int64_t>>;
std::optional<RepeatSpans> repeatSpans(const std::vector<PartPlan>& parts)
{
    RepeatSpans spans;
    bool first = true;
    for (const PartPlan& p : parts) {
        if (p.timeline.end == 0)
            continue;
        RepeatSpans mine;
        const TrackTimeline& tl = p.timeline;
        for (int m : p.track->measureRepeats.measures()) {
            if (m < 1 || m > static_cast<int>(tl.measureAt.size()))
                continue;
            const int64_t a = tl.measureAt[static_cast<std::size_t>(m - 1)];
            const int64_t b = m < static_cast<int>(tl.measureAt.size())
                                  ? tl.measureAt[static_cast<std::size_t>(m)]
                                  : tl.end;
            if (b <= a)
                continue;
            const int64_t opening = p.measureStartingAt(a), after = p.measureStartingAt(b);
            if (opening == 0 || after == 0)
                return std::nullopt;
            mine.emplace_back(opening, after - 1);
        }
        if (!first && mine != spans)
            return std::nullopt;
        spans = mine;
        first = false;
    }
    return spans;
}

// A repeated passage in written measures (from 1): A..B, the first measure of its first ending
// and the last of its second ending (0 for none).
struct WrittenPassage {
    int64_t first = 0;
    int64_t last = 0;
    int64_t firstEnding = 0;
    int64_t secondEndingLast = 0;
    bool operator==(const WrittenPassage&) const = default;
};

// The sheet's repeated passages as written measures: each with the repeat signs and endings
// only when every track with notes has the same passages at the same written measures and no
// measure repeat lies inside one (MusicXML readers take no repeat inside a repeat). A passage
// whose B lies past a track's last measure does not repeat there; a second ending is cut at the
// track's end. Nothing when the passages must be written out instead.
std::optional<std::vector<WrittenPassage>> passageSpans(const std::vector<PartPlan>& parts)
{
    std::vector<WrittenPassage> spans;
    bool first = true;
    for (const PartPlan& p : parts) {
        if (p.timeline.end == 0)
            continue;
        const TrackTimeline& tl = p.timeline;
        const int measures = static_cast<int>(tl.measureAt.size());
        const auto startOf = [&](int m) { return tl.measureAt[static_cast<std::size_t>(m - 1)]; };
        const auto endOf = [&](int m) { return m < measures ? startOf(m + 1) : tl.end; };
        std::vector<WrittenPassage> mine;
        for (const RepeatRange& r : p.track->repeatRanges) {
            if (r.last > measures)
                continue;
            WrittenPassage w;
            w.first = p.measureStartingAt(startOf(r.first));
            const int64_t after = p.measureStartingAt(endOf(r.last));
            if (w.first == 0 || after == 0 || endOf(r.last) <= startOf(r.first))
                return std::nullopt;
            w.last = after - 1;
            if (r.firstEnding > 0) {
                w.firstEnding = p.measureStartingAt(startOf(r.last - r.firstEnding + 1));
                if (w.firstEnding == 0)
                    return std::nullopt;
            }
            if (const int end = std::min(r.reach(), measures); end > r.last) {
                const int64_t next = p.measureStartingAt(endOf(end));
                if (next == 0 || next - 1 <= w.last)
                    return std::nullopt;
                w.secondEndingLast = next - 1;
            }
            for (int m : p.track->measureRepeats.measures())
                if (m >= r.first && m <= r.reach())
                    return std::nullopt;
            mine.push_back(w);
        }
        if (!first && mine != spans)
            return std::nullopt;
        spans = mine;
        first = false;
    }
    return spans;
}

bool hasPassages(const std::vector<PartPlan>& parts)
{
    return std::any_of(parts.begin(), parts.end(), [](const PartPlan& p) {
        return !p.track->repeatRanges.empty() && p.timeline.end > 0;
    });
}

bool hasRepeatMarks(const std::vector<PartPlan>& parts)
{
    return std::any_of(parts.begin(), parts.end(), [](const PartPlan& p) {
        return !p.track->measureRepeats.empty() && p.timeline.end > 0;
    });
}

bool planParts(const SheetDocument& sheet, std::vector<PartPlan>& parts, bool& folded, std::string& error)
{
    parts.clear();
    bool loops = false;
    for (int i = 0; i < sheet.trackCount(); ++i)
        loops = loops || musicxml::hasNoteLoops(*sheet.trackAt(i));
    parts.resize(static_cast<std::size_t>(sheet.trackCount()));
    for (int i = 0; i < sheet.trackCount(); ++i) {
        PartPlan& p = parts[static_cast<std::size_t>(i)];
        p.track = sheet.trackAt(i);
        p.id = "P" + std::to_string(i + 1);
        p.frames = sheet.chordDiagrams;
        p.measureTicks = std::max<int64_t>(musicxml::measureDivisionsOf(p.track->timeSig), 6);
        p.pickup = musicxml::pickupDivisionsOf(*p.track);
        if (!musicxml::buildTimeline(*p.track, loops, p.timeline, error)) {
            error.insert(0, "track " + std::to_string(i + 1) + ": ");
            return false;
        }
    }
    folded = !loops;
    if (!loops &&
        ((hasRepeatMarks(parts) && !repeatSpans(parts)) || (hasPassages(parts) && !passageSpans(parts)))) {
        folded = false;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (!musicxml::buildTimeline(*parts[i].track, true, parts[i].timeline, error)) {
                error.insert(0, "track " + std::to_string(i + 1) + ": ");
                return false;
            }
        }
    }
    for (PartPlan& p : parts) {
        for (const auto& voice : p.timeline.voices)
            for (const Sound& s : voice)
                for (const Head& h : s.heads)
                    if (p.track->percussive)
                        p.drumKeys.insert(h.key);
        for (int64_t tick : p.timeline.barTicks) {
            const int64_t next = p.measureStartingAt(tick);
            if (tick > 0 && next > 0)
                p.barLines.insert(next - 1);
            else if (next == 0)
                p.midBars.insert(tick);
        }
    }
    return true;
}

} // namespace

std::string sheetTitleOf(const SheetDocument& sheet)
{
    std::string name = sheet.caption;
    if (name.empty()) {
        const auto slash = sheet.path.find_last_of('/');
        name = slash == std::string::npos ? sheet.path : sheet.path.substr(slash + 1);
    }
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name.empty() ? "Untitled" : name;
}

bool musicXmlText(const SheetDocument& sheet, const std::string& title, std::string& out, std::string& error,
                  std::vector<std::string>* warnings)
{
    SheetLockGuard lock(sheetLock());
    out.clear();
    if (sheet.trackCount() == 0) {
        // A score holds at least one part; a sheet read from a file without tracks has none.
        error = "the sheet has no tracks to write";
        return false;
    }
    std::vector<PartPlan> parts;
    bool folded = true;
    if (!planParts(sheet, parts, folded, error))
        return false;

    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version").set_value("1.0");
    decl.append_attribute("encoding").set_value("UTF-8");
    doc.append_child(pugi::node_doctype)
        .set_value((std::string("score-partwise PUBLIC \"-//Recordare//DTD MusicXML ") + kMusicXmlVersion +
                    " Partwise//EN\" \"http://www.musicxml.org/dtds/partwise.dtd\"")
                       .c_str());
    pugi::xml_node score = doc.append_child("score-partwise");
    score.append_attribute("version").set_value(kMusicXmlVersion);
    const SheetTexts& texts = sheet.texts;
    // The sheet's own title goes in both places readers look: some show the work title, others
    // (MuseScore) the movement title.
    addText(score.append_child("work"), "work-title",
            utf8FromSheetText(texts.title.empty() ? title : texts.title));
    if (!texts.title.empty())
        addText(score, "movement-title", utf8FromSheetText(texts.title));
    pugi::xml_node identification = score.append_child("identification");
    for (const auto& [type, text] :
         {std::pair{"composer", &texts.composer}, std::pair{"lyricist", &texts.lyricist}})
        if (!text->empty()) {
            pugi::xml_node creator = identification.append_child("creator");
            creator.append_attribute("type").set_value(type);
            creator.text().set(utf8FromSheetText(*text).c_str());
        }
    if (!texts.copyright.empty())
        addText(identification, "rights", utf8FromSheetText(texts.copyright));
    pugi::xml_node enc = identification.append_child("encoding");
    addText(enc, "software", "Tonvela");
    if (!texts.subtitle.empty()) {
        // MusicXML has no subtitle element: a centred credit of page 1 says what it is.
        pugi::xml_node credit = score.append_child("credit");
        credit.append_attribute("page").set_value(1);
        addText(credit, "credit-type", "subtitle");
        pugi::xml_node words = credit.append_child("credit-words");
        words.append_attribute("justify").set_value("center");
        words.append_attribute("valign").set_value("top");
        words.text().set(utf8FromSheetText(texts.subtitle).c_str());
    }
    writePartList(score, parts);

    int64_t measures = 1;
    for (const PartPlan& p : parts) {
        int64_t end = p.timeline.end;
        for (const auto& voice : p.timeline.voices)
            if (!voice.empty())
                end = std::max(end, voice.back().start + voice.back().length);
        measures = std::max(measures, p.measuresFor(end));
    }
    std::set<int64_t> repeatStarts;
    std::set<int64_t> repeatEnds;
    if (const auto spans = folded ? repeatSpans(parts) : std::nullopt) {
        for (const auto& [a, b] : *spans) {
            repeatStarts.insert(a);
            repeatEnds.insert(b);
        }
    }
    // The endings of the repeated passages: ending 1 over the first ending, closed at B, ending 2
    // over the second, left open at its end.
    std::map<int64_t, std::pair<const char*, const char*>> endingStarts; // measure -> number, type
    std::map<int64_t, std::pair<const char*, const char*>> endingEnds;
    if (const auto passages = folded ? passageSpans(parts) : std::nullopt) {
        for (const WrittenPassage& w : *passages) {
            repeatStarts.insert(w.first);
            repeatEnds.insert(w.last);
            if (w.firstEnding > 0) {
                endingStarts[w.firstEnding] = {"1", "start"};
                endingEnds[w.last] = {"1", "stop"};
            }
            if (w.secondEndingLast > 0) {
                endingStarts[w.last + 1] = {"2", "start"};
                endingEnds[w.secondEndingLast] = {"2", "discontinue"};
            }
        }
    }
    const auto endingAt = [](const auto& marks, int64_t m) {
        const auto it = marks.find(m);
        return it == marks.end() ? std::pair<const char*, const char*>{nullptr, nullptr} : it->second;
    };

    for (std::size_t k = 0; k < parts.size(); ++k) {
        const PartPlan& p = parts[k];
        const Track& t = *p.track;
        pugi::xml_node part = score.append_child("part");
        part.append_attribute("id").set_value(p.id.c_str());
        for (int64_t m = 1; m <= measures; ++m) {
            pugi::xml_node measure = part.append_child("measure");
            // A pickup is measure 0, shorter than the meter: the count starts after it.
            measure.append_attribute("number").set_value(static_cast<long long>(p.pickup > 0 ? m - 1 : m));
            if (p.pickup > 0 && m == 1)
                measure.append_attribute("implicit").set_value("yes");
            if (m == 1)
                writeAttributes(measure, t);
            if (m == 1 && k == 0)
                writeTempo(measure, std::max(t.tempo, 1));
            if (const auto [number, type] = endingAt(endingStarts, m); repeatStarts.contains(m) || number)
                writeBarline(measure, "left", repeatStarts.contains(m) ? "heavy-light" : nullptr,
                             repeatStarts.contains(m) ? "forward" : nullptr, number, type);
            const int64_t from = p.measureStart(m);
            const int64_t to = p.measureStart(m + 1);
            const auto& voices = p.timeline.voices;
            if (!hasSoundsIn(voices[0], from, to)) {
                writeRestValue(measure, {to - from, "whole"}, 1, true);
            } else {
                writeVoice(measure, p, voices[0], 1, from, to);
            }
            for (std::size_t v = 1; v < voices.size(); ++v) {
                if (!hasSoundsIn(voices[v], from, to, writesRests(p, static_cast<int>(v + 1))))
                    continue;
                addInt(measure.append_child("backup"), "duration", to - from);
                writeVoice(measure, p, voices[v], static_cast<int>(v + 1), from, to);
            }
            const auto [number, type] = endingAt(endingEnds, m);
            if (repeatEnds.contains(m))
                writeBarline(measure, "right", "light-heavy", "backward", number, type);
            else if (m == measures)
                writeBarline(measure, "right", "light-heavy", nullptr, number, type);
            else if (p.barLines.contains(m) || number)
                writeBarline(measure, "right", p.barLines.contains(m) ? "regular" : nullptr, nullptr, number,
                             type);
        }
    }

    std::ostringstream os;
    doc.save(os, "  ", pugi::format_default, pugi::encoding_utf8);
    out = os.str();
    std::size_t low = 0;
    for (const PartPlan& p : parts)
        low += p.belowOctaveZero.size();
    if (warnings && low > 0)
        warnings->push_back(
            (low == 1 ? std::string("1 note lies") : std::to_string(low) + " notes lie") +
            " below C0, the lowest octave MusicXML writes: written in octave 0, as C flat or C double "
            "flat where that is their pitch, else as C double flat 0 (MIDI key 10)");
    return true;
}

FileResult exportMusicXml(const SheetDocument& sheet, const std::string& title, const std::string& path)
{
    std::string text;
    std::string error;
    std::vector<std::string> warnings;
    if (!musicXmlText(sheet, title, text, error, &warnings))
        return FileResult::failure("could not write \"" + path + "\": " + error);
    FileResult result = writeFileAtomically(path, text);
    if (result)
        result.warnings = std::move(warnings);
    return result;
}

void addMusicXmlExportFormats(ExportFormats& formats)
{
    formats.add({"MusicXML", kMusicXmlExtension, kMusicXmlFilter, false,
                 [](SheetDocument& sheet, const std::string& path, const ExportOptions&) {
                     return exportMusicXml(sheet, sheetTitleOf(sheet), path);
                 }});
    formats.add({"compressed MusicXML", kMxlExtension, kMxlFilter, false,
                 [](SheetDocument& sheet, const std::string& path, const ExportOptions&) {
                     return exportMxl(sheet, sheetTitleOf(sheet), path);
                 }});
}

} // namespace tonvela
