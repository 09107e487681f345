#include "shell/panels/length_bar.h"

#include "score/play_time.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace tonvela {
namespace {

constexpr const char* kStatusSample = "128 notes selected, 100.50 beats";

} // namespace

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
    m_slider->setRange(0, kSliderRange);
    m_slider->setValue(0);
    m_slider->setMinimumWidth(200);
    layout->addWidget(m_slider, 1);
    layout->addWidget(m_total);
    // Wide enough for the usual texts; longer ones are shortened at this width.
    m_status->setFixedWidth(m_status->fontMetrics().horizontalAdvance(QString::fromLatin1(kStatusSample)) +
                            4);
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
    m_statusText = status;
    m_status->setText(m_status->fontMetrics().elidedText(status, Qt::ElideRight, m_status->width()));
    m_status->setToolTip(m_status->text() == status ? QString() : status);
}

void LengthBar::showPosition(int position)
{
    if (m_slider->isSliderDown())
        return;
    const QSignalBlocker quiet(m_slider);
    m_slider->setValue(std::clamp(position, 0, kSliderRange));
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
    return m_statusText;
}

QString minutesSeconds(long long ms)
{
    return QString::fromStdString(formatPlayTime(ms));
}

QString lengthBarStatus(const QString& pointerText, int selectedNotes, double selectedBeats, bool playing)
{
    // The count stays in view beside the pointer's note: a tool key acts on every selected note.
    if (!pointerText.isEmpty())
        return selectedNotes > 0
                   ? QStringLiteral("%1, %2 %3 selected")
                         .arg(pointerText)
                         .arg(selectedNotes)
                         .arg(selectedNotes == 1 ? QStringLiteral("note") : QStringLiteral("notes"))
                   : pointerText;
    if (selectedNotes > 0)
        return QStringLiteral("%1 %2 selected, %3 beats")
            .arg(selectedNotes)
            .arg(selectedNotes == 1 ? QStringLiteral("note") : QStringLiteral("notes"))
            .arg(selectedBeats, 0, 'f', 2);
    return playing ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

int sliderPosition(int64_t elapsedMs, int64_t totalMs)
{
    if (totalMs <= 0)
        return 0;
    return static_cast<int>(std::clamp<int64_t>(elapsedMs, 0, totalMs) * kSliderRange / totalMs);
}

} // namespace tonvela
