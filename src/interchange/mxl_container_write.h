#pragma once

// The compressed MusicXML file (.mxl): a zip archive holding the score and the container
// description that names it.

#include "platform/atomic_file.h"

#include <string>

namespace tonvela {

class SheetDocument;

// The name of the score inside the archives this program writes.
inline constexpr const char* kMxlScoreName = "score.musicxml";

// The bytes of an .mxl archive: "mimetype" first and stored uncompressed
// ("application/vnd.recordare.musicxml"), then META-INF/container.xml naming `scoreName` as the
// root file, then the score text itself, compressed. False with `error` when the archive cannot
// be built.
bool mxlArchiveBytes(const std::string& scoreName, const std::string& scoreText, std::string& out,
                     std::string& error);

// Writes the sheet as an .mxl file, atomically: on failure the old file stays and the result
// says why.
FileResult exportMxl(const SheetDocument& sheet, const std::string& title, const std::string& path);

} // namespace tonvela
