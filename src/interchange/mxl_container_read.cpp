#include "interchange/mxl_container_read.h"

#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace tonvela {
namespace {

struct ArchiveCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
struct EntryCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;
using Entry = std::unique_ptr<zip_file_t, EntryCloser>;

LoadResult invalid(std::string message)
{
    return LoadResult::failure(LoadStatus::Invalid, std::move(message));
}

// A path inside the archive that names a file below its top: no leading slash, no drive, no
// backslashes and no ".." step.
bool safeEntryPath(std::string_view path)
{
    if (path.empty() || path.front() == '/' || path.find('\\') != std::string_view::npos ||
        path.find(':') != std::string_view::npos || path.find('\0') != std::string_view::npos)
        return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (path.substr(start, end - start) == "..")
            return false;
        start = end + 1;
    }
    return true;
}

// Unpacks one entry, never more than `limit` bytes: the size in the entry's header is only a
// claim, so reading stops one byte past the limit and refuses the entry then.
LoadResult readEntry(zip_t* zip, zip_int64_t index, const std::string& name, std::size_t limit,
                     std::string& out)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip, static_cast<zip_uint64_t>(index), 0, &st) != 0)
        return invalid("the compressed MusicXML file is damaged (its entry \"" + name + "\" cannot be read)");
    if ((st.valid & ZIP_STAT_SIZE) && st.size > limit)
        return invalid("the score \"" + name + "\" inside the compressed MusicXML file would unpack to " +
                       std::to_string(st.size / (1024 * 1024)) + " MB, more than the " +
                       std::to_string(limit / (1024 * 1024)) + " MB a score may have");
    Entry file(zip_fopen_index(zip, static_cast<zip_uint64_t>(index), 0));
    if (!file)
        return invalid("the compressed MusicXML file is damaged or encrypted (its entry \"" + name +
                       "\" cannot be unpacked)");
    out.clear();
    std::vector<char> buf(64 * 1024);
    for (;;) {
        const zip_int64_t got = zip_fread(file.get(), buf.data(), buf.size());
        if (got < 0)
            return invalid("the compressed MusicXML file is damaged (unpacking \"" + name + "\" failed)");
        if (got == 0)
            break;
        if (out.size() + static_cast<std::size_t>(got) > limit)
            return invalid("the score \"" + name +
                           "\" inside the compressed MusicXML file unpacks to more than the " +
                           std::to_string(limit / (1024 * 1024)) + " MB a score may have");
        out.append(buf.data(), static_cast<std::size_t>(got));
    }
    return {};
}

bool isScoreName(std::string_view name)
{
    const auto endsWith = [&](std::string_view s) {
        return name.size() >= s.size() && name.substr(name.size() - s.size()) == s;
    };
    return endsWith(".xml") || endsWith(".musicxml");
}

} // namespace

bool looksLikeZipData(std::string_view firstBytes)
{
    return firstBytes.size() >= 4 && firstBytes.substr(0, 4) == std::string_view("PK\x03\x04", 4);
}

LoadResult readMxlContainer(std::string_view zipBytes, std::string& scoreXml, std::size_t maxScoreBytes)
{
    if (!looksLikeZipData(zipBytes))
        return LoadResult::failure(LoadStatus::WrongKind,
                                   "not a compressed MusicXML file (it is not a zip archive)");
    zip_error_t error;
    zip_error_init(&error);
    // The buffer stays owned by the caller (no free flag) and outlives the archive.
    zip_source_t* source = zip_source_buffer_create(zipBytes.data(), zipBytes.size(), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        return invalid("the compressed MusicXML file cannot be read");
    }
    Archive zip(zip_open_from_source(source, ZIP_RDONLY, &error));
    if (!zip) {
        zip_source_free(source);
        std::string why = zip_error_strerror(&error);
        zip_error_fini(&error);
        return invalid("the compressed MusicXML file is not a readable zip archive (" + why + ")");
    }
    zip_error_fini(&error);
    const zip_int64_t entries = zip_get_num_entries(zip.get(), 0);
    if (entries < 0 || entries > kMaxMxlEntries)
        return invalid("the compressed MusicXML file holds " + std::to_string(entries) +
                       " entries; a score container holds a few");

    std::string rootPath;
    const zip_int64_t containerIndex = zip_name_locate(zip.get(), "META-INF/container.xml", ZIP_FL_NOCASE);
    if (containerIndex >= 0) {
        std::string container;
        // The container is a few lines; a large one is not a container.
        if (LoadResult r =
                readEntry(zip.get(), containerIndex, "META-INF/container.xml", 1024 * 1024, container);
            !r.ok())
            return r;
        pugi::xml_document doc;
        if (!doc.load_buffer(container.data(), container.size()))
            return invalid("the compressed MusicXML file's META-INF/container.xml is not well-formed XML");
        pugi::xml_node chosen;
        for (pugi::xml_node root : doc.child("container").child("rootfiles").children("rootfile")) {
            const std::string type = root.attribute("media-type").as_string();
            if (!chosen || (type == "application/vnd.recordare.musicxml+xml" &&
                            std::string(chosen.attribute("media-type").as_string()) !=
                                "application/vnd.recordare.musicxml+xml"))
                chosen = root;
        }
        if (!chosen)
            return invalid("the compressed MusicXML file's META-INF/container.xml names no score");
        rootPath = chosen.attribute("full-path").as_string();
        if (!safeEntryPath(rootPath))
            return invalid("the compressed MusicXML file names its score as \"" + rootPath +
                           "\", a path outside the archive");
    } else {
        // Without a container: the one score file at the top of the archive.
        int found = 0;
        for (zip_int64_t i = 0; i < entries; ++i) {
            const char* name = zip_get_name(zip.get(), static_cast<zip_uint64_t>(i), 0);
            const std::string_view n = name ? name : "";
            if (n.find('/') == std::string_view::npos && isScoreName(n)) {
                rootPath = std::string(n);
                ++found;
            }
        }
        if (found != 1)
            return invalid("the compressed MusicXML file has no META-INF/container.xml naming its score");
    }
    const zip_int64_t index = zip_name_locate(zip.get(), rootPath.c_str(), 0);
    if (index < 0)
        return invalid("the compressed MusicXML file names its score \"" + rootPath +
                       "\", which it does not hold");
    return readEntry(zip.get(), index, rootPath, maxScoreBytes, scoreXml);
}

} // namespace tonvela
