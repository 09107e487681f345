#include "recovery/recovery_store.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvela {
namespace {

constexpr std::string_view kMagic = "tonvela-recovery ";
constexpr int kFormatVersion = 1;

std::string escapeHeaderText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescapeHeaderText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

// A whole decimal number, or false.
template <class Int> bool readNumber(std::string_view text, Int& out)
{
    if (text.empty() || text.size() > 20)
        return false;
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || end != s.c_str() + s.size())
        return false;
    out = static_cast<Int>(v);
    return true;
}

// The format version of a file that starts like a recovery file, or 0.
int formatVersionOf(std::string_view text)
{
    if (text.substr(0, kMagic.size()) != kMagic)
        return 0;
    const auto eol = text.find('\n');
    int version = 0;
    if (eol == std::string_view::npos ||
        !readNumber(text.substr(kMagic.size(), eol - kMagic.size()), version))
        return 0;
    return version;
}

std::string baseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool endsWith(const std::string& s, std::string_view suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

FileStamp stampOfFile(const std::string& path)
{
    FileStamp stamp;
    struct stat st {};
    std::string content;
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        !readWholeFile(path, content, kMaxRecoveryFileBytes))
        return stamp;
    // FNV-1a: stable across builds and machines, which a later start needs.
    uint64_t h = 14695981039346656037ull;
    for (const char c : content) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    stamp.known = true;
    stamp.size = static_cast<int64_t>(content.size());
    stamp.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.hash = std::string("fnv1a64:") + hex;
    return stamp;
}

OriginalState originalState(const RecoveryEntry& entry)
{
    const std::string& path = entry.originalPath;
    if (path.empty())
        return OriginalState::Untitled;
    // A relative path means whatever folder the next start happens to run in.
    if (path[0] != '/')
        return OriginalState::Unknown;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT)
        return OriginalState::Missing;
    if (!entry.original.known)
        return OriginalState::Unknown;
    const FileStamp now = stampOfFile(path);
    return now == entry.original ? OriginalState::Unchanged : OriginalState::Changed;
}

std::string recoveryFolderPath()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/')
        return std::string(state) + "/tonvela/recovery";
    const char* home = std::getenv("HOME");
    std::string base = home && home[0] == '/' ? home : "";
    if (base.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
            base = pw->pw_dir;
    }
    return base.empty() ? std::string() : base + "/.local/state/tonvela/recovery";
}

FileResult makePrivateFolder(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return FileResult::failure("No folder for recovery files");
    std::size_t pos = 1;
    while (pos <= path.size()) {
        const auto slash = path.find('/', pos);
        const std::string part = path.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return FileResult::failure("Could not create \"" + part + "\": " + std::strerror(errno));
        if (slash == std::string::npos)
            break;
        pos = slash + 1;
    }
    // A link is never followed: its target may be anyone's folder, open to others, and its
    // mode is not ours to change.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return FileResult::failure(
            "The recovery folder \"" + path +
            "\" is a symbolic link. Tonvela keeps no recovery copies in it; remove the "
            "link to have them kept again.");
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return FileResult::failure("Could not create \"" + path + "\": not a folder");
    if ((st.st_mode & 0777) != 0700 && st.st_uid == ::getuid())
        ::chmod(path.c_str(), 0700);
    return FileResult::success();
}

std::string recoveryFileText(const RecoveryEntry& entry, std::string_view document)
{
    std::string out;
    out.reserve(document.size() + 512);
    out += kMagic;
    out += std::to_string(kFormatVersion);
    out += "\nkind=" + escapeHeaderText(entry.kind);
    out += "\npath=" + escapeHeaderText(entry.originalPath);
    out += "\ntitle=" + escapeHeaderText(entry.title);
    out += "\nsaved=" + std::to_string(entry.savedAt);
    out += "\npid=" + std::to_string(entry.owner.pid);
    out += "\nstarted=" + std::to_string(entry.owner.startTicks);
    out += "\nboot=" + escapeHeaderText(entry.owner.bootId);
    if (entry.original.known) {
        out += "\noriginal-size=" + std::to_string(entry.original.size);
        out += "\noriginal-modified=" + std::to_string(entry.original.modifiedNs);
        out += "\noriginal-hash=" + escapeHeaderText(entry.original.hash);
    }
    out += "\nlength=" + std::to_string(document.size());
    out += "\n\n";
    out += document;
    return out;
}

