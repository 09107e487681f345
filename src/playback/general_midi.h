#pragma once

#include <array>
#include <string>
#include <vector>

namespace tonvela {

// The General MIDI name tables of the instrument, group and drum lists. Fixed data.
inline constexpr int kInstrumentGroupCount = 16;
inline constexpr int kInstrumentsPerGroup = 8;
inline constexpr int kInstrumentCount = 128;
inline constexpr int kDrumCount = 47;
inline constexpr int kFirstDrumKey = 35; // the key of drum list entry 0
inline constexpr int kPercussionChannel = 9;

const std::array<const char*, kInstrumentGroupCount>& instrumentGroupNames();
// In program order: program = group * 8 + index within the group.
const std::array<const char*, kInstrumentCount>& instrumentNames();
// Entry i names percussion key 35 + i.
const std::array<const char*, kDrumCount>& drumNames();

// The name of a program, empty outside 0..127.
std::string instrumentName(int program);
// The name of a percussion key, empty outside 35..81.
std::string drumName(int key);

// Appends the 16 group names, or the 47 drum names, in table order.
void fillGroupList(std::vector<std::string>& list);
void fillDrumList(std::vector<std::string>& list);
// The eight instrument names of group g (programs 8g..8g+7); empty for a group out of range.
std::vector<std::string> instrumentsOfGroup(int group);

// The percussion key of a drum list entry (entry + 35), and back; -1 when out of range.
int drumKeyOfEntry(int entry);
int drumEntryOfKey(int key);
// The group of a program (program / 8) and its entry within the group (program % 8).
int groupOfProgram(int program);
int entryInGroup(int program);

} // namespace tonvela
