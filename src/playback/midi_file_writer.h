#pragma once

#include "platform/atomic_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tonvela {

class ExportFormats;
class SheetDocument;
class Track;

inline constexpr int kAllTracks = -1;
inline constexpr int kWriterDivision = 96; // ticks per quarter note of written files
// A track whose loops and repeats would write more notes than this is refused rather than
// written as a file of unbounded size.
inline constexpr long long kMaxWrittenNotesPerTrack = 500'000;
inline constexpr const char* kMidiFilter = "MIDI file(*.mid)";
inline constexpr const char* kMidiExtension = ".mid";

// One note-on or note-off of a track as the writer plays it out, in written ticks (96 per
// quarter note at the file's tempo, the track's own tempo folded in).
struct ExportEvent {
    bool on = false;
    int64_t tick = 0;
    int noteIndex = 0; // the note in the track
    int ordinal = 0;   // which chord root or lone note (in playing order) it belongs to
    int key = 0;       // sounding key, 0..127
    int volume = 127;
    int pan = 64;
    int program = 0;
    bool rest = false; // a rest's start: writes an event that sounds nothing
};

struct TrackExport {
    std::vector<ExportEvent> events; // sorted: by tick, note-offs before note-ons
    int64_t endTick = 0;             // where the track's last note or rest ends
    long long notes = 0;             // chord roots and lone notes played, loops counted
};

// What a track sounds like when played: notes in playing order with measure repeats and note
// loops written out, ties merged, chords together, sounding pitches (key signature,
// accidentals, clef), timed at the track's tempo against a file that plays at `fileTempo`
// (the track's own tempo when 0), sounds lengthened or shortened by their stop offsets but
// never shorter than one tick; a note on of a key that still sounds ends that sound first.
// Notes whose pitch lies outside 0..127 are left out. False (with `error`) when the track would
// play more than kMaxWrittenNotesPerTrack notes.
bool buildTrackExport(const Track& track, TrackExport& out, std::string& error, int fileTempo = 0);

// The bytes of a format-1 Standard MIDI File with one track chunk per written track (the one
// track `trackIndex`, or every track for kAllTracks). A track with a name starts with a track
// name event; the first chunk then says the sheet's time signature, the first track's key
// (unless it is a drum track) and its tempo, at which the file plays: a quarter note of the
// first track is 96 ticks, and the other tracks are timed against that tempo so each sounds at
// its own. Each note on is preceded by its program, volume and pan. Does not change the sheet.
bool midiFileBytes(const SheetDocument& sheet, int trackIndex, std::string& out, std::string& error);

// Writes the file atomically: on any failure the old file stays as it was and the result says
// why.
FileResult writeMidiFile(const SheetDocument& sheet, const std::string& path, int trackIndex = kAllTracks);

// Registers the MIDI file (.mid): every track, or one with ExportOptions::track.
void addMidiExportFormat(ExportFormats& formats);

} // namespace tonvela
