#pragma once

#include <string>

namespace tonvela {

// Text from a sheet (lyrics, names) as clean UTF-8 for formats that require it: valid UTF-8
// sequences are kept, every other byte is read as Latin-1 (text typed on older systems), and
// control characters become blanks.
std::string utf8FromSheetText(const std::string& text);

} // namespace tonvela
