#pragma once

// The formats a sheet can be written in, each registered once by the library that writes it:
// the command-line tool's `convert` and the desktop's export commands both offer what is
// registered here. A new format is a writer function and one ExportFormat row added by its
// library's add...ExportFormats function.

#include "platform/atomic_file.h"

#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

class SheetDocument;

// Every track, as ExportOptions::track.
inline constexpr int kEveryTrack = -1;

struct ExportOptions {
    // The one track to write (an index of the sheet), or every track; only formats that can
    // write a track alone (ExportFormat::oneTrack) look at it.
    int track = kEveryTrack;
};

struct ExportFormat {
    std::string name;      // "LilyPond", "MIDI", ...: how messages name it
    std::string extension; // ".ly": lower case, with its dot
    std::string filter;    // the save dialog's filter text: "Lilypond File(*.ly)"
    bool oneTrack = false; // it can write one track alone
    // Writes the file atomically: on failure the old file stays and the result says why. A
    // format that is the sheet's own (.shd) gives the sheet its new path.
    FileResult (*write)(SheetDocument& sheet, const std::string& path,
                        const ExportOptions& options) = nullptr;
};

// A list of export formats, by extension.
class ExportFormats {
  public:
    // Adds a format; one with the same extension is replaced.
    void add(ExportFormat format);
    // The format of an extension (".mid", any case); null when none is registered.
    const ExportFormat* byExtension(std::string_view extension) const;
    // The format a file name asks for by its extension; null when none.
    const ExportFormat* forPath(std::string_view path) const;
    const std::vector<ExportFormat>& all() const { return m_formats; }

  private:
    std::vector<ExportFormat> m_formats;
};

// The formats of the score itself: the sheet file (.shd) and LilyPond (.ly).
void addScoreExportFormats(ExportFormats& formats);

// The lower-cased extension of a file name with its dot ("" when it has none).
std::string fileExtensionOf(std::string_view path);

} // namespace tonvela
