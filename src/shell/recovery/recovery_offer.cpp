#include "shell/recovery/recovery_offer.h"

#include "harmony/chord_document.h"
#include "harmony/chord_document_file.h"
#include "platform/notifier.h"
#include "platform/sheet_lock.h"
#include "score/markup_tree.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "shell/documents/chord_window.h"
#include "shell/documents/sheet_window.h"
#include "shell/frame/document_commands.h"
#include "shell/frame/main_window.h"
#include "shell/recovery/autosave.h"

#include <QPointer>

#include <algorithm>
#include <set>

namespace tonvela {
namespace {

// The file at the recorded path is still the document it was when it is unchanged, but a
// planted recovery file may name any file: it has to be a document of the recovered kind too.
void checkOriginalKind(RecoveryFile& found)
{
    if (found.damaged() || found.original != OriginalState::Unchanged)
        return;
    const std::string root = peekFirstToken(found.entry.originalPath);
    const bool sameKind =
        found.entry.kind == kRecoveryKindSheet ? root == "staffdoc" : root == kChordDocumentRoot;
    if (!sameKind)
        found.original = OriginalState::WrongKind;
}

// Opens the document of a claimed recovery file; the window, or null with `error` set. A
// document whose original may not be written opens untitled under its recovered name.
DocumentWindow* openRecovered(MainWindow& frame, const RecoveryFile& found, std::string& error,
                              std::vector<std::string>& warnings)
{
    RecoveryEntry e = found.entry;
    if (!found.keepsItsPath()) {
        e.title = recoveredTitle(e);
        e.originalPath.clear();
    }
    if (e.kind == kRecoveryKindSheet) {
        auto sheet = std::make_unique<SheetDocument>();
        LoadResult result;
        {
            SheetLockGuard lock(sheetLock());
            result = loadSheetFromText(*sheet, found.document);
            if (result.ok()) {
                sheet->caption = e.title;
                sheet->path = e.originalPath;
                sheet->markModified();
            }
        }
        if (!result.ok()) {
            error = result.error;
            return nullptr;
        }
        warnings = result.warnings;
        SheetWindow* w = frame.addSheetWindow(std::move(sheet));
        w->editor().selectTrack(0);
        w->onResize();
        return w;
    }
    auto doc = std::make_unique<ChordDocument>();
    const LoadResult result = readChordDocumentFromText(*doc, found.document);
    if (!result.ok()) {
        error = result.error;
        return nullptr;
    }
    warnings = result.warnings;
    doc->title = e.title;
    doc->path = e.originalPath;
    doc->markModified();
    return frame.addChordWindow(std::move(doc));
}

std::string damagedMessage(const std::vector<std::string>& lines, const std::string& folder)
{
    std::string text = "These recovery files could not be read. They were moved to " + folder + "/" +
                       kDamagedRecoveryFolder + ", where they are kept:";
    for (const std::string& line : lines)
        text += "\n" + line;
    return text;
}

std::string nameOf(const std::string& file)
{
    return file.substr(file.find_last_of('/') + 1);
}

} // namespace

std::string recoveredTitle(const RecoveryEntry& entry)
{
    if (entry.originalPath.empty())
        return entry.title;
    const std::string& title = entry.title;
    const auto dot = title.find_last_of('.');
    const std::string base = dot == std::string::npos || dot == 0 ? title : title.substr(0, dot);
    return base + " (recovered)";
}

void followDocuments(MainWindow& frame, Autosave& autosave)
{
    // The autosave may go before the frame (at exit): the hooks then do nothing.
    QPointer<Autosave> guard(&autosave);
    // What the document's own file is like as it was opened or saved, for its recovery file.
    const auto recordOriginal = [guard](const DocumentWindow& document) {
        if (guard && !document.path().empty())
            guard->setOriginal(document, stampOfFile(document.path()));
    };
    frame.documentCommands().onOpened = recordOriginal;
    frame.documentCommands().onSaved = [guard, recordOriginal](const DocumentWindow& document) {
        if (!guard)
            return;
        if (!document.isModified())
            guard->forget(document);
        recordOriginal(document);
    };
    frame.onDocumentClosed = [guard](const DocumentWindow& document) {
        if (guard)
            guard->closed(document);
    };
}

void removeLeftoverWrites(const MainWindow& frame, const Autosave& autosave)
{
    std::set<std::string> folders;
    if (!autosave.folder().empty())
        folders.insert(autosave.folder());
    for (const DocumentWindow* d : frame.documents()) {
        const std::string path = d->path();
        if (const auto slash = path.find_last_of('/'); slash != std::string::npos)
            folders.insert(slash == 0 ? std::string("/") : path.substr(0, slash));
    }
    for (const std::string& folder : folders)
        removeLeftoverTemporaryFiles(folder);
}

int offerRecovery(MainWindow& frame, Autosave& autosave, const AskRecovery& ask)
{
    const std::string& folder = autosave.folder();
    if (folder.empty())
        return 0;
    std::vector<RecoveryFile> found = listRecoverableFiles(folder);
    if (found.empty())
        return 0;
    for (RecoveryFile& f : found) {
        checkOriginalKind(f);
        // A save the crash cut short left its temporary file beside the original.
        if (const std::string& path = f.entry.originalPath; !path.empty() && path[0] == '/')
            removeLeftoverTemporaryFiles(path.substr(0, std::max<std::size_t>(path.find_last_of('/'), 1)));
    }
    const RecoveryAnswer answer = ask(found);
    if (answer == RecoveryAnswer::Later)
        return 0;
    Notifier& notifier = frame.services().notifier;
    std::vector<std::string> damaged;
    std::vector<std::string> failures;
    // A file that cannot be read stays with the user, out of the way of the next start.
    auto setAside = [&](const std::string& file, const std::string& why) {
        std::string error;
        const std::string moved = setDamagedFileAside(file, folder, error);
        damaged.push_back(nameOf(file) + ": " + why +
                          (moved.empty() ? " (" + error + "; it was left where it was)" : ""));
    };
    int opened = 0;
    for (const RecoveryFile& f : found) {
        if (f.damaged()) {
            setAside(f.file, f.damage);
            continue;
        }
        if (answer == RecoveryAnswer::Discard) {
            if (const FileResult r = removeRecoveryFile(f.file); !r)
                failures.push_back(r.error);
            continue;
        }
        // Taking the file first: of two instances starting at once only one opens it.
        RecoveryFile claimed = f;
        claimed.file = autosave.newFileName();
        if (const FileResult r = claimRecoveryFile(f, claimed.file); !r) {
            failures.push_back(r.error);
            continue;
        }
        std::string error;
        std::vector<std::string> warnings;
        DocumentWindow* window = openRecovered(frame, claimed, error, warnings);
        if (!window) {
            setAside(claimed.file, error);
            continue;
        }
        autosave.adopt(*window, claimed.file, f.keepsItsPath() ? f.entry.original : FileStamp{});
        ++opened;
        if (!warnings.empty()) {
            std::string text = "Some of the recovered " + f.entry.title + " was left out:";
            for (const std::string& w : warnings)
                text += "\n" + w;
            notifier.warning(text, "Warning");
        }
    }
    if (!damaged.empty())
        notifier.error(damagedMessage(damaged, folder), "Error");
    if (!failures.empty()) {
        std::string text = "Some recovery files could not be handled:";
        for (const std::string& line : failures)
            text += "\n" + line;
        notifier.error(text, "Error");
    }
    return opened;
}

} // namespace tonvela
