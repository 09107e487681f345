// Real MIDI files written by other programs, checked against midicsv's reading of them: every
// note-on becomes one note of its track, with its pitch, near its time, and every track plays
// as long as its chunk lasts. The files come from Debian packages that scripts/setup.sh
// installs (game music sets, both GPL), and one is engraved by LilyPond from a score written
// here.

#include "playback/midi_file_reader.h"
#include "playback/midi_file_writer.h"
#include "scheduler_test_util.h"
#include "score/duration.h"
#include "score/play_time.h"
#include "score/play_walk.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace tonvela {
namespace {

namespace fs = std::filesystem;

// What midicsv reads from a file.
struct CsvChunk {
    std::vector<std::pair<int64_t, int>> noteOns; // tick, key
    int64_t end = 0;                              // tick of End_track
};
struct CsvFile {
    bool ok = false;
    std::string text;
    int division = 0;
    std::map<int, CsvChunk> chunks;                 // by midicsv's track number, from 1
    std::vector<std::pair<int64_t, double>> tempos; // tick, microseconds per quarter

    // Milliseconds from the start to a tick, along the tempo events of every track.
    double msAt(int64_t tick) const
    {
        double ms = 0;
        double us = 500000;
        int64_t at = 0;
        for (const auto& [t, u] : tempos) {
            if (t >= tick)
                break;
            ms += static_cast<double>(t - at) * us / 1000.0 / division;
            at = t;
            us = u;
        }
        return ms + static_cast<double>(tick - at) * us / 1000.0 / division;
    }
};

CsvFile readWithMidicsv(const std::string& path)
{
    CsvFile f;
    FILE* p = ::popen(("midicsv '" + path + "' 2>/dev/null").c_str(), "r");
    if (!p)
        return f;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
        f.text.append(buf, n);
    f.ok = ::pclose(p) == 0;
    std::istringstream in(f.text);
    for (std::string line; std::getline(in, line);) {
        int track = 0;
        long long tick = 0;
        char kind[32] = {};
        if (std::sscanf(line.c_str(), "%d, %lld, %31[A-Za-z_]", &track, &tick, kind) != 3)
            continue;
        const std::string k = kind;
        const char* rest = line.c_str() + line.find(k) + k.size();
        if (k == "Header") {
            int format = 0, tracks = 0;
            std::sscanf(rest, ", %d, %d, %d", &format, &tracks, &f.division);
        } else if (k == "Note_on_c") {
            int ch = 0, key = 0, vel = 0;
            if (std::sscanf(rest, ", %d, %d, %d", &ch, &key, &vel) == 3 && vel > 0)
                f.chunks[track].noteOns.emplace_back(tick, key);
        } else if (k == "End_track") {
            f.chunks[track].end = tick;
        } else if (k == "Tempo") {
            double us = 0;
            std::sscanf(rest, ", %lf", &us);
            f.tempos.emplace_back(tick, us);
        }
    }
    std::stable_sort(f.tempos.begin(), f.tempos.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return f;
}

// Where each note the track strikes starts, as its key and milliseconds: as written (the
// note lengths in ticks, as the MIDI writer counts them, voice 2 at its own time) and as
// playback steps through it (the same walk at the track's tempo). A note tied on is struck
// once.
struct Onsets {
    std::vector<std::pair<int, double>> written;
    std::vector<std::pair<int, double>> played;
};
Onsets sheetOnsetsMs(const Track& t)
{
    Onsets at;
    const double scale = 120.0 / t.tempo;
    PlayWalk walk(t, WalkOrder::Written);
    while (const std::optional<PlayStep> step = walk.next())
        forEachPlayedNote(t, *step, [&](const PlayedNote& p) {
            if (p.rest)
                return;
            const double ms = static_cast<double>(step->start + p.offset) * 500.0 / kQuarterTicks * scale;
            const int key = soundingPitch(t.noteAt(p.index), t);
            at.written.emplace_back(key, ms);
            at.played.emplace_back(key, ms);
        });
    return at;
}

// The largest distance between the i-th onset of each key in `got` and in `want`, in beats.
double worstDrift(std::vector<std::pair<int, double>> got, std::vector<std::pair<int, double>> want,
                  double beatMs)
{
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    double worst = 0;
    for (std::size_t i = 0; i < got.size() && i < want.size(); ++i)
        worst = std::max(
            worst, got[i].first == want[i].first ? std::fabs(got[i].second - want[i].second) / beatMs : 1e9);
    return worst;
}

struct Figures {
    std::string file;
    int chunk = 0;
    std::size_t expectedNotes = 0;
    int importedNotes = 0;
    double fileMs = 0;
    double playMs = 0;
    double exportMs = 0;
    double worstOnsetBeats = 0; // as written
    double worstPlayedBeats = 0;
    int tempo = 0;
};

class RealMidiFilesTest : public testing::SchedulerHarness {
  protected:
    // Imports a file and checks every chunk with notes against midicsv's reading.
    void checkFile(const std::string& path)
    {
        SCOPED_TRACE(path);
        ASSERT_TRUE(fs::exists(path))
            << path << " is missing: scripts/setup.sh installs the package that has it";
        const CsvFile csv = readWithMidicsv(path);
        ASSERT_TRUE(csv.ok) << "midicsv is needed (scripts/setup.sh installs it)";
        sheet.removeAllTracks();
        LoadResult res;
        MidiFileInfo info;
        std::string bytes;
        {
            std::ifstream in(path, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        res = importMidiData(bytes, sheet, &info);
        ASSERT_TRUE(res.ok()) << res.error;
        // The only warnings name the notes the sheet's lengths cannot place within 30 ms and
        // the notes that overlap both voices.
        for (const std::string& w : res.warnings)
            EXPECT_TRUE(w.find("ms from their time in the file") != std::string::npos ||
                        w.find("start while two others still sound") != std::string::npos)
                << w;
        int withNotes = 0;
        for (std::size_t c = 0; c < info.chunks.size(); ++c) {
            const auto it = csv.chunks.find(static_cast<int>(c) + 1);
            const CsvChunk chunk = it == csv.chunks.end() ? CsvChunk{} : it->second;
            const int ti = info.chunks[c].sheetTrack;
            if (chunk.noteOns.empty()) {
                EXPECT_EQ(ti, -1) << "chunk " << c + 1 << " has no notes but became a track";
                continue;
            }
            ++withNotes;
            ASSERT_GE(ti, 0) << "chunk " << c + 1 << " has notes but made no track";
            checkTrack(*sheet.trackAt(ti), chunk, csv, fs::path(path).filename().string(),
                       static_cast<int>(c) + 1);
        }
        EXPECT_EQ(sheet.trackCount(), withNotes);
    }

    void checkTrack(const Track& t, const CsvChunk& chunk, const CsvFile& csv, const std::string& name,
                    int number)
    {
        SCOPED_TRACE("chunk " + std::to_string(number));
        Figures f;
        f.file = name;
        f.chunk = number;
        f.tempo = t.tempo;
        f.expectedNotes = chunk.noteOns.size();
        const double beatMs = 60000.0 / t.tempo;
        const Onsets onsets = sheetOnsetsMs(t);
        // The notes of both voices come in time order, not in the file's: each key's notes are
        // paired in their order.
        std::vector<std::pair<int, double>> want;
        for (const auto& on : chunk.noteOns)
            want.emplace_back(on.second, csv.msAt(on.first));
        f.importedNotes = static_cast<int>(onsets.written.size());
        std::vector<int> keys;
        for (const auto& [key, ms] : onsets.written)
            keys.push_back(key);
        std::vector<int> wantKeys;
        for (const auto& on : chunk.noteOns)
            wantKeys.push_back(on.second);
        std::sort(keys.begin(), keys.end());
        std::sort(wantKeys.begin(), wantKeys.end());
        EXPECT_EQ(keys, wantKeys) << "one note per note-on, with its pitch";
        f.worstOnsetBeats = worstDrift(onsets.written, want, beatMs);
        f.worstPlayedBeats = worstDrift(onsets.played, want, beatMs);

        f.fileMs = csv.msAt(chunk.end);
        f.playMs = static_cast<double>(totalPlayMs(t));
        TrackExport ex;
        std::string error;
        EXPECT_TRUE(buildTrackExport(t, ex, error)) << error;
        f.exportMs = static_cast<double>(ex.endTick) * 60000.0 / (t.tempo * kWriterDivision);
        EXPECT_NEAR(f.playMs, f.fileMs, beatMs) << "play time";
        EXPECT_NEAR(f.exportMs, f.fileMs, beatMs) << "MIDI export";
        // Written, every note stays within a sixteenth of its place from the first bar to the
        // last; played, within a beat (a thirty-second plays half a millisecond short).
        EXPECT_LE(f.worstOnsetBeats, 0.25) << "onsets drift";
        EXPECT_LE(f.worstPlayedBeats, 1.0) << "played onsets drift";
        figures.push_back(f);
    }

    static void TearDownTestSuite()
    {
        if (!std::getenv("TONVELA_MIDI_FIGURES"))
            return;
        std::printf("file | chunk | note-ons | notes | file s | play s | export s | worst onset written, "
                    "played (beats) | tempo\n");
        for (const Figures& f : figures)
            std::printf("%s | %d | %zu | %d | %.2f | %.2f | %.2f | %.3f, %.3f | %d\n", f.file.c_str(),
                        f.chunk, f.expectedNotes, f.importedNotes, f.fileMs / 1000, f.playMs / 1000,
                        f.exportMs / 1000, f.worstOnsetBeats, f.worstPlayedBeats, f.tempo);
    }

    static std::vector<Figures> figures;
};

std::vector<Figures> RealMidiFilesTest::figures;

const std::string kBlupi = "/usr/share/planetblupi/music/";
const std::string kOpenMsx = "/usr/share/games/openttd/baseset/openmsx/";

// A game's sequenced songs with drums and chunks of more than ten thousand notes.
TEST_F(RealMidiFilesTest, LongChunksWithDrumsOfAGameSoundtrack)
{
    checkFile(kBlupi + "music009.mid");
    checkFile(kBlupi + "music005.mid");
}

// Many tempo changes: a ritardando written as 65 tempo events, and a boogie of 18.
TEST_F(RealMidiFilesTest, FilesThatChangeTempo)
{
    checkFile(kOpenMsx + "midnight_snow_run.mid");
    checkFile(kOpenMsx + "be_sharp_bw_redfarn.mid");
}

// A file of one chunk per MIDI channel, most of them without notes; and a harp of overlapping
// arpeggios.
TEST_F(RealMidiFilesTest, ChannelChunksWithoutNotesAndOverlappingArpeggios)
{
    checkFile(kOpenMsx + "busy_schedule.mid");
    checkFile(kOpenMsx + "harp_harmony.mid");
}

// LilyPond writes a piano score: two voices of overlapping notes on the upper staff, a bass
// part on the lower one, a tempo change.
TEST_F(RealMidiFilesTest, APianoScoreEngravedByLilyPond)
{
    const fs::path dir = fs::temp_directory_path() / ("tonvela-ly-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "piano.ly") << R"(\version "2.22.0"
upper = \relative c'' {
  \clef treble \time 4/4 \tempo 4 = 72
  << { c4 d e f | g2 a4 g | f e d c } \\ { e,2 f | e4 c' c b | a g f e } >>
  \tempo 4 = 132
  \times 2/3 { c8 d e } f4 g8 a b c | c1 |
  << { g4. a8 g4 f | e1 } \\ { c2 b | c1 } >>
}
lower = \relative c {
  \clef bass
  c4 g' e g | c,4 g' f g | f, a c f | c2 g | c,1 | e4 g, c2 | c,1 |
}
\score { \new PianoStaff << \new Staff \upper \new Staff \lower >> \midi { } }
)";
    const std::string cmd = "cd '" + dir.string() + "' && lilypond -s piano.ly > lilypond.log 2>&1";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(fs::exists(dir / "piano.midi"))
        << "lilypond is needed (scripts/setup.sh installs it); exit " << status;
    checkFile((dir / "piano.midi").string());
    // The bass staff's part imports on the F clef.
    bool fClef = false;
    for (int i = 0; i < sheet.trackCount(); ++i)
        fClef = fClef || staffKindOf(*sheet.trackAt(i)) == StaffKind::FClef;
    EXPECT_TRUE(fClef);
    fs::remove_all(dir);
}

// A whole song played by the scheduler: every track ends within a beat of its chunk's end.
TEST_F(RealMidiFilesTest, PlayAllOfASongEndsWithTheFile)
{
    const std::string path = kOpenMsx + "be_sharp_bw_redfarn.mid";
    checkFile(path);
    const CsvFile csv = readWithMidicsv(path);
    int64_t longest = 0;
    for (const auto& [number, chunk] : csv.chunks)
        if (!chunk.noteOns.empty())
            longest = std::max(longest, chunk.end);
    const double fileMs = csv.msAt(longest);
    const int64_t end = play(PlayMode::All);
    EXPECT_NEAR(static_cast<double>(end), fileMs, 60000.0 / sheet.trackAt(0)->tempo);
}

// What Tonvela plays from a real file (its MIDI export of the imported sheet) against what
// MuseScore 3 plays from the same file (its own import, exported headless): every note struck
// in one is struck in the other at the same key within 30 ms. Notes the sheet cannot place
// within 30 ms of the file (tuplets, which the score's lengths do not hold) are counted and
// must stay few; the figures are printed for the record.
class MuseScoreAgreementTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tonvela-mscore-" + std::to_string(::getpid()));
        fs::create_directories(dir / "home" / "run");
        fs::permissions(dir / "home" / "run", fs::perms::owner_all);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Note-ons of a file as (ms, key), sorted, tempo changes followed.
    static std::vector<std::pair<double, int>> strikes(const CsvFile& csv)
    {
        std::vector<std::pair<double, int>> out;
        for (const auto& [number, chunk] : csv.chunks)
            for (const auto& [tick, key] : chunk.noteOns)
                out.emplace_back(csv.msAt(tick), key);
        std::sort(out.begin(), out.end());
        return out;
    }

    struct Agreement {
        std::size_t ours = 0, theirs = 0, matched = 0;
    };
    static Agreement compare(const std::vector<std::pair<double, int>>& ours,
                             const std::vector<std::pair<double, int>>& theirs)
    {
        constexpr double kToleranceMs = 30;
        Agreement a{ours.size(), theirs.size(), 0};
        std::vector<bool> used(theirs.size(), false);
        std::size_t from = 0;
        for (const auto& [ms, key] : ours) {
            while (from < theirs.size() && theirs[from].first < ms - kToleranceMs)
                ++from;
            for (std::size_t k = from; k < theirs.size() && theirs[k].first <= ms + kToleranceMs; ++k)
                if (!used[k] && theirs[k].second == key) {
                    used[k] = true;
                    ++a.matched;
                    break;
                }
        }
        return a;
    }

    // Imports `path`, writes Tonvela's MIDI file, has MuseScore convert the original, and
    // compares. Returns the share of notes that agree.
    void check(const std::string& path, double leastAgreeing)
    {
        SCOPED_TRACE(path);
        ASSERT_TRUE(fs::exists(path))
            << path << " is missing: scripts/setup.sh installs the package that has it";
        std::string bytes;
        {
            std::ifstream in(path, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        SheetDocument sheet;
        const LoadResult res = importMidiData(bytes, sheet);
        ASSERT_TRUE(res.ok()) << res.error;
        const std::string ours = (dir / "ours.mid").string();
        ASSERT_TRUE(writeMidiFile(sheet, ours).ok);
        const std::string theirs = (dir / "musescore.mid").string();
        const std::string home = (dir / "home").string();
        const std::string cmd = "HOME='" + home + "' XDG_CONFIG_HOME='" + home + "/config' XDG_DATA_HOME='" +
                                home + "/data' XDG_RUNTIME_DIR='" + home +
                                "/run' QT_QPA_PLATFORM=offscreen timeout 300 mscore3 -o '" + theirs + "' '" +
                                path + "' > '" + home + "/log' 2>&1";
        fs::remove(theirs);
        const int status = std::system(cmd.c_str());
        ASSERT_TRUE(fs::exists(theirs))
            << "mscore3 is needed (scripts/setup.sh installs musescore3); exit " << status;
        const CsvFile a = readWithMidicsv(ours);
        const CsvFile b = readWithMidicsv(theirs);
        ASSERT_TRUE(a.ok && b.ok) << "midicsv is needed (scripts/setup.sh installs it)";
        const Agreement g = compare(strikes(a), strikes(b));
        // The notes the import's warnings name as placed more than 30 ms from the file.
        std::size_t named = 0;
        for (const std::string& w : res.warnings) {
            const auto colon = w.find(": ");
            if (colon != std::string::npos && w.find("ms from their time in the file") != std::string::npos)
                named += std::stoul(w.substr(colon + 2));
        }
        std::printf("%s: Tonvela %zu notes, MuseScore %zu, %zu matched within 30 ms, %zu named in warnings\n",
                    fs::path(path).filename().c_str(), g.ours, g.theirs, g.matched, named);
        EXPECT_GT(g.ours, 0u);
        EXPECT_GE(static_cast<double>(g.matched + named), leastAgreeing * static_cast<double>(g.ours));
        EXPECT_GE(static_cast<double>(g.matched + named), leastAgreeing * static_cast<double>(g.theirs));
    }

    fs::path dir;
};

TEST_F(MuseScoreAgreementTest, TonvelasExportPlaysWhatMuseScorePlaysFromTheSameFile)
{
    if (std::system("command -v mscore3 > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "mscore3 is not installed (scripts/setup.sh installs musescore3)";
    // A boogie of 18 tempo changes; a harp of overlapping arpeggios; a file of one chunk per
    // channel, where MuseScore leaves out 59 notes struck again while they sound.
    check(kOpenMsx + "be_sharp_bw_redfarn.mid", 0.99);
    check(kOpenMsx + "harp_harmony.mid", 1.0);
    check(kOpenMsx + "busy_schedule.mid", 0.97);
}

} // namespace
} // namespace tonvela
