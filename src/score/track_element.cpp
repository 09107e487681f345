#include "score/track_element.h"

#include "score/markup_tree.h"
#include "score/note_element.h"
#include "score/track.h"
#include "theory/key_signature.h"

#include <algorithm>

namespace tonvela {

void writeTrackElement(const Track& track, std::string& out)
{
    out += "<track>\r\n<config\r\n";
    auto put = [&](const char* name, long long v) {
        out += name;
        out += '=';
        out += std::to_string(v);
        out += ' ';
    };
    put("bpm", track.bpm);
    put("devid", track.devid);
    put("iid", track.iid);
    put("groupid", track.groupid);
    out += "key=";
    out += track.key;
    out += ' ';
    put("keyindex", track.keyindex);
    put("tempo", track.tempo);
    put("drawmode", track.drawmode);
    put("percussive", track.percussive ? 1 : 0);
    out += ">\r\n</config>\r\n";
    for (int i = 0; i < track.count; ++i)
        writeNoteElement(track.noteAt(i), out);
    out += "</track>\r\n";
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
            track.drawmode = static_cast<uint8_t>(mode >= 0 && mode <= kDrawFifthKind ? mode : kDrawGClef);
            track.percussive = intAttribute(child, "percussive", 0) != 0 ? 1 : 0;
        } else if (child.name == "note" && child.closed) {
            // A note the file ends inside is left out: its last value may be cut short (a
            // "midi=6" of a "midi=64") and would play wrong.
            if (read >= Track::kMaxNotes) {
                ++dropped;
            } else {
                Note& n = track.noteAt(read);
                n = Note();
                readNoteElement(n, child, track.drawmode);
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
