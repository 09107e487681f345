#include "score/staff_kind.h"

#include "score/track.h"

namespace tonvela {

StaffKind staffKindOf(int drawmode, bool percussive)
{
    for (const StaffKindInfo& k : kStaffKinds)
        if (k.percussive == percussive && (percussive || k.drawmode == drawmode))
            return k.kind;
    return StaffKind::GClef;
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

std::optional<StaffKind> staffKindOfMusicXmlClef(std::string_view sign, int octaveChange)
{
    // The first row wins: the G clef before the fifth kind, which writes the same clef.
    for (const StaffKindInfo& k : kStaffKinds)
        if (!k.percussive && k.musicXml.sign == sign && k.musicXml.octaveChange == octaveChange)
            return k.kind;
    return std::nullopt;
}

} // namespace tonvela
