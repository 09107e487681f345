#include "shell/panels/sheet_options_panel.h"

#include "editor/editing/sheet_options.h"
#include "score/staff_kind.h"
#include "score/time_signature.h"
#include "shell/panels/panel_fields.h"
#include "shell/panels/panel_style.h"
#include "theory/general_midi.h"
#include "theory/key_signature.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tonvela {
namespace {

constexpr int kSliderMax = 127;
constexpr int kStartVolume = 127;
constexpr int kStartPan = 64;
constexpr int kStartVelocity = 64;
constexpr int kGroupGap = 6;

QString number(double value)
{
    return QString::number(value, 'f', 2);
}

// A list too wide to sit beside its label: the label above it, the list across the group.
void addWideRow(QFormLayout* form, const QString& text, QWidget* field)
{
    auto* label = new QLabel(text);
    label->setBuddy(field);
    form->addRow(label);
    form->addRow(field);
}

// The labels of every form of `panel` take the width of the widest, so that the fields of all
// groups begin at one line.
void alignLabelColumns(QWidget* panel)
{
    std::vector<QWidget*> labels;
    int widest = 0;
    for (QFormLayout* form : panel->findChildren<QFormLayout*>())
        for (int row = 0; row < form->rowCount(); ++row)
            if (QLayoutItem* item = form->itemAt(row, QFormLayout::LabelRole); item && item->widget()) {
                labels.push_back(item->widget());
                widest = std::max(widest, item->widget()->sizeHint().width());
            }
    for (QWidget* label : labels)
        label->setMinimumWidth(widest);
}

QLabel* valueLabel(const char* objectName, const QString& toolTip)
{
    auto* label = new QLabel;
    label->setObjectName(QString::fromLatin1(objectName));
    label->setToolTip(toolTip);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

SheetOptionsPanel::SheetOptionsPanel(QWidget* parent)
    : QWidget(parent),
      m_devices(panelList("midiDevice", QStringLiteral("The output the active sheet plays on: the built-in "
                                                       "synthesizer or a MIDI port"))),
      m_trackCount(new FocusWheelSpinBox<QSpinBox>), m_zoom(new ZoomSpinBox),
      m_timeSig(
          panelList("timeSignature", QStringLiteral("Time signature of every track of the active sheet"))),
      m_tempo(
          new CheckedField("tempo", QStringLiteral("Beats per minute of every track of the active sheet: a "
                                                   "whole number from 1 to 1000; Return applies it"))),
      m_selectedTrack(
          valueLabel("trackSelected", QStringLiteral("The current track, whose settings this "
                                                     "group shows; click a clef to choose another"))),
      m_trackType(panelList("trackType", QStringLiteral("Staff kind of the current track; the notes move "
                                                        "with the clef and keep their sound"))),
      m_group(panelList("instrumentGroup", QStringLiteral("Instrument group of the current track; choosing "
                                                          "one gives its first instrument to the notes"))),
      m_instrument(panelList("instrument", QStringLiteral("Instrument of the current track, given to its "
                                                          "selected notes, or to all its notes when none "
                                                          "is selected"))),
      m_drum(panelList("drum", QStringLiteral("Drum of the percussion track, given to its selected notes, or "
                                              "to all its notes when none is selected"))),
      m_key(panelList("key", QStringLiteral("Key signature of the current track"))),
      m_index(valueLabel("noteIndex", QStringLiteral("Position of the shown note among the chord roots of "
                                                     "its track, from 0"))),
      m_label(valueLabel("noteLabel", QStringLiteral("The shown note's label"))),
      m_loopTo(noteField("loopTo",
                         QStringLiteral("Note (by index, from 0) that playback goes back to after each "
                                        "selected note; Return applies it"),
                         NoteField::LoopTo)),
      m_loopCount(noteField("loopCount",
                            QStringLiteral("How often playback goes back after each selected note: 0 (no "
                                           "loop) to 1000; Return applies it"),
                            NoteField::LoopCount)),
      m_legato(noteField("legato",
                         QStringLiteral("Beats added to (or, below 0, taken from) the sound of each selected "
                                        "note, such as 0.25; empty is 0; Return applies it"),
                         NoteField::Legato)),
      m_beatsSelected(valueLabel("beatsSelected", QStringLiteral("Length of the selected notes of all "
                                                                 "tracks in beats (a quarter is 1.00)"))),
      m_browse(panelButton("Browse", "browse",
                           QStringLiteral("Plays the fourth sample of a SoundFont bank you choose")))
{
    darkenPanel(this);
    auto* layout = panelLayout(this);
    layout->addWidget(buildSheetGroup());
    layout->addSpacing(kGroupGap);
    layout->addWidget(buildTrackGroup());
    layout->addSpacing(kGroupGap);
    layout->addWidget(buildNoteGroup());
    layout->addStretch(1);
    alignLabelColumns(this);
    connectLists();
    setTabOrders();
    for (QComboBox* list : findChildren<QComboBox*>())
        list->installEventFilter(this);
    for (QSlider* slider : findChildren<QSlider*>())
        slider->installEventFilter(this);
    showNoSheet();
}

bool SheetOptionsPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel) {
        const auto* control = qobject_cast<QWidget*>(watched);
        if (control && !control->hasFocus()) {
            // Not taken here: the wheel goes on to the panel's scroll area.
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QGroupBox* SheetOptionsPanel::buildSheetGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Sheet"));
    auto* form = groupForm(group);
    m_trackCount->setObjectName(QStringLiteral("numberTracks"));
    m_trackCount->setToolTip(QStringLiteral("Number of tracks of the active sheet (1 to 15); tracks removed "
                                            "come back with Undo"));
    m_trackCount->setRange(1, 15);
    m_trackCount->setValue(2);
    m_zoom->setObjectName(QStringLiteral("scale"));
    m_zoom->setToolTip(QStringLiteral("Zoom of the active sheet: the arrows step by 0.1, or type a value "
                                      "from 0.4 to 10 and press Return"));
    m_zoom->setDecimals(1);
    m_zoom->setRange(0.4, 10.0);
    m_zoom->setSingleStep(0.1);
    m_zoom->setValue(0.9);
    for (const std::string& text : timeSignaturePanelTexts())
        m_timeSig->addItem(QString::fromStdString(text));
    addWideRow(form, QStringLiteral("MIDI Device:"), m_devices);
    form->addRow(QStringLiteral("Number Tracks:"), m_trackCount);
    form->addRow(QStringLiteral("Scale:"), m_zoom);
    form->addRow(QStringLiteral("Time Sig:"), m_timeSig);
    form->addRow(QStringLiteral("Tempo:"), m_tempo);

    connect(m_trackCount, qOverload<int>(&QSpinBox::valueChanged), this, [this](int value) {
        if (!m_updating && onTrackCountChosen)
            onTrackCountChosen(value);
    });
    m_zoom->onSteps = [this](int steps) {
        for (int i = 0; i < std::abs(steps); ++i)
            if (onZoomStep)
                onZoomStep(steps > 0);
    };
    connect(m_zoom, qOverload<double>(&QDoubleSpinBox::valueChanged), this, [this](double value) {
        if (m_updating)
            return;
        // The sheet decides the zoom and the field then shows it.
        const double typed = value;
        showZoom(static_cast<float>(m_shownZoom));
        if (onZoomChosen)
            onZoomChosen(typed);
    });
    m_tempo->check = [](const QString& text) {
        return QString::fromStdString(readTempo(text.toStdString()).error);
    };
    m_tempo->commit = [this](const QString& text) {
        const TypedValue<int> tempo = readTempo(text.toStdString());
        if (tempo.ok() && onTempoChosen)
            onTempoChosen(tempo.value);
    };
    return group;
}

QGroupBox* SheetOptionsPanel::buildTrackGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Current Track"));
    auto* form = groupForm(group);
    m_trackForm = form;
    for (const StaffKindInfo& kind : kStaffKinds)
        if (!kind.listText.empty())
            m_trackType->addItem(
                QString::fromLatin1(kind.listText.data(), static_cast<qsizetype>(kind.listText.size())));
    for (const char* name : instrumentGroupNames())
        m_group->addItem(QString::fromLatin1(name));
    for (const char* name : drumNames())
        m_drum->addItem(QString::fromLatin1(name));
    for (const KeySignature& row : keySignatureTable())
        m_key->addItem(QString::fromLatin1(row.text));
    fillInstruments(0);
    form->addRow(QStringLiteral("Track Selected:"), m_selectedTrack);
    form->addRow(QStringLiteral("Track Type:"), m_trackType);
    addWideRow(form, QStringLiteral("Group:"), m_group);
    addWideRow(form, QStringLiteral("Instrument:"), m_instrument);
    addWideRow(form, QStringLiteral("Drum:"), m_drum);
    addWideRow(form, QStringLiteral("Key:"), m_key);

    // A tablature's strings: a named tuning, or six names typed lowest first, and the capo.
    m_tuning = panelList("tuning", QStringLiteral("Tuning of the tablature: its frets follow the strings; "
                                                  "the notes keep their sound"));
    for (const NamedTuning& t : kNamedTunings)
        m_tuning->addItem(QString::fromLatin1(t.name));
    m_tuning->addItem(QStringLiteral("Typed"));
    m_tuningText = new CheckedField("tuningStrings",
                                    QStringLiteral("The six strings, lowest first, such as D2 A2 D3 G3 B3 E4 "
                                                   "(middle C is C4); Return applies them"));
    m_tuningText->check = [](const QString& text) {
        return parseTuningNames(text.toStdString())
                   ? QString()
                   : QStringLiteral(
                         "Six pitch names with octaves, lowest string first, such as D2 A2 D3 G3 B3 E4");
    };
    m_tuningText->commit = [this](const QString& text) {
        if (const auto strings = parseTuningNames(text.toStdString()); strings && onTuningChosen)
            onTuningChosen(*strings);
    };
    m_capo = new FocusWheelSpinBox<QSpinBox>;
    m_capo->setObjectName(QStringLiteral("capo"));
    m_capo->setToolTip(QStringLiteral("Fret the capo clamps (0: none); frets count from it"));
    m_capo->setRange(0, kMaxCapoFret);
    connect(m_capo, qOverload<int>(&QSpinBox::valueChanged), this, [this](int value) {
        if (!m_updating && onCapoChosen)
            onCapoChosen(value);
    });
    addWideRow(form, QStringLiteral("Tuning:"), m_tuning);
    form->addRow(QStringLiteral("Strings:"), m_tuningText);
    form->addRow(QStringLiteral("Capo:"), m_capo);
    showPercussionRows(false);
    showTuningRows(false);
    return group;
}

QGroupBox* SheetOptionsPanel::buildNoteGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Notes"));
    group->setToolTip(QStringLiteral("Shows the note under the pointer, else the current note; changes go to "
                                     "the selected notes of every track"));
    auto* form = groupForm(group);
    form->addRow(QStringLiteral("Index:"), m_index);
    form->addRow(QStringLiteral("Label:"), m_label);
    m_volume = addSlider(form, "Volume", "volume",
                         QStringLiteral("Loudness of the selected notes (0 to 127)"), NoteField::Volume);
    m_pan = addSlider(form, "Pan", "pan",
                      QStringLiteral("Stereo place of the selected notes: 0 left, 64 centre, 127 right"),
                      NoteField::Pan);
    m_velocity =
        addSlider(form, "Velocity", "velocity",
                  QStringLiteral("Velocity kept with the selected notes (0 to 127)"), NoteField::Velocity);
    form->addRow(QStringLiteral("Loop To:"), m_loopTo);
    form->addRow(QStringLiteral("Loop Count:"), m_loopCount);
    form->addRow(QStringLiteral("Legato (beats):"), m_legato);
    form->addRow(QStringLiteral("Beats Selected:"), m_beatsSelected);
    form->addRow(QStringLiteral("SoundFont:"), m_browse);
    forwardClicks(m_browse, onBrowse);
    return group;
}

