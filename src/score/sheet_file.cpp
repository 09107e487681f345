#include "score/sheet_file.h"

#include "score/system_repeats.h"

#include "platform/sheet_lock.h"
#include "score/markup_text.h"
#include "score/markup_tree.h"
#include "score/sheet_document.h"
#include "score/track_element.h"
#include "score/utf8_text.h"

#include <algorithm>
#include <cmath>

namespace tonvela {

namespace {

// The sheet's texts as the file names them, in the order they are written.
constexpr std::pair<const char*, std::string SheetTexts::*> kSheetTextAttributes[] = {
    {"title", &SheetTexts::title},         {"subtitle", &SheetTexts::subtitle},
    {"composer", &SheetTexts::composer},   {"lyricist", &SheetTexts::lyricist},
    {"copyright", &SheetTexts::copyright},
};

void writeSheetHead(float zoom, int timesig, int64_t pickup, const std::vector<RepeatRange>& ranges,
                    const SheetTexts& texts, bool chordDiagrams, const PageSetup& page, std::size_t notes,
                    std::string& out)
{
    out.reserve(256 + notes * 48);
    out += "<staffdoc\r\nzoomamount=";
    out += formatShortReal(zoom);
    out += "\r\ntimesig=";
    out += std::to_string(timesig);
    // Only a sheet with a pickup says so: older readers pass the attribute over.
    if (pickup > 0) {
        out += "\r\npickup=";
        out += std::to_string(pickup);
    }
    // Likewise the repeated passages, only when the sheet has some.
    if (!ranges.empty()) {
        out += "\r\nrepeatranges=\"";
        out += repeatRangesText(ranges);
        out += '"';
    }
    for (const auto& [name, field] : kSheetTextAttributes) {
        const std::string& text = texts.*field;
        if (text.empty())
            continue;
        out += "\r\n";
        out += name;
        out += "=\"";
        out += escapeMarkupText(text);
        out += '"';
    }
    if (chordDiagrams)
        out += "\r\nchorddiagrams=1";
    appendPageSetupAttributes(page, out);
    out += "\r\n>\r\n";
}

constexpr const char* kSheetTail = "<measures>\r\n</measures>\r\n</staffdoc>\r\n";

} // namespace

std::string sheetToText(const SheetDocument& sheet)
{
    std::string out;
    std::size_t notes = 0;
    for (int t = 0; t < sheet.trackCount(); ++t)
        notes += static_cast<std::size_t>(sheet.trackAt(t)->count);
    writeSheetHead(sheet.zoomamount, sheet.timesig, sheet.pickup, sheet.repeatRanges, sheet.texts,
                   sheet.chordDiagrams, sheet.pageSetup, notes, out);
    for (int t = 0; t < sheet.trackCount(); ++t)
        writeTrackElement(*sheet.trackAt(t), out);
    out += kSheetTail;
    return out;
}

SheetCopy copySheet(const SheetDocument& sheet)
{
    SheetCopy copy;
    copy.zoomamount = sheet.zoomamount;
    copy.timesig = sheet.timesig;
    copy.pickup = sheet.pickup;
    copy.repeatRanges = sheet.repeatRanges;
    copy.texts = sheet.texts;
    copy.chordDiagrams = sheet.chordDiagrams;
    copy.pageSetup = sheet.pageSetup;
    copy.tracks.resize(static_cast<std::size_t>(sheet.trackCount()));
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const Track& track = *sheet.trackAt(t);
        SheetCopy::TrackCopy& to = copy.tracks[static_cast<std::size_t>(t)];
        to.config = configOf(track);
        to.notes.reserve(static_cast<std::size_t>(track.count));
        for (int i = 0; i < track.count; ++i)
            to.notes.push_back(track.noteAt(i).content());
    }
    return copy;
}

std::string sheetCopyText(const SheetCopy& copy)
{
    std::string out;
    std::size_t notes = 0;
    for (const auto& track : copy.tracks)
        notes += track.notes.size();
    writeSheetHead(copy.zoomamount, copy.timesig, copy.pickup, copy.repeatRanges, copy.texts,
                   copy.chordDiagrams, copy.pageSetup, notes, out);
    for (const auto& track : copy.tracks)
        writeTrackElement(track.config, track.notes, out);
    out += kSheetTail;
    return out;
}

