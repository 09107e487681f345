#pragma once

// MusicXML export of a sheet: a partwise score that another notation program reads as the
// sheet plays.

#include "platform/atomic_file.h"

#include <string>
#include <vector>

namespace tonvela {

class ExportFormats;
class SheetDocument;

inline constexpr const char* kMusicXmlFilter = "MusicXML File(*.musicxml)";
inline constexpr const char* kMxlFilter = "Compressed MusicXML File(*.mxl)";
inline constexpr const char* kMusicXmlExtension = ".musicxml";
inline constexpr const char* kMxlExtension = ".mxl";

// The title a sheet is exported under: its caption, else the file name of its path, without
// the extension; "Untitled" for a new sheet.
std::string sheetTitleOf(const SheetDocument& sheet);

// The MusicXML version the export writes: the one whose schema its files are checked against.
inline constexpr const char* kMusicXmlVersion = "3.0";
// The lowest key MusicXML's octaves reach with a natural note: C0.
inline constexpr int kLowestWrittenKey = 12;

// The MusicXML text (score-partwise, kMusicXmlVersion) of a sheet. One part per track, named after the track
// ("Track N" when it has no name), with its General MIDI program and channel (percussion on
// channel 10, one unpitched instrument per drum key). Clefs as the sheet draws them: the G
// clef as treble sounding an octave lower, the G(2) clef as treble, the F clef as bass, the
// percussion clef, and the TAB clef with six strings in standard tuning and the string and
// fret of every note. Key and time signature, tempo (in the first part), notes at their
// written pitch with the spelling and accidentals of the staff, chords, rests, dots, ties and
// lyrics.
//
// The notes are what playback plays: ties merged by the playback rule are written as tied
// notes, every chord keeps its own length (a member of another length goes to a voice of its
// own), a triplet-marked note is written as three in the time of two (<time-modification>)
// with the bracket of its group of three (<tuplet> start and stop, never over a bar line). Every
// measure fills its time signature: notes that run over a bar line are split and tied, the
// last measure is filled with rests and a measure without notes is a measure rest. Measure
// repeats are written with repeat signs when every track repeats the same whole measures, and
// repeated passages (SheetDocument::repeatRanges) with a forward repeat at A, a backward one at
// B and the brackets of ending 1 and 2 when every track has them at the same written measures
// and no measure repeat lies inside one; otherwise, and whenever a note loop jumps back, the
// repeated notes are written out as they play. A Bar note that falls on a measure line makes it a drawn bar
// line; the last measure ends with a final bar line.
//
// The title is the sheet's own (SheetDocument::texts), as work and movement title, when it has
// one, else `title` as the work title; the subtitle is a centred credit of type "subtitle", the
// composer and lyricist creators, the copyright the rights.
// A note below kLowestWrittenKey is written in octave 0 (C flat or C double flat where that is
// its pitch, else C double flat), and `warnings` (when given) says how many.
//
// False with `error` when the sheet has no tracks or a track would play too many notes to
// write (runaway loops).
// Takes the sheet lock while it reads the sheet; does not change it.
bool musicXmlText(const SheetDocument& sheet, const std::string& title, std::string& out, std::string& error,
                  std::vector<std::string>* warnings = nullptr);

// Writes musicXmlText atomically: on failure the old file stays and the result says why; the
// result's warnings are musicXmlText's.
FileResult exportMusicXml(const SheetDocument& sheet, const std::string& title, const std::string& path);

// Registers MusicXML (.musicxml) and compressed MusicXML (.mxl), titled with sheetTitleOf.
void addMusicXmlExportFormats(ExportFormats& formats);

} // namespace tonvela