QSlider* SheetOptionsPanel::addSlider(QFormLayout* form, const char* text, const char* name,
                                      const QString& toolTip, NoteField field)
{
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(QString::fromLatin1(name));
    slider->setToolTip(toolTip);
    slider->setRange(0, kSliderMax);
    slider->setPageStep(8);
    slider->setFocusPolicy(Qt::StrongFocus);
    // A drag applies once, where the thumb is let go; keys and clicks beside the thumb apply
    // each step.
    slider->setTracking(false);
    auto* value = new QLabel;
    value->setObjectName(QString::fromLatin1(name) + QStringLiteral("Value"));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("0000")));
    m_sliderValues.push_back(value);
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(slider, 1);
    row->addWidget(value);
    auto* label = new QLabel(QString::fromLatin1(text));
    label->setBuddy(slider);
    form->addRow(label, row);
    connect(slider, &QSlider::sliderMoved, value, [value](int v) { value->setNum(v); });
    connect(slider, &QSlider::valueChanged, this, [this, value, field](int v) {
        value->setNum(v);
        if (!m_updating && onNoteValueChosen)
            onNoteValueChosen(field, v);
    });
    return slider;
}

CheckedField* SheetOptionsPanel::noteField(const char* name, const QString& toolTip, NoteField field)
{
    auto* edit = new CheckedField(name, toolTip);
    edit->check = [this, field](const QString& text) {
        return readNoteValue ? readNoteValue(field, text).error : QString();
    };
    edit->commit = [this, field](const QString& text) {
        if (!readNoteValue || !onNoteValueChosen)
            return;
        const NoteValue read = readNoteValue(field, text);
        if (read.error.isEmpty())
            onNoteValueChosen(field, read.value);
    };
    return edit;
}

