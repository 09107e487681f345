#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tonvela {

// How a reader fared with a file.
enum class LoadStatus {
    Ok,         // read; `warnings` may still list what was cut short or left out
    WrongKind,  // another kind of file than this reader reads (not a sheet, not a MIDI file, ...)
    Unreadable, // the file could not be opened or read, or is too large to be read
    Invalid,    // the right kind of file, but refused: damaged, or holding nothing to use
};

// The one result shape of every file reader: a status, the message that says why a file was
// refused, and the warnings of a file that was read with something cut short or left out. A
// reader with more to hand back (the MIDI reader's summary of the file, decoded audio) takes
// an out-parameter for it and still returns this.
struct LoadResult {
    LoadStatus status = LoadStatus::Ok;
    std::string error;                 // why the file was refused; empty when ok
    std::vector<std::string> warnings; // what was cut short or left out of a file that was read

    bool ok() const { return status == LoadStatus::Ok; }

    static LoadResult failure(LoadStatus status, std::string message)
    {
        LoadResult r;
        r.status = status;
        r.error = std::move(message);
        return r;
    }
};

} // namespace tonvela
