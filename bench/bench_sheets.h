#pragma once

#include "score/sheet_document.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tonvela::bench {

// The largest sheet the benchmarks measure: 15 tracks of 4000 notes with chords (a root and
// two members every eighth note), lyrics on every fourth root, a rest every 16 notes, bar lines
// and a loop on every track. Built the same way every time.
std::unique_ptr<SheetDocument> makeLargestSheet(int tracks = 15, int notesPerTrack = 4000);

// A Standard MIDI File of 6 tracks of 10 000 note-ons each at 480 ticks per quarter: sixteenths
// over notes held for a half measure and three-note chords, as a piano part plays them, and a
// conductor track that changes tempo every 64 beats.
std::string makeSixTracksOfTenThousandNotes();

// Big-endian numbers of MIDI files.
void putVlq(std::string& out, uint32_t v);
void put32(std::string& out, uint32_t v);

} // namespace tonvela::bench
