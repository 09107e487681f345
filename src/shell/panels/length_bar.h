#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QSlider;

namespace tonvela {

// The length bar under the toolbars: the play position slider (0..kSliderRange) between the
// current play time and the total play time of the active sheet, and a status text. The show*
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
};

// Minutes and seconds of a play time: "mm:ss".
QString minutesSeconds(long long ms);

} // namespace tonvela