bool parseRecoveryFile(std::string_view text, RecoveryEntry& entry, std::string& document, std::string& error)
{
    entry = {};
    document.clear();
    if (formatVersionOf(text) != kFormatVersion) {
        error = "it is not a recovery file";
        return false;
    }
    std::size_t pos = text.find('\n') + 1;
    long long length = -1;
    bool ended = false;
    while (pos < text.size()) {
        const auto eol = text.find('\n', pos);
        if (eol == std::string_view::npos)
            break;
        const std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (line.empty()) {
            ended = true;
            break;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view name = line.substr(0, eq);
        const std::string_view value = line.substr(eq + 1);
        bool ok = true;
        if (name == "kind")
            entry.kind = unescapeHeaderText(value);
        else if (name == "path")
            entry.originalPath = unescapeHeaderText(value);
        else if (name == "title")
            entry.title = unescapeHeaderText(value);
        else if (name == "saved")
            ok = readNumber(value, entry.savedAt);
        else if (name == "pid")
            ok = readNumber(value, entry.owner.pid);
        else if (name == "started")
            ok = readNumber(value, entry.owner.startTicks);
        else if (name == "boot")
            entry.owner.bootId = unescapeHeaderText(value);
        else if (name == "original-size")
            ok = readNumber(value, entry.original.size) && entry.original.size >= 0;
        else if (name == "original-modified")
            ok = readNumber(value, entry.original.modifiedNs);
        else if (name == "original-hash")
            entry.original.hash = unescapeHeaderText(value);
        else if (name == "length")
            ok = readNumber(value, length) && length >= 0;
        if (!ok) {
            error = "its header has a damaged \"" + std::string(name) + "\" line";
            return false;
        }
    }
    if (!ended || length < 0) {
        error = "its header is incomplete";
        return false;
    }
    if (entry.kind != kRecoveryKindSheet && entry.kind != kRecoveryKindChord) {
        error = "it holds a document of an unknown kind \"" + entry.kind + "\"";
        return false;
    }
    entry.original.known = !entry.original.hash.empty();
    const std::size_t have = text.size() - pos;
    if (have != static_cast<std::size_t>(length)) {
        error = have < static_cast<std::size_t>(length) ? "it is cut off before its end"
                                                        : "it is longer than its header says";
        return false;
    }
    document.assign(text.substr(pos));
    return true;
}

std::vector<RecoveryFile> listRecoverableFiles(const std::string& folder)
{
    std::vector<RecoveryFile> found;
    // Only the folder itself, never where a link points (makePrivateFolder refuses it).
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return found;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return found;
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.' || !endsWith(name, kRecoveryFileSuffix))
            continue;
        names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        RecoveryFile f;
        f.file = folder + "/" + name;
        struct stat st {};
        if (::stat(f.file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        std::string text;
        if (const FileResult r = readWholeFile(f.file, text, kMaxRecoveryFileBytes); !r) {
            f.damage = r.error;
            found.push_back(std::move(f));
            continue;
        }
        // A newer program's file is its business, whoever runs it.
        if (formatVersionOf(text) > kFormatVersion)
            continue;
        if (parseRecoveryFile(text, f.entry, f.document, f.damage) && processRunning(f.entry.owner))
            continue;
        if (!f.damaged())
            f.original = originalState(f.entry);
        found.push_back(std::move(f));
    }
    std::stable_sort(found.begin(), found.end(), [](const RecoveryFile& a, const RecoveryFile& b) {
        return a.entry.savedAt < b.entry.savedAt;
    });
    return found;
}

std::string newRecoveryFileName(const std::string& folder)
{
    static std::atomic<int> next{1};
    const ProcessIdentity self = currentProcess();
    return folder + "/" + std::to_string(self.startTicks) + "-" + std::to_string(self.pid) + "-" +
           std::to_string(next++) + kRecoveryFileSuffix;
}

FileResult writeRecoveryFile(const std::string& file, const RecoveryEntry& entry, std::string_view document)
{
    const auto slash = file.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        if (const FileResult made = makePrivateFolder(file.substr(0, slash)); !made)
            return made;
    }
    return writeFileAtomically(file, recoveryFileText(entry, document), FileAccess::Private);
}

FileResult removeRecoveryFile(const std::string& file)
{
    if (::unlink(file.c_str()) != 0 && errno != ENOENT)
        return FileResult::failure("Could not remove \"" + file + "\": " + std::strerror(errno));
    return FileResult::success();
}

FileResult claimRecoveryFile(const RecoveryFile& found, const std::string& to)
{
    if (found.damaged())
        return FileResult::failure("\"" + found.file + "\" is damaged: " + found.damage);
    if (::rename(found.file.c_str(), to.c_str()) != 0)
        return FileResult::failure("Could not take \"" + found.file + "\": " + std::strerror(errno));
    RecoveryEntry entry = found.entry;
    entry.owner = currentProcess();
    return writeRecoveryFile(to, entry, found.document);
}

std::string setDamagedFileAside(const std::string& file, const std::string& folder, std::string& error)
{
    const std::string aside = folder + "/" + kDamagedRecoveryFolder;
    if (const FileResult made = makePrivateFolder(aside); !made) {
        error = made.error;
        return {};
    }
    const std::string to = aside + "/" + baseName(file);
    if (::rename(file.c_str(), to.c_str()) != 0) {
        error = "Could not move \"" + file + "\": " + std::strerror(errno);
        return {};
    }
    return to;
}

} // namespace tonvela
