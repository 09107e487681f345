// The guitar shapes of chord symbols: which library entry a symbol finds, and the diagrams the
// LilyPond export writes from them, engraved by LilyPond itself.

#include "harmony/chord_symbol_shapes.h"
#include "harmony/guitar_library.h"
#include "score/export_formats.h"
#include "score/lilypond_export.h"
#include "score/sheet_document.h"
#include "score/track.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace tonvela {
namespace {

ChordSymbol chord(const char* text)
{
    return *parseChordSymbol(text);
}

TEST(ChordSymbolShapes, ASymbolFindsTheLibraryShapeOfItsRootAndQuality)
{
    ASSERT_TRUE(guitarShapeForChordSymbol(chord("E")));
    EXPECT_EQ(guitarShapeForChordSymbol(chord("E"))->fingering, "110210321433532610");
    EXPECT_EQ(guitarShapeForChordSymbol(chord("Am"))->qualityName, "Minor");
    EXPECT_EQ(guitarShapeForChordSymbol(chord("D7"))->qualityName, "7");
    EXPECT_EQ(guitarShapeForChordSymbol(chord("Em7"))->qualityName, "Minor7");
    EXPECT_EQ(guitarShapeForChordSymbol(chord("F6"))->qualityName, "6");
    // By pitch: G# finds the library's Ab, A# its Bb; the bass of a slash chord is not fingered.
    EXPECT_EQ(guitarShapeForChordSymbol(chord("G#"))->root, "Ab");
    EXPECT_EQ(guitarShapeForChordSymbol(chord("A#m"))->root, "Bb");
    EXPECT_EQ(guitarShapeForChordSymbol(chord("C/E")), guitarShapeForChordSymbol(chord("C")));
    // Nothing for a quality or a root the library lacks.
    EXPECT_FALSE(guitarShapeForChordSymbol(chord("Cmaj7")));
    EXPECT_FALSE(guitarShapeForChordSymbol(chord("Bm7b5")));
    EXPECT_FALSE(guitarShapeForChordSymbol(chord("Ab6/9")));
    EXPECT_FALSE(guitarShapeForChordSymbol(chord("B7")));
}

TEST(ChordSymbolShapes, LilyPondFretStringsRunFromTheLowestStringWithOpenAndMutedMarks)
{
    // The library's C: muted low E, then frets 3 2 0 1 0 (the shape every guitarist knows).
    EXPECT_EQ(lilypondFretDiagram(chord("C")), "x;3;2;o;1;o;");
    EXPECT_EQ(lilypondFretDiagram(chord("E")), "o;2;2;1;o;o;");
    EXPECT_EQ(lilypondFretDiagram(chord("G")), "3;2;o;o;o;3;");
    // A shape up the neck: the library's diminished shape of Bb starts at fret 3 (muted at
    // both ends; read by hand from "11X23134243352461X").
    EXPECT_EQ(lilypondFretDiagram(chord("Bbdim")), "x;3;4;5;4;x;");
    EXPECT_FALSE(lilypondFretDiagram(chord("Cmaj7")));
}

TEST(ChordSymbolShapes, TheLilyPondExportDrawsTheSheetsShapesAndNamesAloneWhereThereIsNone)
{
    const auto dir = std::filesystem::temp_directory_path() / ("tonvela-frets-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    SheetDocument sheet;
    sheet.chordDiagrams = true;
    Track& t = *sheet.trackAt(0);
    for (const char* name : {"C", "Am", "Cmaj7", "G7/B"}) {
        Note n;
        n.type = kTypeQuarter;
        n.setStaffPosition(1);
        n.setChordSymbol(name);
        t.insertNote(n, t.count);
    }
    ExportFormats formats;
    addScoreExportFormats(formats);
    addHarmonyExportFormats(formats);
    const ExportFormat* ly = formats.byExtension(".ly");
    ASSERT_TRUE(ly);
    const std::string path = (dir / "frets.ly").string();
    ASSERT_TRUE(ly->write(sheet, path, {}));
    std::ifstream in(path);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("\\storePredefinedDiagram #default-fret-table \\chordmode { c } #guitar-tuning "
                        "#\"x;3;2;o;1;o;\""),
              std::string::npos)
        << text;
    // Cmaj7 has no shape: a skip in the diagrams, its name still in ChordNames; G7/B shows G7's.
    EXPECT_NE(text.find("\\new FretBoards \\chordmode {\r\nc4\r\na4:m\r\ns4\r\ng4:7\r\n}"), std::string::npos)
        << text;
    EXPECT_NE(text.find("c4:maj7"), std::string::npos);

    const std::string cmd =
        "cd '" + dir.string() + "' && lilypond -dno-point-and-click frets.ly > ly.log 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << "lilypond is needed (scripts/setup.sh installs it)";
    std::ifstream logIn(dir / "ly.log");
    const std::string log{std::istreambuf_iterator<char>(logIn), std::istreambuf_iterator<char>()};
    EXPECT_EQ(log.find("warning"), std::string::npos) << log;
    EXPECT_EQ(log.find("error"), std::string::npos) << log;
    EXPECT_TRUE(std::filesystem::exists(dir / "frets.pdf"));
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace tonvela
