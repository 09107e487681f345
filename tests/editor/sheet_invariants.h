#pragma once

// Checks a sheet after edits: the invariants a sheet file has to keep, and the way back from
// its file.

#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/sounding_pitch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tonvela::testing {

// What a sheet file has to keep: chord links name roots of the same track, a root has at most
// 32 members, loops point inside the track.
inline ::testing::AssertionResult keepsTheInvariants(const SheetDocument& sheet)
{
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const Track& track = *sheet.trackAt(t);
        if (track.count < 0 || track.count > Track::kMaxNotes)
            return ::testing::AssertionFailure() << "track " << t << " count " << track.count;
        std::vector<int> members(static_cast<std::size_t>(track.count), 0);
        for (int i = 0; i < track.count; ++i) {
            const Note& n = track.noteAt(i);
            if (n.chordparent != -1) {
                const int p = n.chordparent;
                if (p < 0 || p >= track.count || p == i || track.noteAt(p).chordparent != -1)
                    return ::testing::AssertionFailure()
                           << "track " << t << " note " << i << " links to " << p;
                if (++members[static_cast<std::size_t>(p)] > kMaxChordMembers)
                    return ::testing::AssertionFailure()
                           << "track " << t << " root " << p << " has too many members";
            }
            if (n.loopCount < 0 || (n.loopCount > 0 && (n.loopTo < 0 || n.loopTo >= track.count)))
                return ::testing::AssertionFailure()
                       << "track " << t << " note " << i << " loops to " << n.loopTo;
            if (n.midi != naturalKeyOfPosition(n.line))
                return ::testing::AssertionFailure() << "track " << t << " note " << i << " key "
                                                     << int(n.midi) << " at position " << n.line;
        }
        for (int i = 0; i < track.count; ++i)
            if (track.noteAt(i).chordparent == -1 &&
                track.noteAt(i).childCount != members[static_cast<std::size_t>(i)])
                return ::testing::AssertionFailure()
                       << "track " << t << " root " << i << " member list is stale";
    }
    return ::testing::AssertionSuccess();
}

// Saves the sheet, loads the file into a new sheet and compares every note's stored fields.
inline ::testing::AssertionResult comesBackFromItsFile(SheetDocument& sheet, const std::string& name)
{
    const std::string path = ::testing::TempDir() + name + ".shd";
    if (!saveSheet(sheet, name, path).ok)
        return ::testing::AssertionFailure() << "the save failed";
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    in.close();
    std::filesystem::remove(path);
    SheetDocument loaded;
    if (!loadSheetFromText(loaded, text.str()).ok())
        return ::testing::AssertionFailure() << "the load failed";
    if (loaded.trackCount() != sheet.trackCount())
        return ::testing::AssertionFailure() << loaded.trackCount() << " tracks came back";
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const Track& a = *sheet.trackAt(t);
        const Track& b = *loaded.trackAt(t);
        if (a.count != b.count)
            return ::testing::AssertionFailure() << "track " << t << ": " << b.count << " notes came back";
        for (int i = 0; i < a.count; ++i) {
            const Note& x = a.noteAt(i);
            const Note& y = b.noteAt(i);
            if (x.type != y.type || x.line != y.line || x.midi != y.midi ||
                (x.dwFlag & ~kFlagBeamed) != (y.dwFlag & ~kFlagBeamed) || x.chordparent != y.chordparent ||
                x.loopTo != y.loopTo || x.loopCount != y.loopCount || x.voice != y.voice ||
                x.lyrictext() != y.lyrictext())
                return ::testing::AssertionFailure()
                       << "track " << t << " note " << i << " came back changed";
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace tonvela::testing
