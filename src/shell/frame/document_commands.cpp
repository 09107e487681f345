#include "shell/frame/document_commands.h"

#include "harmony/chord_document.h"
#include "harmony/chord_document_file.h"
#include "harmony/chord_symbol_shapes.h"
#include "interchange/musicxml_export.h"
#include "interchange/musicxml_import.h"
#include "interchange/mxl_container_write.h"
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
#include "shell/frame/playback_commands.h"
#include "shell/player.h"

#include <QDir>
#include <QFileInfo>
#include <QMdiSubWindow>

#include <algorithm>
#include <filesystem>

namespace tonvela {
namespace {

constexpr const char* kSaveCaption = "Save";

QString q(const char* text)
{
    return QString::fromUtf8(text);
}

// The file's path with links and "." and ".." resolved; empty for a file that does not exist.
QString canonicalPath(const std::string& path)
{
    return path.empty() ? QString() : QFileInfo(QString::fromStdString(path)).canonicalFilePath();
}

// The name a save or export dialog proposes: the document's file name (or title) with the
// extension of what is written, in the document's folder when it has one.
QString proposedName(const DocumentWindow& document, const QString& suffix)
{
    const std::string from = document.path().empty() ? document.title() : document.path();
    QFileInfo info(QString::fromStdString(from));
    QString base = info.completeBaseName();
    if (base.isEmpty())
        base = info.fileName();
    const QString name = base + QLatin1Char('.') + suffix;
    return document.path().empty() ? name : info.dir().filePath(name);
}

std::string joinWarnings(const std::string& path, const std::vector<std::string>& warnings)
{
    std::string text = "Some of " + path + " was left out:";
    for (const auto& w : warnings)
        text += "\n" + w;
    return text;
}

} // namespace

std::string documentPath(const std::string& path)
{
    if (path.empty())
        return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        return path;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
    return (error ? absolute.lexically_normal() : canonical).string();
}

const ExportFormats& desktopExportFormats()
{
    static const ExportFormats formats = [] {
        ExportFormats f;
        addScoreExportFormats(f);
        addHarmonyExportFormats(f); // LilyPond with the chord library's diagrams
        addMidiExportFormat(f);
        addMusicXmlExportFormats(f);
        return f;
    }();
    return formats;
}

bool DocumentCommands::failed(const std::string& what, const std::string& path, const std::string& error)
{
    const std::string message = "Could not " + what + " " + path + ": " + error;
    if (m_gathered) {
        if (m_gathered->failures.empty())
            m_gathered->firstFailure = message;
        m_gathered->failures.push_back(path + ": " + error);
        return false;
    }
    m_frame.services().notifier.error(message, "Error");
    return false;
}

void DocumentCommands::warn(const std::string& text)
{
    if (m_gathered)
        m_gathered->warnings.push_back(text);
    else
        m_frame.services().notifier.warning(text);
}

int DocumentCommands::openFiles(const std::vector<std::string>& paths)
{
    if (paths.size() == 1)
        return openFile(paths.front()) ? 1 : 0;
    Gathered gathered;
    Gathered* outer = m_gathered;
    m_gathered = &gathered;
    int opened = 0;
    for (const std::string& path : paths)
        opened += openFile(path) ? 1 : 0;
    m_gathered = outer;
    // Each list names the first files and counts the rest, so a thousand failures make one
    // short box.
    const auto listed = [](std::string text, const std::vector<std::string>& items, const char* separator) {
        const std::size_t shown = std::min<std::size_t>(items.size(), kMaxFilesNamed);
        for (std::size_t i = 0; i < shown; ++i)
            text += separator + items[i];
        if (items.size() > shown)
            text += std::string(separator) + "and " + std::to_string(items.size() - shown) + " more";
        return text;
    };
    Notifier& notifier = m_frame.services().notifier;
    if (gathered.failures.size() == 1)
        notifier.error(gathered.firstFailure, "Error");
    else if (!gathered.failures.empty())
        notifier.error(listed("Could not open " + std::to_string(gathered.failures.size()) + " files:",
                              gathered.failures, "\n"),
                       "Error");
    if (gathered.warnings.size() == 1)
        notifier.warning(gathered.warnings.front());
    else if (!gathered.warnings.empty())
        notifier.warning(
            listed("Parts of " + std::to_string(gathered.warnings.size()) + " files were left out.",
                   gathered.warnings, "\n\n"));
    return opened;
}

void DocumentCommands::openWithDialog()
{
    const QStringList filters{q(kSheetFilter), q(kMusicXmlOpenFilter), q(kAllFilesFilter)};
    const auto choice =
        m_frame.services().dialogs.openFile(QStringLiteral("Open"), filters, QStringLiteral("shd"));
    if (choice)
        openFile(choice->path);
}

DocumentWindow* DocumentCommands::openDocumentOf(const std::string& path) const
{
    const QString wanted = canonicalPath(path);
    if (wanted.isEmpty())
        return nullptr;
    for (DocumentWindow* d : m_frame.documents())
        if (canonicalPath(d->path()) == wanted)
            return d;
    return nullptr;
}

void DocumentCommands::used(const std::string& path)
{
    if (onFileUsed)
        onFileUsed(path);
}

void DocumentCommands::opened(const DocumentWindow& document)
{
    if (onOpened)
        onOpened(document);
}

bool DocumentCommands::openFile(const std::string& given)
{
    const std::string path = documentPath(given);
    const bool opened = openPath(path);
    if (opened)
        used(path);
    return opened;
}

bool DocumentCommands::openPath(const std::string& path)
{
    const QFileInfo info(QString::fromStdString(path));
    if (!info.exists())
        return failed("open", path, "the file does not exist.");
    if (!info.isFile() || !info.isReadable())
        return failed("open", path, "it is not a file that can be read.");
    // A file already open is not opened twice: two windows on one file would each save over
    // the other's changes.
    if (DocumentWindow* open = openDocumentOf(path)) {
        m_frame.activate(open);
        if (QWidget* sub = open->widget().parentWidget())
            sub->raise();
        return true;
    }
    // A MIDI file is known by its first bytes whatever its name, and by its name (.mid,
    // .midi, .smf in any case) when it does not begin as a markup document.
    if (isMidiFile(path)) {
        std::unique_ptr<SheetDocument> sheet;
        const LoadResult result = importMidiFile(path, sheet);
        return showImported(path, result, std::move(sheet));
    }
    // A MusicXML score: by its root element, or by an .mxl or .musicxml name.
    if (isMusicXmlFile(path)) {
        std::unique_ptr<SheetDocument> sheet;
        const LoadResult result = importMusicXmlFile(path, sheet);
        return showImported(path, result, std::move(sheet));
    }
    const std::string root = peekFirstToken(path);
    if (root == "staffdoc") {
        auto sheet = std::make_unique<SheetDocument>();
        const LoadResult result = loadSheet(*sheet, fileTitle(path), path);
        if (!result.ok())
            return failed("open", path, result.error);
        SheetWindow* w = m_frame.addSheetWindow(std::move(sheet));
        w->editor().selectTrack(0);
        w->onResize();
        opened(*w);
        if (!result.warnings.empty())
            warn(joinWarnings(path, result.warnings));
        return true;
    }
    if (root == kChordDocumentRoot) {
        auto doc = std::make_unique<ChordDocument>();
        const LoadResult result = readChordDocument(*doc, fileTitle(path), path);
        if (!result.ok())
            return failed("open", path, result.error);
        opened(*m_frame.addChordWindow(std::move(doc)));
        if (!result.warnings.empty())
            warn(joinWarnings(path, result.warnings));
        return true;
    }
    return failed("open", path, "it is not a sheet, a chord document, a MIDI file or a MusicXML score.");
}

bool DocumentCommands::showImported(const std::string& path, const LoadResult& result,
                                    std::unique_ptr<SheetDocument> sheet)
{
    if (!result.ok() || !sheet)
        return failed("import", path, result.error);
    if (!sheet->modified)
        sheet->markUnmodified(); // undo back to the import is no change
    SheetWindow* w = m_frame.addSheetWindow(std::move(sheet));
    w->editor().selectTrack(0);
    w->refresh();
    if (!result.warnings.empty())
        warn(joinWarnings(path, result.warnings));
    return true;
}

void DocumentCommands::importMidi()
{
    const QStringList filters{QStringLiteral("Midi files (*.mid *.midi *.smf)"),
                              QStringLiteral("All Files (*)")};
    const auto choice =
        m_frame.services().dialogs.openFile(QStringLiteral("Import MIDI"), filters, QStringLiteral("mid"));
    if (!choice)
        return;
    const std::string path = documentPath(choice->path);
    std::unique_ptr<SheetDocument> sheet;
    const LoadResult result = importMidiFile(path, sheet);
    if (showImported(path, result, std::move(sheet)))
        used(path);
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
        if (!result)
            return failed("save", path, result.error);
        used(path);
        if (onSaved)
            onSaved(document);
        return true;
    }
    const QStringList filters = document.saveFilters();
    if (filters.isEmpty())
        return false;
    // The proposal has the extension of the first filter entry, so Save As of an imported
    // "song.mid" does not offer to write a sheet over the MIDI file.
    const auto choice = m_frame.services().dialogs.saveFile(
        QStringLiteral("Save As"), filters, QStringLiteral("shd"), proposedName(document, "shd"));
    if (!choice)
        return false;
    const std::string chosen = documentPath(choice->path);
    const FileResult result = document.saveTo(chosen, fileTitle(chosen), choice->filterIndex);
    if (!result)
        return failed("save", chosen, result.error);
    // A sheet written as a MIDI file stays the document it was; only its own file counts.
    if (document.path() == chosen)
        used(chosen);
    if (onSaved)
        onSaved(document);
    document.widget().setFocus();
    return true;
}

