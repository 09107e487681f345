// The MusicXML reader's repeats: forward and backward <repeat> signs and the <ending> brackets
// of the bar lines, read into the sheet's measure repeats, repeated passages and note loops.
//
// A backward repeat goes back to the last forward repeat after the previous passage (its second
// ending included), else to that passage's end, else to the start of the part. A bracket
// numbered "1" that ends at the backward repeat is the passage's first ending; a bracket "2"
// right after it the second ending. What the sheet cannot hold is named in the import warning:
// brackets of other numbers ("1, 2", "3"), brackets away from a repeat, a forward repeat
// inside another (the inner one is taken), repeats inside a second ending (a third pass), and
// the endings of passages played more than twice (those become note loops).

#include "interchange/musicxml_import_model.h"

#include "score/measure_division.h"
#include "score/note.h"
#include "score/repeat_range.h"
#include "score/track.h"

#include <pugixml.hpp>

#include <algorithm>

namespace tonvela::musicxml {
namespace {

std::string trimmedText(std::string_view s)
{
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos)
        return {};
    return std::string(s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1));
}

// A bracket over measures first..last of the part (indices from 0).
struct Bracket {
    std::string number;
    int first = 0;
    int last = 0;
    bool used = false;
};

// The brackets of a part from its measures' ending marks. A bracket still open when the next
// starts ends before it; one never closed ends with the part.
std::vector<Bracket> bracketsOf(const Part& part, LeftOut& leftOut)
{
    std::vector<Bracket> brackets;
    bool open = false;
    const int count = static_cast<int>(part.measures.size());
    for (int m = 0; m < count; ++m) {
        for (const EndingMark& e : part.measures[static_cast<std::size_t>(m)].endings) {
            if (e.type == "start") {
                if (open) {
                    brackets.back().last = std::max(brackets.back().first, m - 1);
                    countLeftOut(leftOut, "ending brackets without an end (closed at the next)");
                }
                brackets.push_back({e.number, m, m, false});
                open = true;
            } else if (open) {
                brackets.back().last = m;
                open = false;
            }
        }
    }
    if (open) {
        brackets.back().last = count - 1;
        countLeftOut(leftOut, "ending brackets without an end (closed at the next)");
    }
    return brackets;
}

// A passage of the part: measures first..last (indices), its backward repeat at `last`.
struct FilePassage {
    int first = 0;
    int last = 0;
    int times = 2;
    const Bracket* firstEnding = nullptr;
    const Bracket* secondEnding = nullptr;
};

std::vector<FilePassage> passagesOf(const Part& part, std::vector<Bracket>& brackets, LeftOut& leftOut)
{
    std::vector<FilePassage> passages;
    const int count = static_cast<int>(part.measures.size());
    // The first bracket "1" ending at each measure and the first bracket "2" starting there, so
    // a file of many brackets is read in one pass.
    std::vector<int> firstEndingAt(static_cast<std::size_t>(count), -1);
    std::vector<int> secondEndingAt(static_cast<std::size_t>(count), -1);
    for (std::size_t k = brackets.size(); k-- > 0;) {
        const Bracket& b = brackets[k];
        const std::string n = trimmedText(b.number);
        if (n == "1")
            firstEndingAt[static_cast<std::size_t>(b.last)] = static_cast<int>(k);
        else if (n == "2")
            secondEndingAt[static_cast<std::size_t>(b.first)] = static_cast<int>(k);
    }
    int from = 0;             // where the next backward repeat goes back to
    bool forwardOpen = false; // a forward repeat waits for its backward one
    int skipUntil = -1;       // the second ending of the last passage: no repeat is taken in it
    for (int m = 0; m < count; ++m) {
        const Measure& measure = part.measures[static_cast<std::size_t>(m)];
        if (m <= skipUntil) {
            if (measure.repeatForward || measure.repeatTimes > 0)
                countLeftOut(leftOut, "repeats inside a second ending (third endings)");
            continue;
        }
        if (measure.repeatForward) {
            if (forwardOpen)
                countLeftOut(leftOut, "repeats inside repeats (the inner one kept)");
            from = m;
            forwardOpen = true;
        }
        if (measure.repeatTimes == 0)
            continue;
        FilePassage p{from, m, measure.repeatTimes, nullptr, nullptr};
        if (const int k = firstEndingAt[static_cast<std::size_t>(m)]; k >= 0) {
            Bracket& b = brackets[static_cast<std::size_t>(k)];
            if (!b.used && b.first > p.first) {
                p.firstEnding = &b;
                b.used = true;
            }
        }
        if (const int k = m + 1 < count ? secondEndingAt[static_cast<std::size_t>(m + 1)] : -1; k >= 0) {
            Bracket& b = brackets[static_cast<std::size_t>(k)];
            if (!b.used) {
                p.secondEnding = &b;
                b.used = true;
            }
        }
        passages.push_back(p);
        forwardOpen = false;
        from = m + 1;
        if (p.secondEnding) {
            from = p.secondEnding->last + 1;
            skipUntil = p.secondEnding->last;
        }
    }
    for (const Bracket& b : brackets) {
        if (b.used)
            continue;
        const std::string n = trimmedText(b.number);
        countLeftOut(leftOut, n == "1" || n == "2"
                                  ? "ending brackets apart from a repeat"
                                  : "endings other than a first and a second (" + nameFromFile(n) + ")");
    }
    return passages;
}

} // namespace

