// tonvela-cli info: what a document holds.

#include "cli/cli.h"

#include "score/play_time.h"
#include "score/sheet_document.h"
#include "score/staff_kind.h"
#include "score/track.h"
#include "theory/key_signature.h"

#include <charconv>
#include <cstdio>
#include <iostream>

namespace tonvela::cli {
namespace {

struct TrackCounts {
    int rests = 0;
    int chordRoots = 0;
    int chordMembers = 0;
};

TrackCounts countTrack(const Track& t)
{
    TrackCounts c;
    for (int i = 0; i < t.count; ++i) {
        const Note& n = t.noteAt(i);
        if (n.isRest())
            ++c.rests;
        if (n.chordparent != -1)
            ++c.chordMembers;
        else if (n.childCount > 0)
            ++c.chordRoots;
    }
    return c;
}

// The float as its shortest decimal text reads (0.9f prints as 0.9, not 0.8999999761581421).
double shortestDouble(float f)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, f);
    double d = 0;
    std::from_chars(buf, res.ptr, d);
    return d;
}

} // namespace

Json sheetInfoJson(const SheetDocument& sheet)
{
    Json info = Json::object();
    info.set("kind", "sheet");
    info.set("zoom", shortestDouble(sheet.zoomamount));
    info.set("timesig", sheet.timesig);
    Json tracks = Json::array();
    for (int i = 0; i < sheet.trackCount(); ++i) {
        const Track& t = *sheet.trackAt(i);
        const TrackCounts c = countTrack(t);
        Json j = Json::object();
        j.set("channel", t.channel);
        j.set("notes", t.count);
        j.set("rests", c.rests);
        j.set("chordRoots", c.chordRoots);
        j.set("chordMembers", c.chordMembers);
        j.set("tempo", t.tempo);
        j.set("drawmode", static_cast<int>(t.drawmode));
        j.set("percussive", t.percussive != 0);
        j.set("keyindex", t.keyindex);
        j.set("key", std::string(1, t.key));
        j.set("iid", t.iid);
        const long long playMs = totalPlayMs(t); // a walk through the whole track
        j.set("playTime", formatPlayTime(playMs));
        j.set("totalPlayMs", playMs);
        tracks.push(std::move(j));
    }
    info.set("tracks", std::move(tracks));
    return info;
}

std::string sheetInfoText(const SheetDocument& sheet)
{
    std::string out;
    char buf[256];
    const TimeSignatureInfo& ts = timeSignatureInfo(sheet.timesig);
    std::snprintf(buf, sizeof buf, "Time signature: %s (%d)\nZoom: %g\nTracks: %d\n", ts.text, sheet.timesig,
                  static_cast<double>(sheet.zoomamount), sheet.trackCount());
    out += buf;
    for (int i = 0; i < sheet.trackCount(); ++i) {
        const Track& t = *sheet.trackAt(i);
        const TrackCounts c = countTrack(t);
        const std::string staff(staffOf(t).name);
        const long long playMs = totalPlayMs(t); // a walk through the whole track
        std::snprintf(buf, sizeof buf,
                      "Track %d: %s, channel %d, program %d, key %s (index %d), tempo %d\n"
                      "  %d notes (%d rests), %d chords with %d members, play time %s (%lld ms)\n",
                      i + 1, staff.c_str(), t.channel, t.iid, keySignature(t.keyindex).text, t.keyindex,
                      t.tempo, t.count, c.rests, c.chordRoots, c.chordMembers, formatPlayTime(playMs).c_str(),
                      playMs);
        out += buf;
    }
    return out;
}

namespace {

const char* kUsage = "Usage: tonvela-cli info FILE [--json]\n"
                     "\n"
                     "Prints what a document holds: for a sheet its time signature, zoom and every track's\n"
                     "configuration, note, rest and chord counts and total play time.\n"
                     "\n"
                     "  --json   print one JSON object instead of text\n";

int runInfo(const std::vector<std::string>& words)
{
    const Args args = Args::parse(words, {});
    if (!args.error.empty())
        return fail(args.error);
    if (const auto bad = args.unknown({"json"}); !bad.empty())
        return fail("unknown option --" + bad.front() + " (see 'tonvela-cli info --help')");
    if (args.positional.size() != 1)
        return fail("info needs exactly one FILE (see 'tonvela-cli info --help')");
    const std::string& path = args.positional[0];
    const bool json = args.has("json");

    if (const DocumentHandler* h = documentHandlerFor(path))
        return h->info(path, json);

    std::string error;
    const SheetImporter* imp = importerFor(path);
    auto sheet = openSheet(path, error);
    if (!sheet)
        return fail(error);
    if (json) {
        Json info = sheetInfoJson(*sheet);
        std::string extraText;
        if (imp && imp->describe)
            imp->describe(path, info, extraText);
        std::cout << info.dump() << '\n';
    } else {
        std::string extraText;
        Json ignored = Json::object();
        if (imp && imp->describe)
            imp->describe(path, ignored, extraText);
        std::cout << "File: " << path << '\n' << extraText << sheetInfoText(*sheet);
    }
    return 0;
}

const CommandRegistration kInfo{{"info", "show what a sheet or other document holds", kUsage, runInfo}};

} // namespace
} // namespace tonvela::cli