void DocumentCommands::exportLilypond()
{
    exportSheet(QStringLiteral("Export Lilypond"), {kLilypondExtension}, {}, "export");
}

void DocumentCommands::exportMusicXml()
{
    exportSheet(QStringLiteral("Export MusicXML"), {kMusicXmlExtension, kMxlExtension}, {}, "export");
}

void DocumentCommands::exportMidi(bool selectedTrackOnly)
{
    const DocumentWindow* active = m_frame.activeDocument();
    const SheetDocument* sheet = active ? active->shownSheet() : nullptr;
    if (!sheet || (selectedTrackOnly && !sheet->trackAt(sheet->selectedTrack)))
        return;
    ExportOptions options;
    options.track = selectedTrackOnly ? sheet->selectedTrack : kEveryTrack;
    exportSheet(selectedTrackOnly ? QStringLiteral("Save Selected MIDI Track")
                                  : QStringLiteral("Save All MIDI Tracks"),
                {kMidiExtension}, options, "save");
}

void DocumentCommands::exportSheet(const QString& caption, const std::vector<std::string>& extensions,
                                   const ExportOptions& options, const std::string& verb)
{
    DocumentWindow* active = m_frame.activeDocument();
    SheetDocument* sheet = active ? active->shownSheet() : nullptr;
    std::vector<const ExportFormat*> offered;
    for (const std::string& ext : extensions)
        if (const ExportFormat* f = desktopExportFormats().byExtension(ext))
            offered.push_back(f);
    if (!sheet || offered.empty())
        return;
    QStringList filters;
    for (const ExportFormat* f : offered)
        filters << QString::fromStdString(f->filter);
    filters << q(kAllFilesFilter);
    const QString suffix = QString::fromStdString(offered.front()->extension.substr(1));
    const auto choice =
        m_frame.services().dialogs.saveFile(caption, filters, suffix, proposedName(*active, suffix));
    if (!choice)
        return;
    // The chosen name's extension picks the format among those offered; any other name is
    // written in the first.
    const ExportFormat* format = offered.front();
    for (const ExportFormat* f : offered)
        if (f->extension == fileExtensionOf(choice->path))
            format = f;
    const FileResult result = format->write(*sheet, choice->path, options);
    if (!result)
        failed(verb, choice->path, result.error);
    else if (!result.warnings.empty()) {
        std::string text = choice->path + " was written, with these changes:";
        for (const auto& w : result.warnings)
            text += "\n" + w;
        warn(text);
    }
}

