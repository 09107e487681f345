#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

class SheetDocument;

// Files larger than this are refused before they are read.
inline constexpr std::size_t kMaxMidiFileBytes = 64u * 1024u * 1024u;
// A track takes notes from note-on events until it holds more than this many notes.
inline constexpr int kMaxNotesFromNoteOns = 4000;
// Beyond this many track chunks the rest of a file is not imported.
inline constexpr int kMaxImportedTracks = 64;

// What the reader saw in a file, for `info` and for tests.
struct MidiFileInfo {
    struct Chunk {
        std::string name;    // from the track-name meta event
        int noteOns = 0;     // note-on messages with a velocity above 0
        int sheetTrack = -1; // index of the sheet track it became; -1 when it held no notes
    };
    int format = 0;
    int declaredTracks = 0; // the header's track count
    int division = 0;       // ticks per quarter note as used (SMPTE divisions converted)
    long long noteOns = 0;
    int tempoBpm = 0;          // from the first tempo event; 0 when the file has none
    int timeSigCode = 0;       // sheet code of the first usable time signature; 0 when none
    std::vector<Chunk> chunks; // one per MTrk chunk, in file order
};

struct MidiImportResult {
    bool ok = false;
    std::string error;                 // why the file was refused
    std::vector<std::string> warnings; // what was cut short or left out
    MidiFileInfo info;
};

// Turns Standard MIDI File bytes into the tracks of `sheet`, replacing the tracks it had: one
// track per MTrk chunk that yields notes, notes quantised to the score's lengths, chords from
// notes that start within a sixteenth, rests for silences, programs and controllers taken from
// the channel messages, and the exact note-on and note-off events kept for event playback.
// The file's first tempo sets every track's tempo; its first time signature that the sheet can
// show sets the sheet's. Nothing in the data is trusted: a length that runs past its chunk ends
// that track, and every allocation is bounded by the input size.
//
// A file without an MThd header or MTrk chunk, with a division of 0, or without any note is
// refused with a message, and the sheet is left exactly as it was.
//
// Runs on the user-interface thread and holds the sheet lock while the tracks are built.
MidiImportResult importMidiData(std::string_view data, SheetDocument& sheet);

// Reads a file and imports it into a new sheet whose caption is the file's name (its path stays
// empty, so a save asks where to put the sheet instead of overwriting the MIDI file). Returns
// null on failure; `result`, when given, says why.
std::unique_ptr<SheetDocument> importMidiFile(const std::string& path, MidiImportResult* result = nullptr);

} // namespace tonvela
