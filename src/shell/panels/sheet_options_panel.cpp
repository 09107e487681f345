#include "shell/panels/sheet_options_panel.h"

#include "shell/panels/panel_style.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tonvela {
namespace {

// A spin box that takes wheel steps only while it has the keyboard focus: a wheel turned to
// scroll the panel must not change the sheet (one stray step of "Number Tracks:" removes a
// track). Without the focus the wheel goes on to the panel.
template <class SpinBox> class FocusWheelSpinBox : public SpinBox {
  public:
    FocusWheelSpinBox() { this->setFocusPolicy(Qt::StrongFocus); }

  protected:
    void wheelEvent(QWheelEvent* event) override
    {
        if (!this->hasFocus()) {
            event->ignore();
            return;
        }
        SpinBox::wheelEvent(event);
    }
};

} // namespace

SheetOptionsPanel::SheetOptionsPanel(QWidget* parent)
    : QWidget(parent), m_devices(new QComboBox), m_trackCount(new FocusWheelSpinBox<QSpinBox>),
      m_zoom(new FocusWheelSpinBox<QDoubleSpinBox>), m_selectedTrack(new QLabel(QStringLiteral("1"))),
      m_beatsSelected(new QLabel(QStringLiteral("0.00")))
{
    darkenPanel(this);
    auto* form = new QFormLayout(this);
    m_devices->setObjectName(QStringLiteral("midiDevice"));
    m_devices->setMinimumContentsLength(12);
    m_devices->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_trackCount->setObjectName(QStringLiteral("numberTracks"));
    m_trackCount->setRange(1, 15);
    m_trackCount->setValue(2);
    m_zoom->setObjectName(QStringLiteral("scale"));
    m_zoom->setDecimals(1);
    m_zoom->setRange(0.0, 100.0);
    m_zoom->setSingleStep(0.1);
    m_zoom->setValue(0.9);
    form->addRow(QStringLiteral("MIDI Device:"), m_devices);
    form->addRow(QStringLiteral("Number Tracks:"), m_trackCount);
    form->addRow(QStringLiteral("Scale:"), m_zoom);
    m_selectedTrack->setObjectName(QStringLiteral("trackSelected"));
    m_beatsSelected->setObjectName(QStringLiteral("beatsSelected"));
    form->addRow(QStringLiteral("Track Selected:"), m_selectedTrack);
    form->addRow(QStringLiteral("Beats Selected:"), m_beatsSelected);

    connect(m_devices, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (onDeviceChosen)
            onDeviceChosen(index);
    });
    connect(m_trackCount, qOverload<int>(&QSpinBox::valueChanged), this, [this](int value) {
        if (!m_updating && onTrackCountChosen)
            onTrackCountChosen(value);
    });
    connect(m_zoom, qOverload<double>(&QDoubleSpinBox::valueChanged), this, [this](double value) {
        if (m_updating)
            return;
        // The field steps the zoom by 0.1 in the direction of the change; the sheet decides
        // the value and the field then shows it.
        const bool up = value > m_shownZoom;
        showZoom(static_cast<float>(m_shownZoom));
        if (onZoomStep)
            onZoomStep(up);
    });
}

void SheetOptionsPanel::setDevices(const std::vector<std::string>& names)
{
    m_updating = true;
    m_devices->clear();
    for (const auto& name : names)
        m_devices->addItem(QString::fromStdString(name));
    if (!names.empty())
        m_devices->setCurrentIndex(0);
    m_updating = false;
}

int SheetOptionsPanel::device() const
{
    return std::max(0, m_devices->currentIndex());
}

void SheetOptionsPanel::showDevice(int device)
{
    if (device >= 0 && device < m_devices->count())
        m_devices->setCurrentIndex(device);
}

void SheetOptionsPanel::showTrackCount(int count)
{
    m_updating = true;
    m_trackCount->setValue(count);
    m_updating = false;
}

void SheetOptionsPanel::showZoom(float zoom)
{
    m_updating = true;
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

} // namespace tonvela
