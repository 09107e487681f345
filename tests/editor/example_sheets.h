#pragma once

// Sheets the editor and render tests build note by note.

#include "score/note.h"
#include "score/sheet_document.h"
#include "score/track.h"

#include <memory>

namespace tonvela::testing {

// Appends a note to a track and returns its index.
inline int addNote(Track& t, int type, int line, int flags = 0, const char* lyric = nullptr,
                   int chordParent = -1)
{
    Note n;
    n.type = type;
    n.setStaffPosition(line);
    n.dwFlag = flags;
    n.chordparent = static_cast<int16_t>(chordParent);
    if (lyric)
        n.setLyric(lyric);
    // Appended straight into the array: layout needs no recorded events.
    const int index = t.count;
    Note& slot = t.noteAt(index);
    slot = n;
    ++t.count;
    // A member joins its root's member list, as the track keeps it.
    if (chordParent >= 0)
        t.rebuildChordLists();
    return index;
}

inline void addQuarters(Track& t, int count, int line = 1)
{
    for (int i = 0; i < count; ++i)
        addNote(t, kTypeQuarter, line);
}

inline std::unique_ptr<SheetDocument> sheetWithTracks(int tracks)
{
    auto sheet = std::make_unique<SheetDocument>();
    sheet->setTrackCount(tracks);
    sheet->zoomamount = 1.0f;
    return sheet;
}

// Every staff kind: a G clef melody in D major with beams, a tie and lyrics; an F clef in
// B flat major with chords; a G(2) clef line; a percussion line; a tablature line.
inline std::unique_ptr<SheetDocument> staffKindsSheet()
{
    auto sheet = sheetWithTracks(5);
    Track& g = *sheet->trackAt(0);
    g.setKeyIndex(5); // D major
    addNote(g, kTypeEighth, 2, 0, "Sing");
    addNote(g, kTypeEighth, 1, 0, "a");
    addNote(g, kTypeEighth, 0, 0, "song");
    addNote(g, kTypeEighth, -1, 0, "of");
    addNote(g, kTypeQuarter, -2, kFlagTie, "joy");
    addNote(g, kTypeQuarter, -2, kFlagTie);
    addNote(g, kTypeSixteenth, 3, 0, "and");
    addNote(g, kTypeSixteenth, 2);
    addNote(g, kTypeSixteenth, 1);
    addNote(g, kTypeSixteenth, 0);
    addNote(g, kTypeQuarter, -4, kFlagDot, "light");
    addNote(g, kTypeEighth, -3);
    addNote(g, kTypeHalf, -5, kFlagSharp, "on");
    addNote(g, kTypeQuarter, 0, kFlagRest);
    addNote(g, kTypeQuarter, -1, kFlagNatural, "high");
    addNote(g, kTypeWhole, 1, 0, "ground");

    Track& f = *sheet->trackAt(1);
    setStaffKind(f, StaffKind::FClef);
    f.setKeyIndex(9); // B flat major
    const int r1 = addNote(f, kTypeHalf, 3);
    addNote(f, kTypeHalf, 1, 0, nullptr, r1);
    addNote(f, kTypeHalf, -1, 0, nullptr, r1);
    const int r2 = addNote(f, kTypeHalf, 2);
    addNote(f, kTypeHalf, 0, 0, nullptr, r2);
    addNote(f, kTypeWhole, 5, kFlagFlat);
    addNote(f, kTypeQuarter, 4);
    addNote(f, kTypeQuarter, 3);
    addNote(f, kTypeHalf, 0, kFlagRest);
    addNote(f, kTypeWhole, 1);

    Track& g2 = *sheet->trackAt(2);
    setStaffKind(g2, StaffKind::G2Clef);
    addQuarters(g2, 4, 2);
    addNote(g2, kTypeHalf, 0);
    addNote(g2, kTypeHalf, -3);
    addNote(g2, kTypeWhole, -1);

    Track& perc = *sheet->trackAt(3);
    perc.percussive = 1;
    for (int i = 0; i < 8; ++i)
        addNote(perc, kTypeEighth, 0);
    addQuarters(perc, 4, 0);

    Track& tab = *sheet->trackAt(4);
    setStaffKind(tab, StaffKind::Tablature);
    const int lines[] = {-2, -3, 0, 2, 4, 6, 7, 1};
    for (int line : lines)
        addNote(tab, kTypeQuarter, line);
    return sheet;
}

// One G clef track in E flat major: rests of every length, dotted notes, ledger lines above and
// below, ties on a row and across a staff break, beams of eighths and sixteenths.
inline std::unique_ptr<SheetDocument> beamsAndTiesSheet()
{
    auto sheet = sheetWithTracks(1);
    Track& t = *sheet->trackAt(0);
    t.setKeyIndex(10); // E flat major
    addNote(t, kTypeWhole, 0, kFlagRest);
    addNote(t, kTypeHalf, 0, kFlagRest);
    addNote(t, kTypeQuarter, 0, kFlagRest);
    addNote(t, kTypeEighth, 0, kFlagRest);
    addNote(t, kTypeSixteenth, 0, kFlagRest);
    addNote(t, kTypeThirtySecond, 0, kFlagRest);
    addNote(t, kTypeThirtySecond, 0, kFlagRest);
    addNote(t, kTypeEighth, 8);
    addNote(t, kTypeEighth, 6);
    addNote(t, kTypeEighth, 4);
    addNote(t, kTypeEighth, 2);
    addNote(t, kTypeSixteenth, -6);
    addNote(t, kTypeSixteenth, -5);
    addNote(t, kTypeSixteenth, -4);
    addNote(t, kTypeSixteenth, -3);
    addNote(t, kTypeEighth, 5);
    addNote(t, kTypeEighth, -1);
    addNote(t, kTypeHalf, 1, kFlagTie | kFlagDot);
    addNote(t, kTypeQuarter, 1, kFlagTie);
    addNote(t, kTypeHalf, -2, kFlagTie);
    addNote(t, kTypeHalf, -2, kFlagTie);
    addNote(t, kTypeQuarter, 2, kFlagTie);
    addNote(t, kTypeStaffBreak, 0);
    addNote(t, kTypeQuarter, 2, kFlagTie);
    addNote(t, kTypeThirtySecond, 9);
    addNote(t, kTypeQuarter, -8, kFlagFlat);
    addNote(t, kTypeQuarter, 10);
    return sheet;
}

} // namespace tonvela::testing
