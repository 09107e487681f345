#pragma once

#include "audio/mapped_file.h"
#include "platform/load_result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tonvela {
class Notifier;
}

namespace tonvela::audio {

class SoundEngine;

inline constexpr const char* kSoundFontSizeMismatch = "Soundfont2 file size mismatch";
inline constexpr std::size_t kSampleHeaderBytes = 46;
inline constexpr std::size_t kMaxInfoText = 255;
inline constexpr uint16_t kSampleTypeMono = 1;

// One `shdr` record of a SoundFont 2 file.
struct SampleHeader {
    std::string name; // up to 20 characters
    uint32_t start = 0;
    uint32_t end = 0;
    uint32_t startLoop = 0;
    uint32_t endLoop = 0;
    uint32_t sampleRate = 0;
    uint8_t originalPitch = 0;
    int8_t pitchCorrection = 0;
    uint16_t sampleLink = 0;
    uint16_t sampleType = 0;
};

// A SoundFont 2 bank read far enough to play its samples: the raw 16-bit sample data of the
// `smpl` chunk and the sample headers of `shdr`, chosen by index. Presets, instruments and
// zones are not read. The file stays mapped while the bank lives.
//
// Thread rules: one thread (the caller's); playSample hands a copy to a stream thread.
class SoundBank {
  public:
    // Reads the file: Unreadable when it cannot be opened, WrongKind when it is no RIFF "sfbk"
    // form (the bank is then left empty). A RIFF size that differs from the file shows
    // "Soundfont2 file size mismatch" through `notifier`, is listed as a warning, and loading
    // goes on. The file is walked chunk by chunk: the engine name is the first text of the
    // INFO list after its version, the sample data the "smpl" chunk of the sdta list, the
    // sample headers the "shdr" chunk of the pdta list. Chunk sizes are never trusted past the
    // end of the file.
    LoadResult load(const std::string& path, Notifier& notifier);
    // Reads bytes already in memory, as load does after mapping.
    LoadResult loadBytes(const unsigned char* bytes, std::size_t size, Notifier& notifier);

    // Plays sample `index` once through a stream slot of `engine`; returns the slot, or -1
    // when the index is outside the table or its range holds no sample data.
    int playSample(SoundEngine& engine, int index) const;
    // The bytes playSample plays for `index`, clamped to the sample data (empty when none).
    bool sampleBytes(int index, const unsigned char*& bytes, std::size_t& length) const;

    bool loaded = false; // the last load read a SoundFont 2 form
    std::string engineName;
    std::vector<unsigned char> sampleData;
    std::vector<SampleHeader> samples;
    std::size_t sampleDataSize() const { return sampleData.size(); }

  private:
    MappedFile m_file;
};

} // namespace tonvela::audio
