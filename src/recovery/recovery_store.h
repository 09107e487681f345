#pragma once

#include "platform/atomic_file.h"
#include "platform/process_identity.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

// Recovery files: the last autosaved state of every modified document, so that the next start
// after a crash can offer it back. One file per document, written atomically, made of a short
// header and the document's own file text:
//
//   tonvela-recovery 1
//   kind=sheet
//   path=/home/me/song.shd        (empty for a document never saved)
//   title=song.shd
//   saved=1765275000              (seconds since 1970, UTC)
//   pid=4242
//   started=123456                (the process's start time, in clock ticks since boot)
//   boot=3f1c...                  (the boot the process ran in)
//   original-size=4980            (the original file as the document was opened or last
//   original-modified=1765274000123456789     saved: its size, modification time in
//   original-hash=fnv1a64:0123456789abcdef    nanoseconds and a hash of its content; absent
//                                             for an untitled document)
//   length=5120                   (bytes of document text after the blank line)
//
//   <the document exactly as its file would hold it>
//
// Texts in the header keep "\" as "\\" and line ends as "\n" and "\r". The owner (pid, start
// time, boot) tells a file of a running instance, which is never touched, from one of an
// instance that is gone. The original's record tells whether the recovered document may go on
// in its file: a file changed since by someone else is never overwritten. Readers ignore
// header lines they do not know, so files with and without the record read everywhere.

inline constexpr const char* kRecoveryKindSheet = "sheet";
inline constexpr const char* kRecoveryKindChord = "chord";
// Recovery files end in this; anything else in the folder is left alone.
inline constexpr const char* kRecoveryFileSuffix = ".recovery";
// Files that could not be read are moved into this subfolder of the recovery folder.
inline constexpr const char* kDamagedRecoveryFolder = "damaged";
// A recovery file larger than this is not read (a document file is far smaller).
inline constexpr std::size_t kMaxRecoveryFileBytes = 64u * 1024u * 1024u;

// A file as it was at one moment: enough to tell whether it changed since.
struct FileStamp {
    bool known = false; // false: no file was there, or it could not be read
    int64_t size = 0;
    int64_t modifiedNs = 0; // modification time, nanoseconds since 1970
    std::string hash;       // "fnv1a64:" and 16 hex digits of the content
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at `path` now (unknown when it is missing, not a regular file, or
// larger than kMaxRecoveryFileBytes).
FileStamp stampOfFile(const std::string& path);

struct RecoveryEntry {
    std::string kind;         // kRecoveryKindSheet or kRecoveryKindChord
    std::string originalPath; // empty for an untitled document
    std::string title;
    int64_t savedAt = 0; // seconds since 1970
    ProcessIdentity owner;
    FileStamp original = {}; // the original file when the document was opened or last saved
};

// What became of the file a recovered document came from.
enum class OriginalState {
    Untitled,  // the document was never saved
    Unchanged, // the file is as the document last saw it: Save may write it
    Missing,   // no file at the path: Save writes it again there
    Changed,   // another file, or the same one changed since: never overwritten
    Unknown,   // no record of it (a relative path, or a file of an earlier release)
    WrongKind, // the file there is no document of this kind (decided by the caller)
};
OriginalState originalState(const RecoveryEntry& entry);

// The recovery folder: $XDG_STATE_HOME/tonvela/recovery, or ~/.local/state/tonvela/recovery
// when XDG_STATE_HOME is unset or not an absolute path. Empty when neither variable helps.
std::string recoveryFolderPath();
// Creates the folder and its missing parents with mode 0700; an existing recovery folder is
// set to 0700 as well, since it holds the user's unsaved work. A folder that is a symbolic
// link is refused (with a message that says so), never followed.
FileResult makePrivateFolder(const std::string& path);

// The whole file text of an entry and its document.
std::string recoveryFileText(const RecoveryEntry& entry, std::string_view document);
// Reads a file text back. False, with a reason a user can read in `error`, for a text that is
// not a complete recovery file.
bool parseRecoveryFile(std::string_view text, RecoveryEntry& entry, std::string& document,
                       std::string& error);

// One file of the folder as listed: its entry and document, or why it could not be read.
struct RecoveryFile {
    std::string file; // full path
    RecoveryEntry entry;
    std::string document;
    std::string damage; // empty when the file was read
    OriginalState original = OriginalState::Untitled;
    bool damaged() const { return !damage.empty(); }
    // True when the recovered document may go on in its original path.
    bool keepsItsPath() const
    {
        return original == OriginalState::Unchanged || original == OriginalState::Missing;
    }
};

// Every recovery file of the folder whose owner is not running (damaged files included: who
// wrote them is not known), oldest first, each with the state of its original file. Files of
// running instances are left out.
std::vector<RecoveryFile> listRecoverableFiles(const std::string& folder);

// A name for a new recovery file of this process: unique within the process and apart from
// every other process's names.
std::string newRecoveryFileName(const std::string& folder);

// Writes one recovery file atomically with mode 0600 (creating the folder when needed).
FileResult writeRecoveryFile(const std::string& file, const RecoveryEntry& entry, std::string_view document);
// Removes a recovery file; a file that is gone already is no failure.
FileResult removeRecoveryFile(const std::string& file);
// Takes a file of a process that is gone for this process: renames it to `to` (one instance
// wins when two try) and rewrites its owner. False when the file was gone or could not be
// moved.
FileResult claimRecoveryFile(const RecoveryFile& found, const std::string& to);
// Moves a damaged file into the "damaged" subfolder, where it is kept for the user and not
// offered again. Returns the new path, or an empty text with `error` set.
std::string setDamagedFileAside(const std::string& file, const std::string& folder, std::string& error);

} // namespace tonvela
