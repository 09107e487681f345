#pragma once

// Sheets built note by note and the MusicXML they export, read back with pugixml.

#include "interchange/musicxml_export.h"
#include "score/note.h"
#include "score/sheet_document.h"
#include "score/track.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace tonvela::testing {

// A note at a staff position with a kind and flags; the stored key is the position's natural.
inline Note makeNote(int line, int type = kTypeQuarter, int flags = 0)
{
    Note n;
    n.setStaffPosition(line);
    n.type = type;
    n.dwFlag = flags;
    return n;
}

inline Note& append(Track& t, const Note& n)
{
    t.insertNote(n, t.count);
    t.rebuildChordLists();
    return t.noteAt(t.count - 1);
}

// A chord: the first note the root, the others its members.
inline void appendChord(Track& t, std::vector<Note> notes)
{
    const int root = t.count;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        notes[i].chordparent = static_cast<int16_t>(i == 0 ? -1 : root);
        t.insertNote(notes[i], t.count);
    }
    t.rebuildChordLists();
}

// A note of the staff's second voice.
inline Note inVoice2(Note n)
{
    n.voice = kVoice2;
    return n;
}

// 4/4, one staff with two voices, the notes in the track's order (voice 1 first where both start
// together), sounding:
//   1: voice 1 E4 half, G4 half (chord symbol C); voice 2 C3 D3 E3 F3 quarters (Am on the C3)
//   2: voice 1 D5 whole; voice 2 silent
//   3: voice 1 E5 whole; voice 2 triplet quarters C3 D3 E3, then G3 half tied over the bar line
//   4: voice 1 F5 whole; voice 2 the held G3 half, then A3 half
//   5: voice 1 G4 whole; voice 2 a quarter rest and a C3 quarter, then silent
inline void appendTwoVoices(Track& t)
{
    append(t, makeNote(-2, kTypeHalf)).setChordSymbol("C");
    append(t, inVoice2(makeNote(7))).setChordSymbol("Am");
    append(t, inVoice2(makeNote(6)));
    append(t, makeNote(-4, kTypeHalf));
    append(t, inVoice2(makeNote(5)));
    append(t, inVoice2(makeNote(4)));
    append(t, makeNote(-8, kTypeWhole));
    append(t, makeNote(-9, kTypeWhole));
    for (int line : {7, 6, 5})
        append(t, inVoice2(makeNote(line, kTypeQuarter, kFlagTriplet)));
    append(t, inVoice2(makeNote(3, kTypeHalf, kFlagTie)));
    append(t, makeNote(-10, kTypeWhole));
    append(t, inVoice2(makeNote(3, kTypeHalf, kFlagTie)));
    append(t, inVoice2(makeNote(2, kTypeHalf)));
    append(t, makeNote(-4, kTypeWhole));
    append(t, inVoice2(makeNote(0, kTypeQuarter, kFlagRest)));
    append(t, inVoice2(makeNote(7)));
}

// The exported document of a sheet, parsed.
struct Exported {
    std::string text;
    pugi::xml_document doc;
    pugi::xml_node score() const { return doc.child("score-partwise"); }
    pugi::xml_node part(int index) const
    {
        pugi::xml_node p = score().child("part");
        for (int i = 0; i < index && p; ++i)
            p = p.next_sibling("part");
        return p;
    }
    pugi::xml_node measure(int partIndex, int number) const
    {
        return part(partIndex).find_child_by_attribute("measure", "number", std::to_string(number).c_str());
    }
    // The <note> elements of a part, in document order.
    std::vector<pugi::xml_node> notes(int partIndex) const
    {
        std::vector<pugi::xml_node> out;
        for (pugi::xml_node m : part(partIndex).children("measure"))
            for (pugi::xml_node n : m.children("note"))
                out.push_back(n);
        return out;
    }
    // The notes that sound (not rests) of a part.
    std::vector<pugi::xml_node> pitched(int partIndex) const
    {
        std::vector<pugi::xml_node> out;
        for (pugi::xml_node n : notes(partIndex))
            if (!n.child("rest"))
                out.push_back(n);
        return out;
    }
};

inline void exportSheet(const SheetDocument& sheet, Exported& out, const std::string& title = "Test")
{
    std::string error;
    ASSERT_TRUE(musicXmlText(sheet, title, out.text, error)) << error;
    const pugi::xml_parse_result r = out.doc.load_string(out.text.c_str());
    ASSERT_TRUE(r) << r.description();
}

// "C4", "F#5", "Bb3": a note's written pitch as step, alteration and octave.
inline std::string pitchName(pugi::xml_node note)
{
    pugi::xml_node p = note.child("pitch");
    if (!p)
        return "-";
    std::string s = p.child_value("step");
    const int alter = p.child("alter").text().as_int(0);
    if (alter > 0)
        s += std::string(static_cast<std::size_t>(alter), '#');
    if (alter < 0)
        s += std::string(static_cast<std::size_t>(-alter), 'b');
    return s + p.child_value("octave");
}

// A temporary folder for one test, removed afterwards.
class TempDir {
  public:
    TempDir()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() / ("tonvela-mx-" + std::to_string(::getpid()) + "-" +
                                                          info->test_suite_name() + "-" + info->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    ~TempDir() { std::filesystem::remove_all(m_dir); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    const std::filesystem::path& dir() const { return m_dir; }

  private:
    std::filesystem::path m_dir;
};

// Runs a shell command; its exit status (-1 when it did not end normally) and its output.
inline int runCommand(const std::string& cmd, std::string& output)
{
    output.clear();
    FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!p)
        return -1;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
        output.append(buf, n);
    const int status = ::pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool haveTool(const std::string& name)
{
    std::string out;
    return runCommand("command -v " + name, out) == 0;
}

} // namespace tonvela::testing