void readEnding(const pugi::xml_node& barline, Measure& measure, LeftOut& leftOut)
{
    const pugi::xml_node ending = barline.child("ending");
    if (!ending)
        return;
    const std::string type = ending.attribute("type").as_string();
    if (type != "start" && type != "stop" && type != "discontinue") {
        countLeftOut(leftOut, "endings of no known type");
        return;
    }
    // A file of absurd size is refused before; still, a measure keeps a few marks at most.
    if (measure.endings.size() < 4)
        measure.endings.push_back({ending.attribute("number").as_string(), type});
}

void writeStaffRepeats(const Part& part, const std::vector<int>& firstItem, Track& track, LeftOut& leftOut)
{
    track.divideIntoMeasures();
    const MeasureDivision& division = track.measureDivision();
    const int count = static_cast<int>(part.measures.size());
    if (static_cast<int>(firstItem.size()) != count + 1)
        return;
    const auto item = [&](int m) { return firstItem[static_cast<std::size_t>(m)]; };
    // The sheet measure that begins with file measure m; 0 when none does.
    const auto startingAt = [&](int m) {
        const int first = item(m);
        if (first >= track.count || first >= division.noteCount())
            return 0;
        const int s = division.measureOf(first);
        return s > 0 && division.firstNote(s) == first ? s : 0;
    };
    // The sheet measure that ends with the notes of file measures from..to; 0 when none does.
    const auto endingWith = [&](int from, int to) {
        const int first = item(from);
        const int end = item(to + 1);
        int last = end - 1;
        while (last >= first && (track.noteAt(last).type == kTypeBar || track.noteAt(last).isChordMember()))
            --last;
        if (last < first)
            return 0;
        const int s = division.measureOf(last);
        return s > 0 && (end >= track.count || division.measureOf(end) != s) ? s : 0;
    };

    std::vector<Bracket> brackets = bracketsOf(part, leftOut);
    std::vector<int> marks;
    std::vector<RepeatRange> ranges;
    for (const FilePassage& p : passagesOf(part, brackets, leftOut)) {
        const int first = item(p.first);
        const int end = item(p.last + 1);
        int last = end - 1; // the last chord root of the passage that is not a bar line
        while (last >= first && (track.noteAt(last).type == kTypeBar || track.noteAt(last).isChordMember()))
            --last;
        if (last < first)
            continue;
        RepeatRange r;
        r.first = startingAt(p.first);
        r.last = endingWith(p.first, p.last);
        const bool whole = r.first > 0 && r.last >= r.first;
        if (whole && p.times == 2) {
            if (p.firstEnding) {
                const int s = startingAt(p.firstEnding->first);
                if (s > r.first && s <= r.last)
                    r.firstEnding = r.last - s + 1;
                else
                    countLeftOut(leftOut, "endings that do not fall on the sheet's measures");
            }
            if (p.secondEnding && p.secondEnding->last < count) {
                const int s = startingAt(p.secondEnding->first);
                const int e = endingWith(p.secondEnding->first, p.secondEnding->last);
                if (s == r.last + 1 && e >= s)
                    r.secondEnding = e - r.last;
                else
                    countLeftOut(leftOut, "endings that do not fall on the sheet's measures");
            }
            if (r.first == r.last && r.firstEnding == 0 && r.secondEnding == 0)
                marks.push_back(r.first);
            else
                ranges.push_back(r);
            continue;
        }
        // Played more than twice, or not whole measures of the sheet: a note loop, which plays
        // the passage whole every time.
        if (p.firstEnding || p.secondEnding)
            countLeftOut(leftOut, "endings of repeats played as a note loop (more than twice, or not "
                                  "on the sheet's measures)");
        if (track.noteAt(last).loopCount > 0) {
            countLeftOut(leftOut, "repeats that end together");
        } else {
            Note& n = track.noteAt(last);
            n.loopTo = first;
            n.loopCount = p.times - 1;
        }
    }
    track.measureRepeats.assign(marks);
    track.repeatRanges = normalizedRepeatRanges(ranges);
}

} // namespace tonvela::musicxml
