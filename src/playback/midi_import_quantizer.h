#pragma once

#include <cstdint>
#include <vector>

namespace tonvela {

class Track;
class TempoTimeline;

// One note-on of a MIDI track chunk as the reader found it.
struct ImportedNote {
    int64_t start = 0;    // tick of the note-on
    int64_t end = 0;      // tick of the note-off; the chunk's end for a note never ended
    int64_t startSeq = 0; // order of the note-on among the chunk's events
    int64_t endSeq = 0;   // order of the ending event
    int key = 0;
    int velocity = 0;
    int program = 0;
};

struct QuantizedTrack {
    // Sheet index of every imported note, in their order; -1 for a note left out because the
    // track was full.
    std::vector<int> sheetIndex;
    int leftOut = 0;
    // Notes that started while both voices still sounded: they went into voice 1 and cut its
    // held note short in the notation (its sound keeps its length).
    int overlapsCut = 0;
    bool silenceShortened = false; // a silence longer than 256 whole rests was cut to that
};

// Writes the notes of one chunk into `track` as the score notates them, so that the track plays
// as long as the chunk lasts and every note starts where the file has it:
//  - notes that start within half a grid step of a chord's first note (with another key,
//    while it sounds) join it as chord members; the grid is the sixteenth, or the thirty-second where
//    the track's notes come that close (both judged in the file's ticks, `division` a beat);
//  - places are read along the file's tempo map and counted in beats of the track's tempo, so
//    a part at another tempo than the track's still lasts as long; a beat whose notes fall on
//    its start and its two triplet eighths keeps them there as near as the score allows;
//  - each chord starts at its snapped place, and is notated with the note length nearest to how
//    long something sounds after it, never past the next chord; rests fill the rest of the way,
//    a silence of a sixteenth or less is left to the note before;
//  - a chord that starts while the first line's chord before it still sounds goes into voice 2
//    when that is silent, so both keep their lengths; voice 2 has rests from its measure's
//    start (or its note before) up to each note and ties a note on over a bar line. A chord
//    finding both voices busy cuts the first line's chord short, as does a chord in a beat of
//    triplets; a drum track keeps one line;
//  - each note's stop offset gives it the sounding length it has in the file.
// `track` must have its tempo, clef and percussion set and no notes. At most `maxNotes` notes
// and rests are written; the notes beyond are left out.
QuantizedTrack quantizeIntoTrack(const std::vector<ImportedNote>& notes, int64_t endTick, int division,
                                 const TempoTimeline& time, Track& track, int maxNotes);

} // namespace tonvela
