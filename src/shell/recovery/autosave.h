#pragma once

#include "platform/serial_worker.h"
#include "recovery/recovery_store.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QTimer;

namespace tonvela {

class DocumentWindow;
class SettingsStore;

// The default and longest interval between two autosave passes. An edit is copied at the next
// pass and written a moment later, well within 30 seconds.
inline constexpr int kMaxAutosaveSeconds = 25;
// The setting that shortens the interval (whole seconds, 1 to 25).
inline constexpr const char* kKeyAutosaveSeconds = "AutosaveSeconds";

// The interval the settings ask for: AutosaveSeconds when it holds 1 to 25, else 25 seconds.
std::chrono::seconds autosaveInterval(const SettingsStore& settings);

// Keeps a recovery file (recovery_store.h) of every modified document, so that a crash costs
// at most one interval of work.
//
// Every interval it copies each modified document that changed since its last copy (a sheet
// counts its changes as it announces them, DocumentWindow::changeCount; a document without a
// count is copied every time) and hands the copy to its own worker thread, which makes the
// file text and writes it atomically; an unchanged text is not written again. A document that
// is no longer modified (saved, or undone to its saved state), or that is closed, loses its
// file. A clean exit (the destructor) removes every file of this instance. All file work runs
// on the worker, in order, so a removal never overtakes the write before it.
//
// Thread rules: user-interface thread; the worker thread only ever sees copies.
class Autosave : public QObject {
  public:
    using Documents = std::function<std::vector<DocumentWindow*>()>;

    // No autosave at all when `folder` is empty.
    Autosave(std::string folder, Documents documents,
             std::chrono::milliseconds interval = std::chrono::seconds(kMaxAutosaveSeconds),
             QObject* parent = nullptr);
    ~Autosave() override;

    const std::string& folder() const { return m_folder; }
    std::chrono::milliseconds interval() const;
    void setInterval(std::chrono::milliseconds interval);

    // Makes the recovery folder ready at start-up (created, mode 0700). False, after telling
    // onFailure once, when it cannot be used (a symbolic link, say); later failures then say
    // nothing more.
    bool prepareFolder();
    // One pass now (the timer runs it every interval).
    void saveNow();
    // The document was saved to its own file or closed: its recovery file goes.
    void forget(const DocumentWindow& document);
    // The document was closed: its recovery file and what is known of its original go.
    void closed(const DocumentWindow& document);
    // The document's own file as it was opened or last saved, recorded in its recovery file so
    // that a recovery never writes over a file that changed since.
    void setOriginal(const DocumentWindow& document, const FileStamp& original);
    // A recovered document goes on in the file it was recovered from; `original` is what its
    // recovery file recorded of the file the document keeps (none for an untitled one).
    void adopt(const DocumentWindow& document, const std::string& file, const FileStamp& original = {});
    // The recovery file a document has now, or an empty text.
    std::string fileOf(const DocumentWindow& document) const;
    // A name for a new recovery file of this instance.
    std::string newFileName() const;
    // Waits until every write and removal handed to the worker so far is done.
    void flush() { m_worker.flush(); }

    // Told (on the user-interface thread) when a write fails for the first time, with a
    // message a user can read. Later failures are not repeated.
    std::function<void(const std::string& message)> onFailure;

  private:
    void remove(const std::string& file);
    void failed(const std::string& message);

    std::string m_folder;
    Documents m_documents;
    QTimer* m_timer;
    std::map<const DocumentWindow*, std::string> m_files;
    // The change count of each document at its last copy.
    std::map<const DocumentWindow*, uint64_t> m_copiedAt;
    std::map<const DocumentWindow*, FileStamp> m_originals;
    bool m_reportedFailure = false;
    // The text last written to each file; worker thread only.
    std::map<std::string, std::size_t> m_written;
    SerialWorker m_worker; // last: it stops before what its jobs use
};

} // namespace tonvela
