// Standard MIDI Files for tonvela-cli: importing MIDI files (by content or by name) as sheets and
// describing them for `info`. Writing them is the core's export format (score/export_formats.h).

#include "cli/cli.h"

#include "platform/atomic_file.h"
#include "playback/midi_file_reader.h"
#include "score/sheet_document.h"

#include <cstdio>
#include <iostream>

namespace tonvela::cli {
namespace {

// Any file that begins as a MIDI file, and files named *.mid, *.midi or *.smf (any case).
bool acceptsMidi(const std::string& path, const std::string& /*firstToken*/)
{
    return isMidiFile(path);
}

// What the reader saw in the file the command last imported, so that describing it after
// loading it does not import the whole file a second time.
struct LastImport {
    std::string path;
    MidiFileInfo info;
};
LastImport& lastImport()
{
    static LastImport last;
    return last;
}

bool loadMidi(const std::string& path, SheetDocument& sheet, std::string& error)
{
    LastImport& last = lastImport();
    last.path.clear();
    const bool ok =
        importSheetFile(path, sheet, error, kMaxMidiFileBytes, [](std::string_view data, SheetDocument& s) {
            return importMidiData(data, s, &lastImport().info);
        });
    if (ok)
        last.path = path;
    return ok;
}

void describeMidi(const std::string& path, Json& info, std::string& text)
{
    MidiFileInfo m;
    if (lastImport().path == path) {
        m = lastImport().info;
    } else {
        std::string content;
        if (!readWholeFile(path, content, kMaxMidiFileBytes))
            return;
        SheetDocument scratch;
        if (!importMidiData(content, scratch, &m).ok())
            return;
    }
    Json midi = Json::object();
    midi.set("format", m.format);
    midi.set("tracks", static_cast<int>(m.chunks.size()));
    midi.set("division", m.division);
    midi.set("noteOns", m.noteOns);
    midi.set("tempoBpm", m.tempoBpm);
    midi.set("tempoChanges", m.tempoChanges);
    midi.set("minTempoBpm", m.minTempoBpm);
    midi.set("maxTempoBpm", m.maxTempoBpm);
    info.set("midi", std::move(midi));

    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "MIDI file: format %d, %d track chunks, division %d ticks per quarter note, "
                  "%lld note-ons\n",
                  m.format, static_cast<int>(m.chunks.size()), m.division, m.noteOns);
    text += buf;
    if (m.tempoChanges == 0)
        std::snprintf(buf, sizeof buf, "Tempo: %d beats per minute\n", m.tempoBpm);
    else
        std::snprintf(buf, sizeof buf,
                      "Tempo: changes %d time%s, between %d and %d beats per minute; the sheet plays at %d, "
                      "the tempo of most of the file\n",
                      m.tempoChanges, m.tempoChanges == 1 ? "" : "s", m.minTempoBpm, m.maxTempoBpm,
                      m.tempoBpm);
    text += buf;
    for (std::size_t i = 0; i < m.chunks.size(); ++i) {
        const auto& c = m.chunks[i];
        std::string line = "Chunk " + std::to_string(i + 1);
        if (!c.name.empty())
            line += " \"" + c.name + "\"";
        line += ": " + std::to_string(c.noteOns) + " note-ons, ";
        line += c.sheetTrack >= 0 ? "imported as track " + std::to_string(c.sheetTrack + 1)
                                  : std::string("no notes, not imported");
        text += line + "\n";
    }
}

const SheetImporterRegistration kImporter{{"midi", acceptsMidi, loadMidi, describeMidi}};

} // namespace
} // namespace tonvela::cli
