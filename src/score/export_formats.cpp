#include "score/export_formats.h"

#include "score/lilypond_export.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"

#include <algorithm>
#include <cctype>

namespace tonvela {
namespace {

std::string lowered(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The file name without its folder: the caption a saved sheet takes.
std::string fileNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

void ExportFormats::add(ExportFormat format)
{
    format.extension = lowered(format.extension);
    for (ExportFormat& f : m_formats)
        if (f.extension == format.extension) {
            f = std::move(format);
            return;
        }
    m_formats.push_back(std::move(format));
}

const ExportFormat* ExportFormats::byExtension(std::string_view extension) const
{
    const std::string ext = lowered(extension);
    for (const ExportFormat& f : m_formats)
        if (f.extension == ext)
            return &f;
    return nullptr;
}

const ExportFormat* ExportFormats::forPath(std::string_view path) const
{
    const std::string ext = fileExtensionOf(path);
    return ext.empty() ? nullptr : byExtension(ext);
}

std::string fileExtensionOf(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return lowered(path.substr(dot));
}

void addScoreExportFormats(ExportFormats& formats)
{
    formats.add({"sheet", kSheetExtension, kSheetFilter, false,
                 [](SheetDocument& sheet, const std::string& path, const ExportOptions&) {
                     return saveSheet(sheet, fileNameOf(path), path);
                 }});
    formats.add({"LilyPond", kLilypondExtension, kLilypondFilter, false,
                 [](SheetDocument& sheet, const std::string& path, const ExportOptions&) {
                     return exportLilypond(sheet, fileNameOf(path), path);
                 }});
}

} // namespace tonvela
