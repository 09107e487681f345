#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace tonvela::audio {

// One chunk of a RIFF file as the walk meets it. The views point into the walked bytes.
struct RiffChunk {
    std::string_view id;         // four characters: "fmt ", "data", "LIST", "smpl", ...
    std::string_view listType;   // of a LIST chunk its list type ("INFO", "sdta"); else empty
    std::string_view parentType; // the form type of the RIFF ("WAVE") or the list type of the LIST
                                 // the chunk sits in
    int depth = 1;               // 1 for a chunk of the RIFF form itself, 2 inside a LIST of it, ...
    std::size_t offset = 0;      // first byte of the body (of a LIST: after its list type)
    std::size_t size = 0;        // body bytes, cut where the enclosing chunk or the file ends
    bool truncated = false;      // the size field reached past the enclosing chunk or the file
};

// What the RIFF header says.
struct RiffForm {
    bool isRiff = false;       // the bytes start with "RIFF", a size and a form type
    std::string_view formType; // "WAVE", "sfbk", ...
    bool sizeMismatch = false; // the RIFF size + 8 differs from the number of bytes
};

// Walks a RIFF file chunk by chunk, by the sizes the chunks give, and calls `visit` for each in
// file order, a LIST before the chunks inside it. So bytes inside a chunk (text of a comment
// that reads "data") are never taken for a chunk of their own.
//
// Sizes are never trusted past the end: a chunk that claims more than its LIST or the file
// holds is cut there and marked truncated, and the walk of that LIST ends with it. The RIFF
// chunk itself is taken to reach the end of the bytes whatever its size says (a wrong size is
// reported in sizeMismatch), so a file whose RIFF size is a few bytes off still reads whole.
// A chunk of odd size is followed by a pad byte; where a writer left the pad out, the next
// chunk is found at the unpadded position. Bytes that are no RIFF file are not walked.
RiffForm walkRiff(const unsigned char* bytes, std::size_t size,
                  const std::function<void(const RiffChunk&)>& visit);

// Little-endian numbers of RIFF files.
inline uint16_t le16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t le32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace tonvela::audio