bool DocumentCommands::print()
{
    DocumentWindow* document = m_frame.activeDocument();
    if (!document || !document->canPrint())
        return false;
    const std::optional<QPageLayout> page = document->pageLayout();
    std::unique_ptr<Printer> printer =
        m_frame.services().dialogs.choosePrinter(document->title(), page ? &*page : nullptr);
    if (!printer)
        return true;
    const PrintResult result = document->print(*printer);
    if (!result.ok)
        failed("print", document->title(), result.error);
    return true;
}

bool DocumentCommands::confirmClose(DocumentWindow& document)
{
    // Close All asked its questions already.
    if (m_confirmed.count(&document))
        return true;
    Player& player = m_frame.services().player;
    if (const SheetDocument* sheet = document.shownSheet();
        sheet && (player.isPlaying(sheet) || m_frame.playbackCommands().isPlaying(sheet)))
        m_frame.playbackCommands().stop();
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
        m_frame.playbackCommands().stop();
        if (!exiting)
            return false;
    }
    // Sheets first, then chord documents, then the rest (the scale diagram). Every question
    // is asked before any window closes, so a Cancel leaves all of them as they were.
    std::vector<DocumentWindow*> order;
    for (SheetWindow* w : m_frame.sheetWindows())
        order.push_back(w);
    for (ChordWindow* w : m_frame.chordWindows())
        order.push_back(w);
    for (DocumentWindow* d : m_frame.documents())
        if (std::find(order.begin(), order.end(), d) == order.end())
            order.push_back(d);
    for (DocumentWindow* d : order) {
        if (!confirmClose(*d)) {
            m_confirmed.clear();
            return false;
        }
        m_confirmed.insert(d);
    }
    bool closed = true;
    for (DocumentWindow* d : order)
        if (QWidget* sub = d->widget().parentWidget(); sub && !sub->close())
            closed = false;
    m_confirmed.clear();
    return closed;
}

} // namespace tonvela
