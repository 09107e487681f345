#include "score/track_element.h"

#include "score/markup_tree.h"
#include "score/note_element.h"
#include "score/track.h"
#include "theory/key_signature.h"

#include <algorithm>
#include <vector>

namespace tonvela {

std::string measureRepeatsText(const MeasureRepeatMarks& marks)
{
    std::string text;
    for (const int m : marks.measures()) {
        if (!text.empty())
            text += ',';
        text += std::to_string(m);
    }
    return text;
}

MeasureRepeatMarks parseMeasureRepeats(std::string_view text)
{
    std::vector<int> measures;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find(',', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view token = text.substr(pos, end - pos);
        while (!token.empty() && token.front() == ' ')
            token.remove_prefix(1);
        while (!token.empty() && token.back() == ' ')
            token.remove_suffix(1);
        // Plain decimal digits only; anything longer than the largest measure is no measure.
        bool digits = !token.empty() && token.size() <= 9;
        for (const char c : token)
            digits = digits && c >= '0' && c <= '9';
        if (digits) {
            const int m = readDecimalInt(token);
            if (m >= 1 && m <= kMaxRepeatedMeasure)
                measures.push_back(m);
        }
        pos = end + 1;
    }
    MeasureRepeatMarks marks;
    marks.assign(std::move(measures));
    return marks;
}

TrackConfig configOf(const Track& track)
{
    return {track.bpm,        track.devid,          track.iid,           track.groupid,
            track.key,        track.keyindex,       track.tempo,         track.drawmode,
            track.percussive, track.measureRepeats, track.braceWithNext, track.tuning};
}

namespace {

template <class NoteAt>
void writeTrack(const TrackConfig& config, int count, NoteAt&& noteAt, std::string& out)
{
    out += "<track>\r\n<config\r\n";
    auto put = [&](const char* name, long long v) {
        out += name;
        out += '=';
        out += std::to_string(v);
        out += ' ';
    };
    put("bpm", config.bpm);
    put("devid", config.devid);
    put("iid", config.iid);
    put("groupid", config.groupid);
    out += "key=";
    out += config.key;
    out += ' ';
    put("keyindex", config.keyindex);
    put("tempo", config.tempo);
    put("drawmode", config.drawmode);
    put("percussive", config.percussive ? 1 : 0);
    // Written only for a track with marks, so the files of other tracks stay as they were.
    if (!config.measureRepeats.empty()) {
        out += "repeats=\"";
        out += measureRepeatsText(config.measureRepeats);
        out += "\" ";
    }
    // Likewise only for the upper staff of a piano part.
    if (config.braceWithNext)
        put("brace", 1);
    // And the tuning only where it is not standard, the capo only where there is one.
    if (config.tuning.strings != GuitarTuning{}.strings) {
        out += "tuning=\"";
        out += tuningKeysText(config.tuning);
        out += "\" ";
    }
    if (config.tuning.capo > 0)
        put("capo", config.tuning.capo);
    out += ">\r\n</config>\r\n";
    for (int i = 0; i < count; ++i)
        writeNoteElement(noteAt(i), out);
    out += "</track>\r\n";
}

} // namespace

void writeTrackElement(const Track& track, std::string& out)
{
    writeTrack(
        configOf(track), track.count, [&track](int i) -> const NoteContent& { return track.noteAt(i); }, out);
}

void writeTrackElement(const TrackConfig& config, const std::vector<NoteContent>& notes, std::string& out)
{
    writeTrack(
        config, static_cast<int>(notes.size()),
        [&notes](int i) -> const NoteContent& { return notes[static_cast<std::size_t>(i)]; }, out);
}

namespace {

// A key character that would break the file or cannot name a pitch falls back to the tonic
// of the key row; a blank (an empty value in the file) is kept as it is.
bool keyCharIsWritable(char c)
{
    return c == ' ' || (c > ' ' && c < 127 && c != '"' && c != '<' && c != '>');
}

} // namespace

int readTrackElement(Track& track, const MarkupElement& element)
{
    int read = 0;
    int dropped = 0;
    for (const auto& childPtr : element.children) {
        const MarkupElement& child = *childPtr;
        if (child.name == "config") {
            track.bpm = intAttribute(child, "bpm", 120);
            track.devid = std::max(0, intAttribute(child, "devid", 0));
            track.iid = std::clamp(intAttribute(child, "iid", 0), 0, 127);
            track.groupid = std::clamp(intAttribute(child, "groupid", 0), 0, 15);
            track.keyindex = intAttribute(child, "keyindex", 7);
            track.key = charAttribute(child, "key", 'C');
            if (!keyCharIsWritable(track.key))
                track.key = keySignature(track.keyindex).tonic;
            // Tempo divides every length; keep it in a range where times stay meaningful.
            track.tempo = std::clamp(intAttribute(child, "tempo", 120), 1, 1000);
            const int mode = intAttribute(child, "drawmode", 0);
            track.drawmode = static_cast<uint8_t>(
                isStoredDrawmode(mode) ? mode : staffKindInfo(StaffKind::GClef).drawmode);
            track.percussive = intAttribute(child, "percussive", 0) != 0 ? 1 : 0;
            const std::string* repeats = child.findAttribute("repeats");
            track.measureRepeats = repeats ? parseMeasureRepeats(*repeats) : MeasureRepeatMarks{};
            track.braceWithNext = intAttribute(child, "brace", 0) != 0 ? 1 : 0;
            // A tuning that is not six keys is no tuning: the strings stay standard.
            track.tuning = {};
            if (const std::string* tuning = child.findAttribute("tuning"))
                if (const auto strings = parseTuningKeys(*tuning))
                    track.tuning.strings = *strings;
            track.tuning.capo = std::clamp(intAttribute(child, "capo", 0), 0, kMaxCapoFret);
        } else if (child.name == "note" && child.closed) {
            // A note the file ends inside is left out: its last value may be cut short (a
            // "midi=6" of a "midi=64") and would play wrong.
            if (read >= Track::kMaxNotes) {
                ++dropped;
            } else {
                Note& n = track.noteAt(read);
                n = Note();
                readNoteElement(n, child, staffKindOf(track));
                // A drum part has no accidentals; its rests, dots, triplets and ties stay.
                if (track.percussive)
                    n.dwFlag &= ~(kFlagFlat | kFlagSharp | kFlagNatural);
                ++read;
            }
        }
        if (track.keyindex > 7)
            track.flatKey = 1;
    }
    track.count = read;
    if (read > 0)
        track.freshTrack = 0;
    track.sanitizeLinks();
    track.rebuildChordLists();
    return dropped;
}

} // namespace tonvela
