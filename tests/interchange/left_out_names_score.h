#pragma once

// A MusicXML score built at test time: `notes` quarter notes, each with a notation of its own
// name that the sheet cannot hold, every name `nameLength` characters long (10 000 notes with
// names of 2 000 characters make the warning of an unbounded reader 20 MB long).

#include <string>

namespace tonvela::testing {

inline std::string scoreWithDistinctLeftOutNames(int notes, std::size_t nameLength)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<score-partwise version=\"4.0\"><part-list><score-part id=\"P1\"><part-name>Flood"
                      "</part-name></score-part></part-list><part id=\"P1\">";
    out.reserve(static_cast<std::size_t>(notes) * (nameLength + 120));
    for (int i = 0; i < notes; ++i) {
        if (i % 4 == 0) {
            if (i > 0)
                out += "</measure>";
            out += "<measure number=\"" + std::to_string(i / 4 + 1) + "\">";
            if (i == 0)
                out +=
                    "<attributes><divisions>1</divisions><key><fifths>0</fifths></key><time><beats>4</beats>"
                    "<beat-type>4</beat-type></time><clef><sign>G</sign><line>2</line></clef></attributes>";
        }
        std::string name = "mark-" + std::to_string(i) + "-";
        if (name.size() < nameLength)
            name.append(nameLength - name.size(), 'x');
        out +=
            "<note><pitch><step>C</step><octave>5</octave></pitch><duration>1</duration><type>quarter</type>"
            "<notations><" +
            name + "/></notations></note>";
    }
    out += "</measure></part></score-partwise>\n";
    return out;
}

} // namespace tonvela::testing
