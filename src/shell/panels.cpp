#include "shell/panels.h"

#include "score/play_time.h"
#include "score/track.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cmath>

namespace tonvela {
namespace {

constexpr int kPanelWidth = 268;

// Panels are dark grey with white text.
void darken(QWidget* w)
{
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, QColor(34, 34, 34));
    p.setColor(QPalette::WindowText, Qt::white);
    w->setPalette(p);
}

QWidget* placeholderPanel(const QString& heading, const QString& text)
{
    auto* panel = new QWidget;
    darken(panel);
    auto* layout = new QVBoxLayout(panel);
    auto* title = new QLabel(heading);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* body = new QLabel(text);
    body->setWordWrap(true);
    layout->addWidget(title);
    layout->addWidget(body);
    layout->addStretch(1);
    return panel;
}

} // namespace

SheetOptionsPanel::SheetOptionsPanel(QWidget* parent)
    : QWidget(parent), m_devices(new QComboBox), m_trackCount(new QSpinBox), m_zoom(new QDoubleSpinBox)
{
    darken(this);
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

PanelContainer::PanelContainer(QWidget* parent)
    : QWidget(parent), m_sheetPanel(new SheetOptionsPanel), m_stack(new QStackedWidget),
      m_scroll(new QScrollArea)
{
    darken(this);
    setMinimumWidth(kPanelWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* tabs = new QHBoxLayout;
    tabs->setSpacing(0);
    auto* group = new QButtonGroup(this);
    const QString names[3] = {QStringLiteral("Sheet"), QStringLiteral("Chords"), QStringLiteral("Scale")};
    for (int i = 0; i < 3; ++i) {
        m_tabs[i] = new QPushButton(names[i]);
        m_tabs[i]->setCheckable(true);
        m_tabs[i]->setFixedHeight(22);
        group->addButton(m_tabs[i], i);
        tabs->addWidget(m_tabs[i]);
    }
    m_tabs[0]->setChecked(true);
    layout->addLayout(tabs);

    m_stack->addWidget(m_sheetPanel);
    m_stack->addWidget(placeholderPanel(
        QStringLiteral("Chord Diagrammer"),
        QStringLiteral("Chord construction and the guitar chord library are not part of this build. "
                       "Chord documents open, show their diagrams and save.")));
    m_stack->addWidget(
        placeholderPanel(QStringLiteral("Scale Diagram"),
                         QStringLiteral("The scale chooser and fretboard are not part of this build.")));
    m_scroll->setWidget(m_stack);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    layout->addWidget(m_scroll, 1);

    connect(group, &QButtonGroup::idClicked, this, [this](int id) { showPanel(static_cast<Panel>(id)); });
}

QPushButton* PanelContainer::tabButton(Panel panel) const
{
    return m_tabs[static_cast<int>(panel)];
}

void PanelContainer::showPanel(Panel panel)
{
    m_current = panel;
    m_stack->setCurrentIndex(static_cast<int>(panel));
    m_tabs[static_cast<int>(panel)]->setChecked(true);
    if (onPanelShown)
        onPanelShown(panel);
}

LengthBar::LengthBar(QWidget* parent)
    : QWidget(parent), m_slider(new QSlider(Qt::Horizontal)), m_current(new QLabel(QStringLiteral("00:00"))),
      m_total(new QLabel(QStringLiteral("00:00"))), m_status(new QLabel)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(new QLabel(QStringLiteral("Length:")));
    m_current->setObjectName(QStringLiteral("playTime"));
    m_total->setObjectName(QStringLiteral("totalTime"));
    m_status->setObjectName(QStringLiteral("status"));
    m_current->setMinimumWidth(50);
    layout->addWidget(m_current);
    m_slider->setRange(0, kLengthSliderMax);
    m_slider->setValue(0);
    m_slider->setMinimumWidth(200);
    layout->addWidget(m_slider, 1);
    layout->addWidget(m_total);
    m_status->setMinimumWidth(120);
    layout->addWidget(m_status);
    connect(m_slider, &QSlider::sliderMoved, this, [this](int value) {
        if (onPositionChosen)
            onPositionChosen(value);
    });
}

void LengthBar::showTimes(const QString& current, const QString& total)
{
    m_current->setText(current);
    m_total->setText(total);
}

void LengthBar::showStatus(const QString& status)
{
    m_status->setText(status);
}
QString LengthBar::currentText() const
{
    return m_current->text();
}
QString LengthBar::totalText() const
{
    return m_total->text();
}
QString LengthBar::statusText() const
{
    return m_status->text();
}

QString minutesSeconds(long long ms)
{
    return QString::fromStdString(formatPlayTime(ms));
}

} // namespace tonvela
