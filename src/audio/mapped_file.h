#pragma once

#include <cstddef>
#include <string>

namespace tonvela::audio {

// A whole file mapped read-only into memory, kept while the object lives. Readers get its
// bytes and size and must never look past size().
class MappedFile {
  public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // False when the file cannot be opened or mapped; an empty file maps to no bytes.
    bool open(const std::string& path);
    void close();
    const unsigned char* data() const { return m_data; }
    std::size_t size() const { return m_size; }

  private:
    const unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
    void* m_map = nullptr;
};

} // namespace tonvela::audio
