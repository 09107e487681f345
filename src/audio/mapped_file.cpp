#include "audio/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvela::audio {

MappedFile::~MappedFile()
{
    close();
}

bool MappedFile::open(const std::string& path)
{
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    if (size > 0) {
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map == MAP_FAILED) {
            ::close(fd);
            return false;
        }
        m_map = map;
        m_data = static_cast<const unsigned char*>(map);
    }
    ::close(fd);
    m_size = size;
    return true;
}

void MappedFile::close()
{
    if (m_map)
        ::munmap(m_map, m_size);
    m_map = nullptr;
    m_data = nullptr;
    m_size = 0;
}

} // namespace tonvela::audio
