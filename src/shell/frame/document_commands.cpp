#include "shell/frame/document_commands.h"

#include "harmony/chord_document.h"
#include "harmony/chord_document_file.h"
#include "platform/notifier.h"
#include "playback/midi_file_reader.h"
#include "playback/midi_file_writer.h"
#include "render/qt_canvas.h"
#include "score/lilypond_export.h"
#include "score/markup_tree.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "shell/documents/chord_window.h"
#include "shell/documents/sheet_window.h"
#include "shell/file_dialogs.h"
#include "shell/frame/main_window.h"
#include "shell/player.h"

#include <QFileInfo>
#include <QMdiSubWindow>

namespace tonvela {
namespace {

constexpr const char* kSaveCaption = "Save";

QString q(const char* text)
{
    return QString::fromUtf8(text);
}

bool hasMidiExtension(const std::string& path)
{
    return QString::fromStdString(path).endsWith(QStringLiteral(".mid"), Qt::CaseInsensitive);
}

std::string joinWarnings(const std::string& path, const std::vector<std::string>& warnings)
{
    std::string text = "Some of " + path + " was left out:";
    for (const auto& w : warnings)
        text += "\n" + w;
    return text;
}

} // namespace

bool DocumentCommands::failed(const std::string& what, const std::string& path, const std::string& error)
{
    m_frame.services().notifier.error("Could not " + what + " " + path + ": " + error, "Error");
    return false;
}

void DocumentCommands::openWithDialog()
{
    const QStringList filters{q(kSheetFilter), q(kAllFilesFilter)};
    const auto choice =
        m_frame.services().dialogs.openFile(QStringLiteral("Open"), filters, QStringLiteral("shd"));
    if (choice)
        openFile(choice->path);
}

bool DocumentCommands::openFile(const std::string& path)
{
    Notifier& notifier = m_frame.services().notifier;
    const QFileInfo info(QString::fromStdString(path));
    if (!info.exists())
        return failed("open", path, "the file does not exist.");
    if (!info.isFile() || !info.isReadable())
        return failed("open", path, "it is not a file that can be read.");
    if (hasMidiExtension(path)) {
        std::unique_ptr<SheetDocument> sheet;
        const LoadResult result = importMidiFile(path, sheet);
        if (!result.ok())
            return failed("import", path, result.error);
        SheetWindow* w = m_frame.addSheetWindow(std::move(sheet));
        w->sheet().selectTrack(0);
        w->refresh();
        if (!result.warnings.empty())
            notifier.warning(joinWarnings(path, result.warnings));
        return true;
    }
    const std::string root = peekFirstToken(path);
    if (root == "staffdoc") {
        auto sheet = std::make_unique<SheetDocument>();
        const LoadResult result = loadSheet(*sheet, fileTitle(path), path);
        if (!result.ok())
            return failed("open", path, result.error);
        SheetWindow* w = m_frame.addSheetWindow(std::move(sheet));
        w->sheet().selectTrack(0);
        w->onResize();
        if (!result.warnings.empty())
            notifier.warning(joinWarnings(path, result.warnings));
        return true;
    }
    if (root == kChordDocumentRoot) {
        auto doc = std::make_unique<ChordDocument>();
        const LoadResult result = readChordDocument(*doc, fileTitle(path), path);
        if (!result.ok())
            return failed("open", path, result.error);
        m_frame.addChordWindow(std::move(doc));
        if (!result.warnings.empty())
            notifier.warning(joinWarnings(path, result.warnings));
        return true;
    }
    return failed("open", path, "it is not a sheet, a chord document or a MIDI file.");
}

void DocumentCommands::importMidi()
{
    const QStringList filters{QStringLiteral("Midi files (*.mid)"), QStringLiteral("All Files (*)")};
    const auto choice =
        m_frame.services().dialogs.openFile(QStringLiteral("Import MIDI"), filters, QStringLiteral("mid"));
    if (!choice)
        return;
    std::unique_ptr<SheetDocument> sheet;
    const LoadResult result = importMidiFile(choice->path, sheet);
    if (!result.ok()) {
        failed("import", choice->path, result.error);
        return;
    }
    SheetWindow* w = m_frame.addSheetWindow(std::move(sheet));
    w->sheet().selectTrack(0);
    w->refresh();
    if (!result.warnings.empty())
        m_frame.services().notifier.warning(joinWarnings(choice->path, result.warnings));
}

bool DocumentCommands::save(bool asking)
{
    DocumentWindow* active = m_frame.activeDocument();
    const bool ok = active && saveDocument(*active, asking);
    m_frame.rebuildWindowMenu();
    return ok;
}

bool DocumentCommands::saveDocument(DocumentWindow& document, bool asking)
{
    const std::string path = document.path();
    if (!asking && !path.empty()) {
        const FileResult result = document.saveTo(path, document.title(), 0);
        return result || failed("save", path, result.error);
    }
    const QStringList filters = document.saveFilters();
    if (filters.isEmpty())
        return false;
    const auto choice =
        m_frame.services().dialogs.saveFile(QStringLiteral("Save As"), filters, QStringLiteral("shd"),
                                            qtText(path.empty() ? document.title() : path));
    if (!choice)
        return false;
    const FileResult result = document.saveTo(choice->path, fileTitle(choice->path), choice->filterIndex);
    if (!result)
        return failed("save", choice->path, result.error);
    document.widget().setFocus();
    return true;
}

void DocumentCommands::exportLilypond()
{
    SheetDocument* sheet = m_frame.activeDocument() ? m_frame.activeDocument()->shownSheet() : nullptr;
    if (!sheet)
        return;
    const QStringList filters{q(kLilypondFilter), q(kAllFilesFilter)};
    const auto choice = m_frame.services().dialogs.saveFile(QStringLiteral("Export Lilypond"), filters,
                                                            QStringLiteral("ly"), {});
    if (!choice)
        return;
    const FileResult result = tonvela::exportLilypond(*sheet, fileTitle(choice->path), choice->path);
    if (!result)
        failed("export", choice->path, result.error);
}

void DocumentCommands::exportMidi(bool selectedTrackOnly)
{
    SheetDocument* sheet = m_frame.activeDocument() ? m_frame.activeDocument()->shownSheet() : nullptr;
    if (!sheet || (selectedTrackOnly && !sheet->trackAt(sheet->selectedTrack)))
        return;
    const QStringList filters{q(kMidiFilter), q(kAllFilesFilter)};
    const auto choice =
        m_frame.services().dialogs.saveFile(selectedTrackOnly ? QStringLiteral("Save Selected MIDI Track")
                                                              : QStringLiteral("Save All MIDI Tracks"),
                                            filters, QStringLiteral("mid"), {});
    if (!choice)
        return;
    const FileResult result =
        writeMidiFile(*sheet, choice->path, selectedTrackOnly ? sheet->selectedTrack : kAllTracks);
    if (!result)
        failed("save", choice->path, result.error);
}

bool DocumentCommands::print()
{
    DocumentWindow* document = m_frame.activeDocument();
    if (!document || !document->canPrint())
        return false;
    std::unique_ptr<Printer> printer = m_frame.services().dialogs.choosePrinter(document->title());
    if (!printer)
        return true;
    const PrintResult result = document->print(*printer);
    if (!result.ok)
        failed("print", document->title(), result.error);
    return true;
}

bool DocumentCommands::confirmClose(DocumentWindow& document)
{
    Player& player = m_frame.services().player;
    if (const SheetDocument* sheet = document.shownSheet(); sheet && player.isPlaying(sheet))
        player.stop();
    if (!document.isModified())
        return true;
    m_frame.activate(&document);
    switch (m_frame.services().notifier.question("Save file " + document.title() + "?", kSaveCaption)) {
    case Notifier::Answer::Yes:
        return saveDocument(document, true);
    case Notifier::Answer::No:
        return true;
    case Notifier::Answer::Cancel:
        return false;
    }
    return false;
}

bool DocumentCommands::closeAll(bool exiting)
{
    Player& player = m_frame.services().player;
    if (player.isPlaying()) {
        player.stop();
        if (!exiting)
            return false;
    }
    // Sheets first, then chord documents; each asks its own question.
    for (SheetWindow* w : m_frame.sheetWindows())
        if (!w->parentWidget()->close())
            return false;
    for (ChordWindow* w : m_frame.chordWindows())
        if (!w->parentWidget()->close())
            return false;
    return true;
}

} // namespace tonvela
