#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

// Outcome of a file operation: ok, or a message a user can read.
struct FileResult {
    bool ok = true;
    std::string error;
    // What a written file could not hold as it stands (an export's notes out of its range):
    // the file was written, and these tell the user what differs.
    std::vector<std::string> warnings;

    static FileResult success() { return {}; }
    static FileResult failure(std::string message)
    {
        FileResult r;
        r.ok = false;
        r.error = std::move(message);
        return r;
    }
    explicit operator bool() const { return ok; }
};

// Who may read a file that writeFileAtomically writes.
enum class FileAccess {
    // A new file gets the usual permissions (0666 less the umask); an existing file keeps its
    // own. A symbolic link is followed, so the link keeps pointing at the saved file.
    Usual,
    // Only the user, always (0600), whatever the umask and the file's mode before; a symbolic
    // link is replaced, not followed. For copies of the user's unsaved work.
    Private,
};

// Replaces the file at `path` with `data` so that no reader ever sees a half-written file:
// the bytes go to a temporary file in the same folder, are flushed to disk, and the temporary
// file is renamed over the target. On any failure the old file is left as it was and the
// temporary file is removed.
FileResult writeFileAtomically(const std::string& path, std::string_view data,
                               FileAccess access = FileAccess::Usual);

// Temporary files of writeFileAtomically begin with this, followed by the id and start time
// of the process that writes them ("<pid>-<start ticks>-" and six random characters), so a
// later start can tell the leftovers of a write that was killed from a write running now.
inline constexpr const char* kAtomicTemporaryPrefix = ".tonvela-save-";

// Removes from `folder` the temporary files of atomic writes whose writer is gone (ended, or
// a zombie), and those of earlier releases (no writer in the name) older than ten minutes.
// Only regular files of this user that are named so; returns how many went.
int removeLeftoverTemporaryFiles(const std::string& folder);

// Reads a whole file into `out`. Fails with a readable message when the file cannot be opened
// or is larger than `maxBytes`.
FileResult readWholeFile(const std::string& path, std::string& out, std::size_t maxBytes);

} // namespace tonvela