FileResult saveSheet(SheetDocument& sheet, const std::string& caption, const std::string& path)
{
    const std::string text = sheetToText(sheet);
    FileResult res = writeFileAtomically(path, text);
    if (res)
        sheet.setPathAndCaption(caption, path);
    return res;
}

namespace {

float sanitizedZoom(const std::string& value)
{
    float z = floatValue(value, 1.0f);
    if (!std::isfinite(z) || z <= 0.0f)
        return 1.0f;
    return std::clamp(z, kMinZoom, kMaxZoom);
}

LoadResult applyTree(SheetDocument& sheet, const MarkupTree& tree)
{
    LoadResult result;
    if (tree.root.name != "staffdoc")
        return LoadResult::failure(LoadStatus::WrongKind, "The file is not a sheet document");
    sheet.removeAllTracks();
    sheet.texts = {};
    sheet.chordDiagrams = false;
    sheet.pageSetup = {};
    int64_t pickup = 0;
    std::vector<RepeatRange> ranges;
    for (const auto& [name, value] : tree.root.attributes) {
        if (readPageSetupAttribute(name, value, sheet.pageSetup))
            continue;
        for (const auto& [textName, field] : kSheetTextAttributes)
            if (name == textName)
                sheet.texts.*field =
                    cutUtf8(utf8FromEightBitText(unescapeMarkupText(value)), kMaxSheetTextBytes);
        if (name == "zoomamount") {
            sheet.zoomamount = sanitizedZoom(value);
        } else if (name == "timesig") {
            sheet.timesig = value.empty() ? kTimeSig44 : readDecimalInt(value);
        } else if (name == "pickup") {
            pickup = readDecimalInt(value);
        } else if (name == "repeatranges") {
            ranges = parseRepeatRanges(unescapeMarkupText(value));
        } else if (name == "chorddiagrams") {
            sheet.chordDiagrams = readDecimalInt(value) != 0;
        }
    }
    int tracks = 0;
    int skippedTracks = 0;
    for (const auto& child : tree.root.children) {
        if (child->name != "track")
            continue;
        if (tracks >= kMaxLoadedTracks) {
            ++skippedTracks;
            continue;
        }
        Track& track = sheet.addTrack();
        const int dropped = readTrackElement(track, *child);
        if (dropped > 0)
            result.warnings.push_back("Track " + std::to_string(tracks + 1) + ": " + std::to_string(dropped) +
                                      " notes beyond the limit of " + std::to_string(Track::kMaxNotes) +
                                      " were not loaded");
        ++tracks;
    }
    if (!tree.complete())
        result.warnings.emplace_back(kSheetCutOffWarning);
    if (skippedTracks > 0)
        result.warnings.push_back(std::to_string(skippedTracks) + " tracks beyond the limit of " +
                                  std::to_string(kMaxLoadedTracks) + " were not loaded");
    sheet.setTrackCount(tracks);
    sheet.selectTrack(0);
    // A pickup no shorter than a measure (or a damaged value) is none.
    sheet.pickup = validPickup(pickup, sheet.timesig);
    for (int t = 0; t < sheet.trackCount(); ++t) {
        sheet.trackAt(t)->timeSig = sheet.timesig;
        sheet.trackAt(t)->pickupTicks = sheet.pickup;
    }
    sheet.setRepeatRanges(ranges);
    // A measure repeats in every part or in none: a file whose tracks disagree (they played out
    // of step) loads with the mark on all of them.
    unifyMeasureRepeats(sheet);
    return result;
}

} // namespace

LoadResult loadSheetFromText(SheetDocument& sheet, std::string_view text)
{
    SheetLockGuard lock(sheetLock());
    const MarkupTree tree = parseMarkup(text);
    LoadResult result = applyTree(sheet, tree);
    sheet.announce({SheetChange::Load});
    return result;
}

LoadResult loadSheet(SheetDocument& sheet, const std::string& caption, const std::string& path)
{
    SheetLockGuard lock(sheetLock());
    std::string content;
    const FileResult read = readWholeFile(path, content, kMaxMarkupFileBytes);
    if (!read)
        return LoadResult::failure(LoadStatus::Unreadable, read.error);
    // The sheet takes the file's caption and path; the modified mark stays as it was.
    sheet.caption = caption;
    sheet.path = path;
    sheet.refreshWindowText();
    return loadSheetFromText(sheet, content);
}

} // namespace tonvela
