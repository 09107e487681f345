#include "audio/riff.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tonvela::audio {
namespace {

constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kTypeBytes = 4;
// Lists nested deeper than this are reported as plain chunks and not entered: real files nest
// two levels, and the limit bounds the walk's own memory whatever the file says.
constexpr int kMaxDepth = 16;

std::string_view fourcc(const unsigned char* p)
{
    return {reinterpret_cast<const char*>(p), 4};
}

// Chunk ids are four printable ASCII characters.
bool plausibleId(const unsigned char* p)
{
    return std::all_of(p, p + 4, [](unsigned char c) { return c >= 0x20 && c <= 0x7E; });
}

// Where the chunk after one whose body ends at `bodyEnd` starts, inside a list ending at `end`.
std::size_t nextChunk(const unsigned char* bytes, std::size_t bodyEnd, bool oddSize, std::size_t end)
{
    if (!oddSize || bodyEnd >= end)
        return bodyEnd;
    const std::size_t padded = bodyEnd + 1;
    const bool paddedFits = padded + kHeaderBytes <= end && plausibleId(bytes + padded);
    const bool unpaddedFits = bodyEnd + kHeaderBytes <= end && plausibleId(bytes + bodyEnd);
    return !paddedFits && unpaddedFits ? bodyEnd : padded;
}

struct OpenList {
    std::string_view type;
    std::size_t end;      // first byte after the list's body
    std::size_t resumeAt; // where the walk goes on once the list is done
};

} // namespace

RiffForm walkRiff(const unsigned char* bytes, std::size_t size,
                  const std::function<void(const RiffChunk&)>& visit)
{
    RiffForm form;
    if (!bytes || size < kHeaderBytes + kTypeBytes || fourcc(bytes) != "RIFF")
        return form;
    form.isRiff = true;
    form.formType = fourcc(bytes + kHeaderBytes);
    form.sizeMismatch = uint64_t{le32(bytes + 4)} + kHeaderBytes != size;

    std::vector<OpenList> open{{form.formType, size, size}};
    std::size_t pos = kHeaderBytes + kTypeBytes;
    while (!open.empty()) {
        const OpenList list = open.back();
        if (pos + kHeaderBytes > list.end) {
            // Fewer bytes than a chunk header are left in this list: it is done.
            open.pop_back();
            pos = list.resumeAt;
            continue;
        }
        RiffChunk chunk;
        chunk.id = fourcc(bytes + pos);
        chunk.parentType = list.type;
        chunk.depth = static_cast<int>(open.size());
        const uint32_t declared = le32(bytes + pos + 4);
        const std::size_t body = pos + kHeaderBytes;
        const std::size_t available = list.end - body;
        const std::size_t length = std::min<std::size_t>(declared, available);
        chunk.truncated = length < declared;
        chunk.offset = body;
        chunk.size = length;
        const std::size_t after =
            chunk.truncated ? list.end : nextChunk(bytes, body + length, (declared & 1U) != 0, list.end);
        const bool isList = chunk.id == "LIST" && length >= kTypeBytes && chunk.depth < kMaxDepth;
        if (isList) {
            chunk.listType = fourcc(bytes + body);
            chunk.offset = body + kTypeBytes;
            chunk.size = length - kTypeBytes;
        }
        visit(chunk);
        if (isList) {
            open.push_back({chunk.listType, body + length, after});
            pos = chunk.offset;
        } else {
            pos = after;
        }
    }
    return form;
}

} // namespace tonvela::audio
