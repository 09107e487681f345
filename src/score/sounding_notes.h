#pragma once

namespace tonvela {

class SheetDocument;

// What a playback holds on, as a view asks for it to draw highlights: the playback keeps it,
// the notes never carry it.
//
// Thread rules: read and written under the sheet lock (the painter thread reads it while it
// draws, the playback thread writes it while it steps).
class SoundingNotes {
  public:
    virtual ~SoundingNotes() = default;
    // Whether note `note` of track `track` of `sheet` sounds now.
    virtual bool sounding(const SheetDocument& sheet, int track, int note) const = 0;
};

} // namespace tonvela
