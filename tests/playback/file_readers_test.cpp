// Every file reader answers in one shape: a missing file is Unreadable, a file of another kind is
// WrongKind, both with a message and nothing else; a good file is Ok without a message.

#include "audio/clip_decoder.h"
#include "audio/sound_bank.h"
#include "audio/sound_font_builder.h"
#include "audio/wave_file.h"
#include "harmony/chord_document.h"
#include "harmony/chord_document_file.h"
#include "platform/atomic_file.h"
#include "platform/load_result.h"
#include "platform/notifier.h"
#include "playback/midi_file_reader.h"
#include "playback/midi_file_writer.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <unistd.h>

namespace tonvela {
namespace {

namespace fs = std::filesystem;

struct Reader {
    const char* name;
    std::function<LoadResult(const std::string&)> read;
    std::string goodFile;
};

class FileReadersTest : public ::testing::Test {
  protected:
    FileReadersTest() : dir(fs::temp_directory_path() / ("tonvela_readers_" + std::to_string(::getpid())))
    {
        fs::create_directories(dir);
    }
    ~FileReadersTest() override { fs::remove_all(dir); }

    std::string write(const std::string& name, const std::string& bytes)
    {
        const std::string p = (dir / name).string();
        EXPECT_TRUE(writeFileAtomically(p, bytes).ok);
        return p;
    }

    std::vector<Reader> readers()
    {
        SheetDocument sheet;
        Note n;
        n.type = kTypeQuarter;
        n.setStaffPosition(0);
        sheet.trackAt(0)->insertNote(n, 0);
        const std::string sheetFile = write("good.shd", sheetToText(sheet));
        std::string midi;
        std::string error;
        EXPECT_TRUE(midiFileBytes(sheet, kAllTracks, midi, error)) << error;
        const std::string midiFile = write("good.mid", midi);
        ChordDocument chords;
        const std::string chordFile = write("good.chd", chordDocumentToText(chords));
        const std::string bankFile =
            write("good.sf2", testing::SoundFontBuilder::build({testing::sineSample("Sine")}));
        const std::string waveFile = write("good.wav", audio::encodeWav({0.1f, -0.1f, 0.2f, -0.2f}, 1, 8000));

        return {
            {"sheet",
             [](const std::string& p) {
                 SheetDocument s;
                 return loadSheet(s, "s", p);
             },
             sheetFile},
            {"chord document",
             [](const std::string& p) {
                 ChordDocument d;
                 return readChordDocument(d, "d", p);
             },
             chordFile},
            {"MIDI file",
             [](const std::string& p) {
                 std::unique_ptr<SheetDocument> s;
                 return importMidiFile(p, s);
             },
             midiFile},
            {"SoundFont",
             [this](const std::string& p) {
                 audio::SoundBank bank;
                 return bank.load(p, notifier);
             },
             bankFile},
            {"wave walk",
             [](const std::string& p) {
                 std::string bytes;
                 if (const FileResult r = readWholeFile(p, bytes, 1u << 20); !r)
                     return LoadResult::failure(LoadStatus::Unreadable, r.error);
                 audio::WaveWalk walk;
                 return audio::walkWave(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                        walk);
             },
             waveFile},
            {"audio clip",
             [](const std::string& p) {
                 audio::DecodedClip clip;
                 return audio::decodeClipFile(p, 8000, clip);
             },
             waveFile},
        };
    }

    fs::path dir;
    CollectingNotifier notifier;
};

TEST_F(FileReadersTest, EachReaderTellsAMissingFileAFileOfAnotherKindAndAGoodFileApart)
{
    const std::string missing = (dir / "no-such-folder" / "file").string();
    const std::string text = write("notes.txt", "Shopping list: strings, rosin, a capo.\n");
    for (const Reader& r : readers()) {
        const LoadResult none = r.read(missing);
        EXPECT_EQ(none.status, LoadStatus::Unreadable) << r.name;
        EXPECT_FALSE(none.ok()) << r.name;
        EXPECT_FALSE(none.error.empty()) << r.name;

        const LoadResult other = r.read(text);
        EXPECT_EQ(other.status, LoadStatus::WrongKind) << r.name << ": " << other.error;
        EXPECT_FALSE(other.error.empty()) << r.name;
        EXPECT_TRUE(other.warnings.empty()) << r.name;

        const LoadResult good = r.read(r.goodFile);
        EXPECT_TRUE(good.ok()) << r.name << ": " << good.error;
        EXPECT_TRUE(good.error.empty()) << r.name;
        EXPECT_TRUE(good.warnings.empty()) << r.name;
    }
    EXPECT_TRUE(notifier.messages.empty());
}

} // namespace
} // namespace tonvela