void SheetOptionsPanel::connectLists()
{
    const auto report = [this](QComboBox* list, auto action) {
        connect(list, qOverload<int>(&QComboBox::currentIndexChanged), this, [this, action](int index) {
            if (!m_updating && index >= 0)
                action(index);
        });
    };
    report(m_devices, [this](int index) {
        m_lastDevice = index;
        if (onDeviceChosen)
            onDeviceChosen(index);
    });
    report(m_trackType, [this](int index) {
        const std::optional<StaffKind> kind = staffKindOfListEntry(index);
        if (!kind)
            return;
        showPercussionRows(staffKindInfo(*kind).percussive);
        showTuningRows(staffKindInfo(*kind).isTablature());
        if (onTrackTypeChosen)
            onTrackTypeChosen(static_cast<int>(*kind));
    });
    report(m_group, [this](int index) {
        fillInstruments(index);
        if (onGroupChosen)
            onGroupChosen(index);
    });
    report(m_instrument, [this](int index) {
        if (onInstrumentChosen)
            onInstrumentChosen(std::max(0, m_filledGroup), index);
    });
    report(m_drum, [this](int index) {
        if (onDrumChosen)
            onDrumChosen(index);
    });
    report(m_tuning, [this](int index) {
        // "Typed" waits for the strings field.
        if (index < static_cast<int>(std::size(kNamedTunings)) && onTuningChosen)
            onTuningChosen(kNamedTunings[static_cast<std::size_t>(index)].strings);
    });
    report(m_key, [this](int index) {
        if (onKeyChosen)
            onKeyChosen(index);
    });
    report(m_timeSig, [this](int index) {
        if (onTimeSignatureChosen)
            onTimeSignatureChosen(index);
    });
}

