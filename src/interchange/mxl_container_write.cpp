#include "interchange/mxl_container_write.h"

#include "interchange/musicxml_export.h"

#include <pugixml.hpp>
#include <zip.h>

#include <memory>
#include <sstream>

namespace tonvela {
namespace {

constexpr const char* kMimeType = "application/vnd.recordare.musicxml";

std::string containerXml(const std::string& scoreName)
{
    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version").set_value("1.0");
    decl.append_attribute("encoding").set_value("UTF-8");
    pugi::xml_node root = doc.append_child("container").append_child("rootfiles").append_child("rootfile");
    root.append_attribute("full-path").set_value(scoreName.c_str());
    root.append_attribute("media-type").set_value("application/vnd.recordare.musicxml+xml");
    std::ostringstream os;
    doc.save(os, "  ", pugi::format_default, pugi::encoding_utf8);
    return os.str();
}

std::string zipErrorText(zip_error_t* e)
{
    const char* s = zip_error_strerror(e);
    return s ? s : "unknown zip error";
}

// Adds a copy of `data` under `name`; the archive owns the copy from then on.
bool addEntry(zip_t* archive, const char* name, const std::string& data, bool compress, std::string& error)
{
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* src = zip_source_buffer_create(data.data(), data.size(), 0, &err);
    if (!src) {
        error = zipErrorText(&err);
        zip_error_fini(&err);
        return false;
    }
    zip_error_fini(&err);
    const zip_int64_t index = zip_file_add(archive, name, src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (index < 0) {
        zip_source_free(src);
        error = zip_strerror(archive);
        return false;
    }
    if (zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0) != 0) {
        error = zip_strerror(archive);
        return false;
    }
    return true;
}

} // namespace

bool mxlArchiveBytes(const std::string& scoreName, const std::string& scoreText, std::string& out,
                     std::string& error)
{
    out.clear();
    const std::string mime = kMimeType;
    const std::string container = containerXml(scoreName);
    zip_error_t err;
    zip_error_init(&err);
    // The archive is built in memory; the buffer source keeps what zip_close writes.
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &err);
    if (!buffer) {
        error = zipErrorText(&err);
        zip_error_fini(&err);
        return false;
    }
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &err);
    if (!archive) {
        error = zipErrorText(&err);
        zip_error_fini(&err);
        zip_source_free(buffer);
        return false;
    }
    zip_error_fini(&err);
    // The archive releases its hold on the buffer when it closes; this one keeps it for reading.
    zip_source_keep(buffer);
    std::unique_ptr<zip_source_t, decltype(&zip_source_free)> keep(buffer, zip_source_free);
    const bool added = addEntry(archive, "mimetype", mime, false, error) &&
                       addEntry(archive, "META-INF/container.xml", container, true, error) &&
                       addEntry(archive, scoreName.c_str(), scoreText, true, error);
    if (!added) {
        zip_discard(archive);
        return false;
    }
    if (zip_close(archive) != 0) {
        error = zip_strerror(archive);
        zip_discard(archive);
        return false;
    }
    if (zip_source_open(buffer) != 0) {
        error = "cannot read the archive back";
        return false;
    }
    if (zip_source_seek(buffer, 0, SEEK_END) == 0) {
        const zip_int64_t size = zip_source_tell(buffer);
        zip_source_seek(buffer, 0, SEEK_SET);
        if (size > 0) {
            out.resize(static_cast<std::size_t>(size));
            if (zip_source_read(buffer, out.data(), static_cast<zip_uint64_t>(size)) != size) {
                out.clear();
                error = "cannot read the archive back";
            }
        }
    }
    zip_source_close(buffer);
    return !out.empty();
}

FileResult exportMxl(const SheetDocument& sheet, const std::string& title, const std::string& path)
{
    std::string text;
    std::string error;
    std::string bytes;
    std::vector<std::string> warnings;
    if (!musicXmlText(sheet, title, text, error, &warnings) ||
        !mxlArchiveBytes(kMxlScoreName, text, bytes, error))
        return FileResult::failure("could not write \"" + path + "\": " + error);
    FileResult result = writeFileAtomically(path, bytes);
    if (result)
        result.warnings = std::move(warnings);
    return result;
}

} // namespace tonvela
