#pragma once

#include <string>
#include <string_view>

namespace tonvela {

// Quoted texts in document files (lyrics, labels, file names) may not carry the characters
// that end a token or a quoted value. Those, and '%' itself, are written as %22 %3C %3E %0D
// %0A %09 %25; every other character stays as it is, so files without them are unchanged.
std::string escapeMarkupText(std::string_view text);
// Decodes exactly the seven sequences above; any other '%' stays as it is.
std::string unescapeMarkupText(std::string_view text);

// The file-name part of a path (after the last '/' or '\').
std::string fileNamePart(std::string_view path);

// A real number in the shortest general form with at most six significant digits
// (0.9 -> "0.9", 1.0 -> "1", 1.25 -> "1.25").
std::string formatShortReal(double value);

} // namespace tonvela
