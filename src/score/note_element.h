#pragma once

#include "score/note.h"

#include <string>

namespace tonvela {

class MarkupElement;

// The <note> element of sheet files, CR LF line ends. Numbers are written as name=value and a
// blank, texts quoted; an attribute at its default is left out (midi, type, line and iid are
// always written). A default quarter note at middle C is the three lines `<note`,
// `midi=60 type=1028 line=0 iid=0 >` and `</note>`.
void writeNoteElement(const NoteContent& note, std::string& out);

// Reads a <note> element into `note` (which should be a default note). Missing attributes keep
// the reading defaults (midi 60, type quarter); a lyric that is empty reads as one blank and a
// lyric too long for the buffer is dropped. The pitch name and octave follow from the key on a
// staff of kind `staff`.
void readNoteElement(Note& note, const MarkupElement& element, StaffKind staff = StaffKind::GClef);

} // namespace tonvela
