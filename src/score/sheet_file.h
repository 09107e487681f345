#pragma once

#include "platform/atomic_file.h"
#include "platform/load_result.h"
#include "score/sheet_document.h"
#include "score/track_element.h"

#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

inline constexpr const char* kSheetFilter = "Sheet Document Files(*.shd)";
inline constexpr const char* kSheetExtension = ".shd";
// A sheet file may carry more tracks than the panel offers (older files hold 16); beyond this
// many the rest are not loaded.
inline constexpr int kMaxLoadedTracks = 64;
// The warning of a sheet file that ends before its closing line, as a save cut short leaves it.
inline constexpr const char* kSheetCutOffWarning =
    "The file is cut off before its end: the notes up to the cut were loaded, anything after it is missing";

// The longest text of a sheet's title, composer, ... that a file gives; longer ones are cut.
inline constexpr std::size_t kMaxSheetTextBytes = 1024;

// The .shd text of a sheet, CR LF line ends. The sheet's texts (title, subtitle, composer,
// lyricist, copyright) follow the time signature as quoted attributes, each only when set.
std::string sheetToText(const SheetDocument& sheet);

// What a sheet file holds, copied out of the sheet: the sheet settings, and every track's
// settings and note contents. Taking it is a copy of plain arrays; writing its text can then
// run on another thread while the sheet is edited on.
struct SheetCopy {
    struct TrackCopy {
        TrackConfig config;
        std::vector<NoteContent> notes;
    };
    float zoomamount = kDefaultZoom;
    int timesig = kTimeSig44;
    int64_t pickup = 0;
    std::vector<RepeatRange> repeatRanges;
    SheetTexts texts;
    bool chordDiagrams = false;
    PageSetup pageSetup;
    std::vector<TrackCopy> tracks;
};
// Takes the copy under the sheet lock.
SheetCopy copySheet(const SheetDocument& sheet);
// The .shd text of the copy: the text sheetToText gave for the sheet at the copy's moment.
std::string sheetCopyText(const SheetCopy& copy);

// Writes the sheet atomically. On success the sheet takes the path and caption and loses its
// modified mark; on failure it keeps all three and the old file stays as it was.
FileResult saveSheet(SheetDocument& sheet, const std::string& caption, const std::string& path);

// Replaces the sheet's tracks and settings from a file, under the sheet lock. A file whose
// root is not "staffdoc" (WrongKind) changes nothing but the caption and path. A file that
// cannot be read (Unreadable) changes nothing at all, so a later save cannot overwrite a file
// that was never shown. Warnings name what a file held beyond the limits and was left out.
LoadResult loadSheet(SheetDocument& sheet, const std::string& caption, const std::string& path);
// The same from text already in memory (path and caption untouched).
LoadResult loadSheetFromText(SheetDocument& sheet, std::string_view text);

} // namespace tonvela
