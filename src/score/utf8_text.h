#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tonvela {

// Texts enter a sheet from files (sheets, chord documents, MusicXML, MIDI) and from the lyric
// box; inside the program they are always valid UTF-8, so every text written out again (a
// saved sheet, a MusicXML export) is too.

// The length of the valid UTF-8 sequence that starts at `at` (1 to 4), or 0 when the bytes
// there are no valid sequence: no overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t utf8SequenceAt(std::string_view text, std::size_t at);

// `text` as valid UTF-8: every byte that begins no valid sequence becomes U+FFFD. For texts of
// files that are UTF-8 by definition (MusicXML) or of no known encoding (MIDI).
std::string validUtf8(std::string_view text);

// A text of the program's own files (sheets, chord documents), which older systems wrote as
// 8-bit text: valid UTF-8 stays and any other byte is read as Latin-1. One exception: a text
// of exactly `limit` bytes that ends inside a sequence held a character that an earlier
// release cut in half at that limit; the part left is dropped, as a cut on the character's
// boundary would have done.
std::string utf8FromEightBitText(std::string_view text, std::size_t limit = std::string_view::npos);

// At most `limit` bytes of `text`, never ending inside a UTF-8 sequence.
std::string cutUtf8(std::string_view text, std::size_t limit);

} // namespace tonvela
