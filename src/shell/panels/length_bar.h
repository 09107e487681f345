#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>

class QLabel;
class QSlider;

namespace tonvela {

// The range of the "Length:" play position slider: 0 at the start, kSliderRange at the end.
inline constexpr int kSliderRange = 384;

// Where the slider stands for a play time of a total: elapsed / total of kSliderRange, 0 for a
// sheet that takes no time.
int sliderPosition(int64_t elapsedMs, int64_t totalMs);

// The length bar under the toolbars: the play position slider (0..kSliderRange) between the
// current play time and the total play time of the active sheet, and a status text
// (lengthBarStatus) that is shortened, with the whole text as tooltip, when it does not fit. The show*
// functions never report; moving the slider reports through onPositionChosen.
class LengthBar : public QWidget {
  public:
    explicit LengthBar(QWidget* parent = nullptr);
    // "00:00" for both when there is no active sheet.
    void showTimes(const QString& current, const QString& total);
    void showStatus(const QString& status);
    // The slider's position, unless the user holds it; clamped to the slider's range.
    void showPosition(int position);

    QSlider* slider() const { return m_slider; }
    QString currentText() const;
    QString totalText() const;
    QString statusText() const;

    std::function<void(int position)> onPositionChosen;

  private:
    QSlider* m_slider;
    QLabel* m_current;
    QLabel* m_total;
    QLabel* m_status;
    QString m_statusText;
};

// Minutes and seconds of a play time: "mm:ss".
QString minutesSeconds(long long ms);

// The status text of an active sheet: the note under the pointer ("Note: C 4") while the
// pointer is over the sheet; else what is selected ("3 notes selected, 1.50 beats"); else
// "Playing" or "Stopped".
QString lengthBarStatus(const QString& pointerText, int selectedNotes, double selectedBeats, bool playing);

} // namespace tonvela
