#include "score/staff_kind.h"

#include "score/track.h"

#include <array>

namespace tonvela {

namespace {

// The kind of every stored drawmode of a staff of notes, and the drum staff's kind, found once:
// every note that sounds or is drawn asks for its track's kind.
struct StoredKinds {
    std::array<StaffKind, 256> byDrawmode{};
    StaffKind drums = StaffKind::Percussion;
};

constexpr StoredKinds storedKinds()
{
    StoredKinds s;
    s.byDrawmode.fill(StaffKind::GClef);
    for (std::size_t i = kStaffKinds.size(); i-- > 0;) { // the first row of a value wins
        const StaffKindInfo& k = kStaffKinds[i];
        if (k.percussive)
            s.drums = k.kind;
        else
            s.byDrawmode[k.drawmode] = k.kind;
    }
    return s;
}

constexpr StoredKinds kStored = storedKinds();

} // namespace

StaffKind staffKindOf(int drawmode, bool percussive)
{
    if (percussive)
        return kStored.drums;
    return drawmode >= 0 && drawmode < 256 ? kStored.byDrawmode[static_cast<std::size_t>(drawmode)]
                                           : StaffKind::GClef;
}

StaffKind staffKindOf(const Track& track)
{
    return staffKindOf(track.drawmode, track.percussive != 0);
}

const StaffKindInfo& staffOf(const Track& track)
{
    return staffKindInfo(staffKindOf(track));
}

void setStaffKind(Track& track, StaffKind kind)
{
    const StaffKindInfo& k = staffKindInfo(kind);
    track.drawmode = k.drawmode;
    track.percussive = k.percussive ? 1 : 0;
}

bool isStoredDrawmode(int drawmode)
{
    for (const StaffKindInfo& k : kStaffKinds)
        if (k.drawmode == drawmode)
            return true;
    return false;
}

int trackTypeListSize()
{
    int n = 0;
    for (const StaffKindInfo& k : kStaffKinds)
        n += k.listText.empty() ? 0 : 1;
    return n;
}

std::optional<StaffKind> staffKindOfListEntry(int entry)
{
    for (const StaffKindInfo& k : kStaffKinds)
        if (!k.listText.empty() && entry-- == 0)
            return k.kind;
    return std::nullopt;
}

int listEntryOfStaffKind(StaffKind kind)
{
    int entry = 0;
    for (const StaffKindInfo& k : kStaffKinds) {
        if (k.listText.empty())
            continue;
        if (k.kind == kind)
            return entry;
        ++entry;
    }
    return -1;
}

StaffKind staffKindForMidiImport(bool drums, bool mostlyLow)
{
    const MidiImportUse use = drums       ? MidiImportUse::Drums
                              : mostlyLow ? MidiImportUse::LowPart
                                          : MidiImportUse::OtherPart;
    for (const StaffKindInfo& k : kStaffKinds)
        if (k.midiImport == use)
            return k.kind;
    return StaffKind::GClef;
}

std::optional<StaffKind> staffKindOfMusicXmlClef(std::string_view sign, int line, int octaveChange)
{
    // The first row wins: the G clef before the fifth kind, which writes the same clef.
    std::optional<StaffKind> otherLine;
    for (const StaffKindInfo& k : kStaffKinds) {
        if (k.percussive || k.musicXml.sign != sign || k.musicXml.octaveChange != octaveChange)
            continue;
        if (k.musicXml.line == line)
            return k.kind;
        if (!otherLine)
            otherLine = k.kind;
    }
    return otherLine;
}

} // namespace tonvela