void SheetOptionsPanel::setTabOrders()
{
    QWidget* const order[] = {m_devices,   m_trackCount, m_zoom,       m_timeSig, m_tempo,
                              m_trackType, m_group,      m_instrument, m_drum,    m_key,
                              m_tuning,    m_tuningText, m_capo,       m_volume,  m_pan,
                              m_velocity,  m_loopTo,     m_loopCount,  m_legato,  m_browse};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

QDoubleSpinBox* SheetOptionsPanel::zoomField() const
{
    return m_zoom;
}

void SheetOptionsPanel::choose(QComboBox* list, int entry)
{
    const bool was = m_updating;
    m_updating = true;
    list->setCurrentIndex(entry >= 0 && entry < list->count() ? entry : -1);
    m_updating = was;
}

void SheetOptionsPanel::fillInstruments(int group)
{
    if (group == m_filledGroup)
        return;
    const bool was = m_updating;
    m_updating = true;
    m_instrument->clear();
    for (const std::string& name : instrumentsOfGroup(group))
        m_instrument->addItem(QString::fromStdString(name));
    m_instrument->setCurrentIndex(m_instrument->count() > 0 ? 0 : -1);
    m_filledGroup = group;
    m_updating = was;
}

void SheetOptionsPanel::showTuningRows(bool tablature)
{
    int row = -1;
    QFormLayout::ItemRole role;
    m_trackForm->getWidgetPosition(m_tuning, &row, &role);
    if (row < 1)
        return;
    // The wide "Tuning:" row is a label row and a list row; "Strings:" and "Capo:" follow.
    for (int r = row - 1; r <= row + 2; ++r)
        m_trackForm->setRowVisible(r, tablature);
}

bool SheetOptionsPanel::showsTuningRows() const
{
    int row = -1;
    QFormLayout::ItemRole role;
    m_trackForm->getWidgetPosition(m_capo, &row, &role);
    return row >= 0 && m_trackForm->isRowVisible(row);
}

void SheetOptionsPanel::showPercussionRows(bool percussion)
{
    // A wide row is its label row and its list row.
    const auto setShown = [this](QWidget* field, bool shown) {
        int row = -1;
        QFormLayout::ItemRole role;
        m_trackForm->getWidgetPosition(field, &row, &role);
        if (row < 1)
            return;
        m_trackForm->setRowVisible(row - 1, shown);
        m_trackForm->setRowVisible(row, shown);
    };
    setShown(m_group, !percussion);
    setShown(m_instrument, !percussion);
    setShown(m_drum, percussion);
}

bool SheetOptionsPanel::showsInstrumentRows() const
{
    int row = -1;
    QFormLayout::ItemRole role;
    m_trackForm->getWidgetPosition(m_instrument, &row, &role);
    return row >= 0 && m_trackForm->isRowVisible(row);
}

void SheetOptionsPanel::setDevices(const std::vector<std::string>& names)
{
    m_updating = true;
    const int shown = m_devices->currentIndex();
    m_devices->clear();
    for (const auto& name : names)
        m_devices->addItem(QString::fromStdString(name));
    // Adding entries chooses the first; a panel without a sheet keeps showing none.
    m_devices->setCurrentIndex(shown >= 0 && !names.empty() ? std::min(shown, m_devices->count() - 1) : -1);
    m_updating = false;
}

int SheetOptionsPanel::device() const
{
    return m_lastDevice;
}

void SheetOptionsPanel::showDevice(int device)
{
    if (device < 0 || device >= m_devices->count())
        return;
    m_lastDevice = device;
    choose(m_devices, device);
}

void SheetOptionsPanel::showTrackCount(int count)
{
    m_updating = true;
    m_trackCount->setEnabled(true);
    m_trackCount->setValue(count);
    m_updating = false;
}

void SheetOptionsPanel::showZoom(float zoom)
{
    m_updating = true;
    m_zoom->setEnabled(true);
    m_shownZoom = std::round(static_cast<double>(zoom) * 10.0) / 10.0;
    m_zoom->setValue(m_shownZoom);
    m_updating = false;
}

void SheetOptionsPanel::showSelectedTrack(int track)
{
    m_selectedTrack->setText(track >= 0 ? QString::number(track + 1) : QString());
}

void SheetOptionsPanel::showBeatsSelected(double beats)
{
    m_beatsSelected->setText(QString::asprintf("%.2f", beats));
}

void SheetOptionsPanel::showTrack(const std::optional<TrackFields>& track)
{
    enableSheetFields(true);
    const bool trackFields = track.has_value();
    for (QWidget* w : {static_cast<QWidget*>(m_trackType), static_cast<QWidget*>(m_key)})
        w->setEnabled(trackFields);
    if (!track) {
        for (QComboBox* list : {m_trackType, m_group, m_instrument, m_drum, m_key, m_timeSig})
            choose(list, -1);
        showSelectedTrack(-1);
        m_tempo->showNothing();
        return;
    }
    showSelectedTrack(track->track);
    const bool known = track->type >= 0 && track->type < kStaffKindCount;
    const StaffKind kind = known ? static_cast<StaffKind>(track->type) : StaffKind::GClef;
    choose(m_trackType, known ? listEntryOfStaffKind(kind) : -1);
    showPercussionRows(known && staffKindInfo(kind).percussive);
    choose(m_group, track->group);
    fillInstruments(std::max(0, track->group));
    choose(m_instrument, track->instrument);
    choose(m_drum, track->drum);
    choose(m_key, track->key);
    choose(m_timeSig, track->timeSignature);
    m_tempo->showValue(QString::number(track->tempo));
    const bool tablature = known && staffKindInfo(kind).isTablature();
    showTuningRows(tablature);
    const std::optional<int> named = namedTuningIndex(track->tuning);
    choose(m_tuning, named.value_or(static_cast<int>(std::size(kNamedTunings))));
    m_tuningText->showValue(QString::fromStdString(tuningNamesText(track->tuning)));
    m_updating = true;
    m_capo->setValue(track->capo);
    m_updating = false;
}

void SheetOptionsPanel::showNote(const std::optional<NoteFields>& note)
{
    const NoteFields shown = note.value_or(NoteFields{});
    m_index->setText(note ? QString::number(note->index) : QString());
    m_label->setText(note ? note->label : QString());
    m_updating = true;
    const int values[] = {note ? shown.volume : kStartVolume, note ? shown.pan : kStartPan,
                          note ? shown.velocity : kStartVelocity};
    QSlider* const sliders[] = {m_volume, m_pan, m_velocity};
    for (std::size_t i = 0; i < std::size(sliders); ++i) {
        // A slider the user holds keeps its thumb where the user has it.
        if (!sliders[i]->isSliderDown())
            sliders[i]->setValue(values[i]);
        m_sliderValues[i]->setNum(sliders[i]->value());
    }
    m_updating = false;
    m_loopTo->showValue(note ? QString::number(shown.loopTo) : QString());
    m_loopCount->showValue(note ? QString::number(shown.loopCount) : QString());
    m_legato->showValue(note ? number(shown.legatoBeats) : QString());
}

void SheetOptionsPanel::showNoSheet()
{
    // The lists that say why nothing changed stay open, with no entry chosen.
    for (QComboBox* list : {m_devices, m_group, m_instrument, m_drum})
        choose(list, -1);
    for (QComboBox* list : {m_trackType, m_key, m_timeSig})
        choose(list, -1);
    showPercussionRows(false);
    showTuningRows(false);
    enableSheetFields(false);
    m_updating = true;
    m_trackCount->clear();
    m_zoom->clear();
    m_volume->setValue(kStartVolume);
    m_pan->setValue(kStartPan);
    m_velocity->setValue(kStartVelocity);
    m_updating = false;
    for (QLabel* value : m_sliderValues)
        value->clear();
    for (QLabel* label : {m_selectedTrack, m_index, m_label, m_beatsSelected})
        label->clear();
    for (CheckedField* field : {m_tempo, m_loopTo, m_loopCount, m_legato})
        field->showNothing();
}

void SheetOptionsPanel::enableSheetFields(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{m_trackCount, m_zoom, m_timeSig, m_tempo, m_trackType,
                                                      m_key, m_volume, m_pan, m_velocity, m_loopTo,
                                                      m_loopCount, m_legato, m_browse})
        w->setEnabled(enabled);
}

} // namespace tonvela
