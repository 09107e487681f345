#pragma once

// Reading MusicXML scores (.musicxml, .xml, and compressed .mxl) into sheets.

#include "platform/load_result.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace tonvela {

class SheetDocument;

// The entry of the Open dialog's filter list.
inline constexpr const char* kMusicXmlOpenFilter = "MusicXML Files (*.musicxml *.mxl *.xml)";

// Files larger than this are refused before they are read.
inline constexpr std::size_t kMaxMusicXmlFileBytes = 64u * 1024u * 1024u;

// Turns a MusicXML score (the XML text, or the bytes of a compressed .mxl file) into the tracks
// of `sheet`, replacing the tracks it had. One track per part, or one per staff of a part with
// several staves (a piano part gives two) while the sheet's 15 tracks suffice; a file with
// more than 15 parts is refused with a message naming the count. Each track takes its part's
// name, General MIDI program, clef (treble an octave down: the G clef; plain treble: the
// G(2) clef; bass: the F clef; percussion or unpitched parts: a percussion track; TAB: the
// tablature), key signature, and the notes of its staff's main voice (the one that sounds most
// notes; called the first voice below): pitches placed so the
// track sounds the file's pitch and shows its written note, lengths with dots and triplets,
// ties, chords, rests (gaps of the first voice become rests, so measures keep their length),
// the first lyric verse, bar lines, and repeats (one measure as the sheet's measure repeat,
// longer passages with their first and second endings as the sheet's repeated passages, a
// passage played more than twice as a note loop; musicxml_import_repeats.cpp). The sheet takes the first time
// signature and tempo, and the score's title (its work title, else its movement title, else its largest
// centred credit text on the first page) and composer (its first composer creator).
//
// The text may be UTF-8, UTF-16 (told by its byte-order mark or its first bytes) or ISO-8859-1
// (named by its XML declaration); the root element is found past any comments, processing
// instructions and document type, and entities other than XML's own stay unexpanded.
//
// Each staff keeps two voices: the one sounding most notes as voice 1, the one sounding the
// next most as voice 2, with its own rhythm (voice 2 rests fill its gaps inside a measure).
// Notes of further voices join a chord that starts with them, of voice 1 else of voice 2; the
// others are left out, and a warning says how many. Tied notes inside a chord or of further
// voices sound once for their tied length where it is a sheet length; two voices struck on one
// key at once give one note.
// A whole rest fills its measure, whatever the measure's length. Everything else the sheet cannot hold (grace
// notes, dynamics, slurs, changes of time or key, durations that fit no note length, ...) is listed, with
// counts, in one further warning. Nothing in the file is trusted: malformed XML, a missing <divisions>,
// absurd durations and a timewise score are refused with a message, and the sheet is then left exactly as it
// was.
//
// Runs on the user-interface thread and holds the sheet lock while the tracks are built.
LoadResult importMusicXmlData(std::string_view data, SheetDocument& sheet);

// Reads a file and imports it into a new sheet whose caption is the file's name and whose path
// stays empty (a save asks where to put the sheet instead of overwriting the MusicXML file).
// `sheet` receives the new sheet when the import succeeds and is left alone otherwise.
LoadResult importMusicXmlFile(const std::string& path, std::unique_ptr<SheetDocument>& sheet);

// A name that says MusicXML: ending in .musicxml, .mxl or .xml, in any letter case.
bool hasMusicXmlFileName(std::string_view path);

// Whether a file opens through the MusicXML reader: an .mxl (or .musicxml) name on a zip
// archive, or text whose root element, after the XML declaration, comments and document type,
// is score-partwise or score-timewise. Reads the first 4 KB, and more only while a long comment
// or document type hides the root.
bool isMusicXmlFile(const std::string& path);

// The same test on the first bytes of a file and its name.
bool looksLikeMusicXml(std::string_view firstBytes, std::string_view path);

} // namespace tonvela
