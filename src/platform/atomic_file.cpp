#include "platform/atomic_file.h"

#include "platform/process_identity.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvela {

namespace {

std::string systemError(const std::string& what, const std::string& path, int err)
{
    return what + " \"" + path + "\": " + std::strerror(err);
}

// The file the save really lands on: the target of a symbolic link, else the path itself.
std::string resolveTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* real = ::realpath(path.c_str(), nullptr);
        if (real) {
            std::string resolved(real);
            std::free(real);
            return resolved;
        }
    }
    return path;
}

// The random part mkstemp fills in.
constexpr std::size_t kRandomPartLength = 6;
constexpr time_t kUnnamedWriteSeconds = 10 * 60;

// The writer named in a temporary file's name after the prefix: "<pid>-<start ticks>-XXXXXX".
bool writerOf(std::string_view rest, ProcessIdentity& writer)
{
    const auto number = [&rest](unsigned long long& out) {
        std::size_t i = 0;
        out = 0;
        while (i < rest.size() && i < 20 && rest[i] >= '0' && rest[i] <= '9')
            out = out * 10 + static_cast<unsigned long long>(rest[i++] - '0');
        if (i == 0 || i >= rest.size() || rest[i] != '-')
            return false;
        rest.remove_prefix(i + 1);
        return true;
    };
    unsigned long long pid = 0;
    unsigned long long started = 0;
    if (!number(pid) || !number(started) || rest.size() != kRandomPartLength || pid == 0 ||
        pid > static_cast<unsigned long long>(std::numeric_limits<pid_t>::max()))
        return false;
    writer = {static_cast<long>(pid), started, {}};
    return true;
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

FileResult writeFileAtomically(const std::string& path, std::string_view data, FileAccess access)
{
    if (path.empty())
        return FileResult::failure("No file name given");
    const bool isPrivate = access == FileAccess::Private;
    const std::string target = isPrivate ? path : resolveTarget(path);
    struct stat existing {};
    const int found = isPrivate ? ::lstat(target.c_str(), &existing) : ::stat(target.c_str(), &existing);
    if (found == 0 && !S_ISREG(existing.st_mode) && !(isPrivate && S_ISLNK(existing.st_mode)))
        return FileResult::failure("Could not write \"" + path + "\": not a regular file");
    const auto slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);

    const ProcessIdentity self = currentProcess();
    std::string tmpl = (slash == std::string::npos ? std::string() : dir) + kAtomicTemporaryPrefix +
                       std::to_string(self.pid) + "-" + std::to_string(self.startTicks) + "-XXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        return FileResult::failure(systemError("Could not write", path, errno));

    struct stat st {};
    const mode_t mode = isPrivate                          ? mode_t{0600}
                        : ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777)
                                                           : newFileMode();
    ::fchmod(fd, mode);

    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            ::unlink(tmpl.c_str());
            return FileResult::failure(systemError("Could not write", path, err));
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        const int err = errno;
        ::close(fd);
        ::unlink(tmpl.c_str());
        return FileResult::failure(systemError("Could not write", path, err));
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmpl.c_str());
        return FileResult::failure(systemError("Could not write", path, err));
    }
    if (::rename(tmpl.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmpl.c_str());
        return FileResult::failure(systemError("Could not save", path, err));
    }
    return FileResult::success();
}

int removeLeftoverTemporaryFiles(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return 0;
    }
    const std::string_view prefix = kAtomicTemporaryPrefix;
    const time_t now = std::time(nullptr);
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (name.substr(0, prefix.size()) != prefix)
            continue;
        const std::string_view rest = name.substr(prefix.size());
        ProcessIdentity writer;
        const bool named = writerOf(rest, writer);
        if (!named && rest.size() != kRandomPartLength)
            continue; // not a name the writer gives
        struct stat st {};
        if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::getuid())
            continue;
        // An earlier release named no writer: its write is surely over after ten minutes.
        const bool gone = named ? !processRunning(writer) : now - st.st_mtime > kUnnamedWriteSeconds;
        if (gone && ::unlinkat(fd, e->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

FileResult readWholeFile(const std::string& path, std::string& out, std::size_t maxBytes)
{
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return FileResult::failure(systemError("Could not open", path, errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return FileResult::failure("Could not open \"" + path + "\": not a regular file");
    }
    if (st.st_size > 0 && static_cast<unsigned long long>(st.st_size) > maxBytes) {
        ::close(fd);
        return FileResult::failure("Could not open \"" + path + "\": the file is too large");
    }
    if (st.st_size > 0)
        out.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            out.clear();
            return FileResult::failure(systemError("Could not read", path, err));
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<std::size_t>(n) > maxBytes) {
            ::close(fd);
            out.clear();
            return FileResult::failure("Could not open \"" + path + "\": the file is too large");
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return FileResult::success();
}

} // namespace tonvela
