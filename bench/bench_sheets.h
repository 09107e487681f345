#pragma once

#include "score/sheet_document.h"

#include <memory>

namespace tonvela::bench {

// The largest sheet the benchmarks measure: 15 tracks of 4000 notes with chords (a root and
// two members every eighth note), lyrics on every fourth root, a rest every 16 notes, bar lines
// and a loop on every track. Built the same way every time.
std::unique_ptr<SheetDocument> makeLargestSheet(int tracks = 15, int notesPerTrack = 4000);

} // namespace tonvela::bench
