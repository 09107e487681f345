#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;

namespace tonvela {

class CheckedField;
class ZoomSpinBox;

// The sheet options panel: the output device, track count, zoom, time signature and tempo of
// the active sheet; the staff kind, instrument or drum and key of its current track; the
// properties of the note under the pointer (or the current note) with the fields and sliders
// that change the selected notes; "Browse" for a SoundFont sample.
//
// The show* functions put the sheet's values in the fields without reporting anything; only
// what the user does reaches the callbacks. Without an active sheet (showNoSheet) no field
// keeps the last sheet's values: the lists whose change says why nothing happened stay open
// with no entry chosen, every other field is empty and disabled.
class SheetOptionsPanel : public QWidget {
  public:
    // The current track as the panel shows it.
    struct TrackFields {
        int track = 0;         // "Track Selected:" shows track + 1
        int type = 0;          // staff kind (StaffKind); one the "Track Type:" list lacks shows none
        int group = 0;         // "Group:" entry
        int instrument = 0;    // "Instrument:" entry within the group
        int drum = -1;         // "Drum:" entry (key - 35); -1 shows none
        int key = 7;           // "Key:" row
        int timeSignature = 1; // "Time Sig:" entry
        int tempo = 120;
        // A tablature's strings (highest first) and capo; the rows show only for a tablature.
        std::array<int, 6> tuning = {64, 59, 55, 50, 45, 40};
        int capo = 0;
    };
    // The note whose properties the panel shows.
    struct NoteFields {
        int index = 0; // position among the track's chord roots
        QString label;
        int volume = 127;
        int pan = 64;
        int velocity = 64;
        int loopTo = 0;
        int loopCount = 0;
        double legatoBeats = 0.0;
    };
    // The fields and sliders that change the selected notes.
    enum class NoteField { Volume, Pan, Velocity, LoopTo, LoopCount, Legato };
    // A typed note value: the number, or why it cannot go in.
    struct NoteValue {
        double value = 0.0;
        QString error;
    };

    explicit SheetOptionsPanel(QWidget* parent = nullptr);

    void setDevices(const std::vector<std::string>& names);
    // The device a new sheet plays on: the entry chosen last.
    int device() const;
    void showDevice(int device);
    void showTrackCount(int count);
    void showZoom(float zoom);
    // "Track Selected:" n + 1 for track n (empty for none); "Beats Selected:" as "%.2f".
    void showSelectedTrack(int track);
    void showBeatsSelected(double beats);

    // An active sheet: its current track (none for a sheet without tracks) and the note shown
    // (none clears the note fields and puts the sliders at their starting values).
    void showTrack(const std::optional<TrackFields>& track);
    void showNote(const std::optional<NoteFields>& note);
    // No active sheet.
    void showNoSheet();

    std::function<void(int device)> onDeviceChosen;
    // A count typed or stepped to with the arrows (one more or fewer than shown).
    std::function<void(int count)> onTrackCountChosen;
    // Steps of the "Scale:" field's arrows, keys or wheel; a typed zoom.
    std::function<void(bool up)> onZoomStep;
    std::function<void(double zoom)> onZoomChosen;
    std::function<void(int entry)> onTrackTypeChosen;
    std::function<void(int group)> onGroupChosen;
    std::function<void(int group, int entry)> onInstrumentChosen;
    std::function<void(int entry)> onDrumChosen;
    std::function<void(int keyIndex)> onKeyChosen;
    std::function<void(int entry)> onTimeSignatureChosen;
    std::function<void(int bpm)> onTempoChosen;
    // "Tuning:" (a named tuning or six typed names) and "Capo:" of a tablature track.
    std::function<void(const std::array<int, 6>& strings)> onTuningChosen;
    std::function<void(int capo)> onCapoChosen;
    // Reads a typed note value (the sheet knows which "Loop To:" targets exist).
    std::function<NoteValue(NoteField field, const QString& text)> readNoteValue;
    std::function<void(NoteField field, double value)> onNoteValueChosen;
    std::function<void()> onBrowse;

    QComboBox* deviceList() const { return m_devices; }
    QSpinBox* trackCountField() const { return m_trackCount; }
    QDoubleSpinBox* zoomField() const;
    QLabel* selectedTrackField() const { return m_selectedTrack; }
    QLabel* beatsSelectedField() const { return m_beatsSelected; }
    QComboBox* trackTypeList() const { return m_trackType; }
    QComboBox* groupList() const { return m_group; }
    QComboBox* instrumentList() const { return m_instrument; }
    QComboBox* drumList() const { return m_drum; }
    QComboBox* keyList() const { return m_key; }
    QComboBox* timeSignatureList() const { return m_timeSig; }
    CheckedField* tempoField() const { return m_tempo; }
    QComboBox* tuningList() const { return m_tuning; }
    CheckedField* tuningField() const { return m_tuningText; }
    QSpinBox* capoField() const { return m_capo; }
    // Whether the rows of "Tuning:" and "Capo:" are shown.
    bool showsTuningRows() const;
    CheckedField* loopToField() const { return m_loopTo; }
    CheckedField* loopCountField() const { return m_loopCount; }
    CheckedField* legatoField() const { return m_legato; }
    QSlider* volumeSlider() const { return m_volume; }
    QSlider* panSlider() const { return m_pan; }
    QSlider* velocitySlider() const { return m_velocity; }
    QLabel* indexField() const { return m_index; }
    QLabel* labelField() const { return m_label; }
    QPushButton* browseButton() const { return m_browse; }
    // Whether the rows of "Group:" and "Instrument:" (not "Drum:") are shown.
    bool showsInstrumentRows() const;

  protected:
    // A wheel over a list or slider without the keyboard focus scrolls the panel instead of
    // changing the sheet.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QGroupBox* buildSheetGroup();
    QGroupBox* buildTrackGroup();
    QGroupBox* buildNoteGroup();
    QSlider* addSlider(QFormLayout* form, const char* text, const char* name, const QString& toolTip,
                       NoteField field);
    CheckedField* noteField(const char* name, const QString& toolTip, NoteField field);
    void connectLists();
    void setTabOrders();
    void fillInstruments(int group);
    void showPercussionRows(bool percussion);
    void showTuningRows(bool tablature);
    // Enables or disables what needs an active sheet.
    void enableSheetFields(bool enabled);
    // Chooses an entry without reporting it (-1: none).
    void choose(QComboBox* list, int entry);

    QComboBox* m_devices;
    QSpinBox* m_trackCount;
    ZoomSpinBox* m_zoom;
    QComboBox* m_timeSig;
    CheckedField* m_tempo;
    QLabel* m_selectedTrack;
    QComboBox* m_trackType;
    QComboBox* m_group;
    QComboBox* m_instrument;
    QComboBox* m_drum;
    QComboBox* m_key;
    QComboBox* m_tuning = nullptr;
    CheckedField* m_tuningText = nullptr;
    QSpinBox* m_capo = nullptr;
    QLabel* m_index;
    QLabel* m_label;
    QSlider* m_volume = nullptr;
    QSlider* m_pan = nullptr;
    QSlider* m_velocity = nullptr;
    std::vector<QLabel*> m_sliderValues;
    CheckedField* m_loopTo;
    CheckedField* m_loopCount;
    CheckedField* m_legato;
    QLabel* m_beatsSelected;
    QPushButton* m_browse;
    QFormLayout* m_trackForm = nullptr;
    int m_filledGroup = -1;
    int m_lastDevice = 0;
    double m_shownZoom = 0.9;
    bool m_updating = false;
};

} // namespace tonvela
