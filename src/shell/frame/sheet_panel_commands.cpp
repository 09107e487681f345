#include "shell/frame/sheet_panel_commands.h"

#include "editor/editing/sheet_editor.h"
#include "editor/editing/sheet_options.h"
#include "platform/notifier.h"
#include "score/time_signature.h"
#include "shell/documents/document_window.h"
#include "shell/file_dialogs.h"
#include "shell/frame/main_window.h"
#include "shell/frame/soundfont_preview.h"
#include "shell/panels/sheet_options_panel.h"
#include "theory/general_midi.h"

namespace tonvela {
namespace {

using NoteField = SheetOptionsPanel::NoteField;

SheetOptionsPanel::TrackFields trackFields(const SheetDocument& sheet, const Track& track)
{
    SheetOptionsPanel::TrackFields f;
    f.track = sheet.selectedTrack;
    f.type = trackTypeEntry(track);
    f.group = track.groupid;
    f.instrument = entryInGroup(std::clamp(track.iid, 0, kInstrumentCount - 1));
    f.drum = drumEntryOfKey(track.drumKey);
    f.key = track.keyindex;
    f.timeSignature = timeSignatureInfo(track.timeSig).panelEntry;
    f.tempo = track.tempo;
    f.tuning = track.tuning.strings;
    f.capo = track.tuning.capo;
    return f;
}

SheetOptionsPanel::NoteFields noteFields(const Track& track, int index)
{
    const Note& n = track.noteAt(index);
    SheetOptionsPanel::NoteFields f;
    f.index = rootPosition(track, index);
    f.label = QString::fromStdString(n.labelText());
    f.volume = n.volume;
    f.pan = n.pan;
    f.velocity = n.velocity;
    f.loopTo = n.loopTo;
    f.loopCount = n.loopCount;
    f.legatoBeats = n.dwStopOffset / kLegatoMsPerBeat;
    return f;
}

template <class T> SheetOptionsPanel::NoteValue noteValue(const TypedValue<T>& typed)
{
    return {static_cast<double>(typed.value), QString::fromStdString(typed.error)};
}

} // namespace

SheetPanelCommands::SheetPanelCommands(MainWindow& window)
    : QObject(&window), m_window(window),
      m_preview(new SoundFontPreview(window.services().player, window.services().notifier, this))
{
    setObjectName(QStringLiteral("sheetPanelCommands"));
    wireLists();
    wireFields();
}

SheetEditor* SheetPanelCommands::activeEditor()
{
    DocumentWindow* active = m_window.activeDocument();
    return active ? active->sheetEditor() : nullptr;
}

void SheetPanelCommands::refuse(const char* message)
{
    m_window.services().notifier.error(message, "Error");
}

void SheetPanelCommands::wireLists()
{
    SheetOptionsPanel* panel = m_window.panels()->sheetPanel();
    // Every handler ends with the panel showing the sheet as it is, changed or not (a refused
    // choice leaves no entry chosen that the sheet does not have).
    panel->onDeviceChosen = [this](int device) {
        DocumentWindow* active = m_window.activeDocument();
        if (!active || !active->setMidiDevice(device))
            refuse(kNoDocumentForMidiMessage);
        m_window.updatePanels();
    };
    panel->onGroupChosen = [this](int group) {
        if (SheetEditor* editor = activeEditor())
            chooseInstrumentGroup(*editor, group);
        else
            refuse(kNoDocumentForMidiMessage);
        m_window.updatePanels();
    };
    panel->onInstrumentChosen = [this](int group, int entry) {
        if (SheetEditor* editor = activeEditor())
            chooseInstrument(*editor, group * kInstrumentsPerGroup + entry);
        else
            refuse(kNoSheetForMidiMessage);
        m_window.updatePanels();
    };
    panel->onDrumChosen = [this](int entry) {
        if (SheetEditor* editor = activeEditor())
            chooseDrum(*editor, entry);
        else
            refuse(kNoSheetForMidiMessage);
        m_window.updatePanels();
    };
    // The others need a sheet and do nothing without one.
    const auto onSheet = [this](auto change) {
        return [this, change](auto value) {
            if (SheetEditor* editor = activeEditor())
                change(*editor, value);
            m_window.updatePanels();
        };
    };
    panel->onTrackTypeChosen = onSheet([](SheetEditor& e, int entry) { chooseTrackType(e, entry); });
    panel->onKeyChosen = onSheet([](SheetEditor& e, int index) { chooseKey(e, index); });
    panel->onTimeSignatureChosen = onSheet([](SheetEditor& e, int entry) { chooseTimeSignature(e, entry); });
    panel->onTempoChosen = onSheet([](SheetEditor& e, int bpm) { chooseTempo(e, bpm); });
    panel->onTuningChosen = onSheet([](SheetEditor& e, const std::array<int, 6>& strings) {
        if (const Track* t = e.sheet().trackAt(e.sheet().selectedTrack))
            chooseTuning(e, {strings, t->tuning.capo});
    });
    panel->onCapoChosen = onSheet([](SheetEditor& e, int capo) {
        if (const Track* t = e.sheet().trackAt(e.sheet().selectedTrack))
            chooseTuning(e, {t->tuning.strings, capo});
    });
    panel->onTrackCountChosen = onSheet([](SheetEditor& e, int count) { chooseTrackCount(e, count); });
    panel->onZoomStep = onSheet([](SheetEditor& e, bool up) { e.stepZoom(up); });
    panel->onZoomChosen = onSheet([](SheetEditor& e, double zoom) { e.setZoom(static_cast<float>(zoom)); });
}

void SheetPanelCommands::wireFields()
{
    SheetOptionsPanel* panel = m_window.panels()->sheetPanel();
    panel->readNoteValue = [this](NoteField field, const QString& text) -> SheetOptionsPanel::NoteValue {
        const std::string typed = text.toStdString();
        switch (field) {
        case NoteField::LoopTo: {
            SheetEditor* editor = activeEditor();
            if (!editor)
                return {0.0, QStringLiteral("No sheet is active.")};
            return noteValue(readLoopTo(editor->sheet(), typed));
        }
        case NoteField::LoopCount:
            return noteValue(readLoopCount(typed));
        case NoteField::Legato:
            return noteValue(readLegato(typed));
        default:
            return {text.toDouble(), {}};
        }
    };
    panel->onNoteValueChosen = [this](NoteField field, double value) {
        SheetEditor* editor = activeEditor();
        if (!editor)
            return;
        NoteProperties p;
        const int whole = static_cast<int>(value);
        switch (field) {
        case NoteField::Volume:
            p.volume = whole;
            break;
        case NoteField::Pan:
            p.pan = whole;
            break;
        case NoteField::Velocity:
            p.velocity = whole;
            break;
        case NoteField::LoopTo:
            p.loopTo = whole;
            break;
        case NoteField::LoopCount:
            p.loopCount = whole;
            break;
        case NoteField::Legato:
            p.legatoBeats = value;
            break;
        }
        applyToSelectedNotes(*editor, p);
        m_window.updatePanels();
    };
    panel->onBrowse = [this] { browse(); };
}

void SheetPanelCommands::browse()
{
    const std::optional<FileChoice> chosen = m_window.services().dialogs.openFile(
        QStringLiteral("Preview a SoundFont"),
        {QStringLiteral("Sf2 File(*.sf2)"), QString::fromLatin1(kAllFilesFilter)}, QStringLiteral("sf2"));
    if (chosen && activeEditor())
        m_preview->start(chosen->path);
}

void showSheetOptions(SheetOptionsPanel& panel, DocumentWindow* active)
{
    SheetEditor* editor = active ? active->sheetEditor() : nullptr;
    if (!editor) {
        panel.showNoSheet();
        return;
    }
    const SheetDocument& sheet = editor->sheet();
    panel.showDevice(active->midiDevice());
    panel.showTrackCount(sheet.trackCount());
    panel.showZoom(editor->zoom());
    panel.showBeatsSelected(sheet.selectedBeats());
    const Track* track = sheet.trackAt(sheet.selectedTrack);
    panel.showTrack(track ? std::optional(trackFields(sheet, *track)) : std::nullopt);
    const NoteRef shown = shownNote(*editor);
    const Track* owner = sheet.trackAt(shown.track);
    panel.showNote(owner && shown.valid() ? std::optional(noteFields(*owner, shown.index)) : std::nullopt);
}

} // namespace tonvela
