#pragma once

// Reading compressed MusicXML files (.mxl): a zip archive whose META-INF/container.xml names
// the score inside it.

#include "platform/load_result.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tonvela {

// The largest score a container may unpack to; a larger entry is refused unread.
inline constexpr std::size_t kMaxMxlScoreBytes = 64u * 1024u * 1024u;
// Archives with more entries than this are refused (a score container holds a handful).
inline constexpr long long kMaxMxlEntries = 10000;

// Bytes that begin a zip archive ("PK", 3, 4).
bool looksLikeZipData(std::string_view firstBytes);

// Takes the score out of a compressed MusicXML file held in memory: reads
// META-INF/container.xml, takes its first rootfile (the first one of the MusicXML media type
// when several are listed) and unpacks that entry into `scoreXml`. An archive without a
// container gets its single score file at the top level, if it has exactly one.
//
// Nothing in the archive is trusted: an entry is unpacked only up to kMaxMxlScoreBytes
// whatever size its header claims, so a zip bomb stops there with a message; a rootfile path
// that is absolute or climbs out with ".." is refused; nothing is ever written to disk.
// Returns Invalid with a message for a damaged archive, a missing score or a refused entry.
LoadResult readMxlContainer(std::string_view zipBytes, std::string& scoreXml,
                            std::size_t maxScoreBytes = kMaxMxlScoreBytes);

} // namespace tonvela
