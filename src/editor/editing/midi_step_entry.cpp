#include "editor/editing/midi_step_entry.h"

#include "editor/editing/sheet_editor.h"
#include "editor/editing/tool_state.h"
#include "platform/midi_output.h"
#include "platform/notifier.h"
#include "score/note_pitch.h"
#include "score/sounding_pitch.h"

#include <algorithm>
#include <string>

namespace tonvela {

void MidiStepEntry::reset()
{
    m_editor = nullptr;
    m_track = -1;
    m_root = -1;
    m_keys.clear();
}

bool MidiStepEntry::message(SheetEditor& editor, uint32_t message, int64_t timeUs)
{
    // A note on of velocity 0 is a note off, as keyboards send them.
    if ((statusOf(message) & 0xF0) != 0x90 || data2Of(message) == 0)
        return false;
    return keyPressed(editor, data1Of(message), timeUs);
}

bool MidiStepEntry::keyPressed(SheetEditor& editor, int key, int64_t timeUs)
{
    SheetDocument& sheet = editor.sheet();
    const int t = sheet.selectedTrack;
    Track* track = sheet.trackAt(t);
    if (!track || key < 0 || key > 127)
        return false;

    int root = -1;
    {
        const SheetLockGuard lock(sheetLock());
        // The chord goes on while its root is still the last chord on the track and the key
        // comes within the window of its first key.
        const bool sameChord = m_editor == &editor && m_track == t && m_root >= 0 && m_root < track->count &&
                               track->rootOf(m_root) == -1 &&
                               (track->count - 1 == m_root || track->rootOf(track->count - 1) == m_root) &&
                               timeUs >= m_chordStartUs && timeUs - m_chordStartUs <= kChordWindowUs;
        if (sameChord) {
            if (std::find(m_keys.begin(), m_keys.end(), key) != m_keys.end())
                return false; // the same key again (a bounce): the chord has it
            root = m_root;
        } else {
            reset();
        }
    }
    if (track->count >= Track::kMaxNotes) {
        if (Notifier* notifier = editor.notifier())
            notifier->error("The note was not added: track " + std::to_string(t + 1) + " already holds " +
                                std::to_string(track->count) + " notes, as many as a track can hold.",
                            "MIDI Input");
        return false;
    }

    const int tool = sharedToolGroups().notes.currentId;
    Note note;
    noteFromMidiKey(note, key);
    note.type = root >= 0 ? track->noteAt(root).type : (isDurationType(tool) ? tool : kTypeQuarter);
    // Where the track's clef and key signature show the key that sounds.
    placeOnTrack(note, *track);
    note.iid = track->iid;
    note.chordparent = static_cast<int16_t>(root);
    const int index = track->count;
    editor.edit(SnapshotKind::Insert, t, [&] {
        track->insertNote(note, index);
        if (root >= 0)
            track->rebuildChordLists();
        track->freshTrack = 0;
    });
    if (root < 0) {
        m_editor = &editor;
        m_track = t;
        m_root = index;
        m_chordStartUs = timeUs;
    }
    m_keys.push_back(key);
    return true;
}

} // namespace tonvela
