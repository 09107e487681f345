#pragma once

#include "platform/load_result.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

class SheetDocument;

// Files larger than this are refused before they are read.
inline constexpr std::size_t kMaxMidiFileBytes = 64u * 1024u * 1024u;
// Beyond this many track chunks the rest of a file is not imported.
inline constexpr int kMaxImportedTracks = 64;
// A note the sheet strikes further than this from its time in the file is counted in a
// warning of its track.
inline constexpr int kMovedNoteMs = 30;

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
    int tempoBpm = 120;    // the sheet's tempo: the one in force for most of the file
    int tempoChanges = 0;  // how often the tempo changes after the start (in whole bpm)
    int minTempoBpm = 120; // the slowest and fastest tempos of the file
    int maxTempoBpm = 120;
    int timeSigCode = 0;       // sheet code of the first usable time signature; 0 when none
    std::vector<Chunk> chunks; // one per MTrk chunk, in file order
};

// Turns Standard MIDI File bytes (or a RIFF MIDI file around them) into the tracks of `sheet`,
// replacing the tracks it had: one track per MTrk chunk that holds note-ons, with one note per
// note-on, placed on the file's beat and notated as the score's lengths (see
// quantizeIntoTrack), programs and controllers taken from the channel messages, the track name
// from its name event, and the exact note-on and note-off events kept for event playback
// together with the file's tempo map. Every track takes the tempo in force for most of the
// file; a part whose notes lie mostly below middle C goes on the F clef. The first time
// signature that the sheet can show sets the sheet's, and the first key signature the key of
// every track but drum tracks (the notes are spelled in it). Nothing in the data is trusted: a length
// that runs past its chunk ends that track, and every allocation is bounded by the input size.
//
// A file without an MThd header (WrongKind), or without an MTrk chunk, with a division of 0 or
// without any note (Invalid) is refused with a message, and the sheet is left exactly as it
// was. Warnings say what was cut short or left out, and how many notes of a track sound more
// than kMovedNoteMs from their time in the file. `info`, when given, receives what the
// reader saw in the file, as far as it read.
//
// Runs on the user-interface thread and holds the sheet lock while the tracks are built.
LoadResult importMidiData(std::string_view data, SheetDocument& sheet, MidiFileInfo* info = nullptr);

// Reads a file and imports it into a new sheet whose caption is the file's name (its path stays
// empty, so a save asks where to put the sheet instead of overwriting the MIDI file). `sheet`
// receives the new sheet when the import succeeds and is left alone otherwise.
LoadResult importMidiFile(const std::string& path, std::unique_ptr<SheetDocument>& sheet);

// A name that says MIDI file: ending in .mid, .midi or .smf, in any letter case.
bool hasMidiFileName(std::string_view path);
// Bytes that begin a Standard MIDI File ("MThd") or a RIFF MIDI file ("RIFF", size, "RMID").
bool looksLikeMidiData(std::string_view firstBytes);
// Whether a file opens through the MIDI reader rather than as a sheet: its first bytes say it
// is a MIDI file, whatever its name, or its name says so and it does not begin as a markup
// document (a damaged MIDI file then gets the MIDI reader's message). Reads at most the first
// 12 bytes.
bool isMidiFile(const std::string& path);

} // namespace tonvela
