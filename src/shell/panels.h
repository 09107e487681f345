#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;
class QSpinBox;
class QStackedWidget;

namespace tonvela {

// The sheet options panel: the output device that Play uses, the number of tracks and the
// zoom ("Scale:") of the active sheet. Changes by the user are reported through the
// callbacks; the show* functions update the fields without reporting.
class SheetOptionsPanel : public QWidget {
  public:
    explicit SheetOptionsPanel(QWidget* parent = nullptr);

    void setDevices(const std::vector<std::string>& names);
    int device() const;
    void showTrackCount(int count);
    void showZoom(float zoom);

    std::function<void(int device)> onDeviceChosen;
    std::function<void(int count)> onTrackCountChosen;
    std::function<void(bool up)> onZoomStep;

    QComboBox* deviceList() const { return m_devices; }
    QSpinBox* trackCountField() const { return m_trackCount; }
    QDoubleSpinBox* zoomField() const { return m_zoom; }

  private:
    QComboBox* m_devices;
    QSpinBox* m_trackCount;
    QDoubleSpinBox* m_zoom;
    double m_shownZoom = 0.9;
    bool m_updating = false;
};

// The docked container on the left: three tab buttons ("Sheet", "Chords", "Scale") over the
// panel shown, scrolled when the panel is taller than the room.
class PanelContainer : public QWidget {
  public:
    enum class Panel { Sheet = 0, Chord = 1, Scale = 2 };
    explicit PanelContainer(QWidget* parent = nullptr);

    SheetOptionsPanel* sheetPanel() const { return m_sheetPanel; }
    void showPanel(Panel panel);
    Panel currentPanel() const { return m_current; }
    QPushButton* tabButton(Panel panel) const;

    std::function<void(Panel)> onPanelShown;

  private:
    SheetOptionsPanel* m_sheetPanel;
    QStackedWidget* m_stack;
    QScrollArea* m_scroll;
    QPushButton* m_tabs[3];
    Panel m_current = Panel::Sheet;
};

// The length bar under the toolbars: the play position slider (0..kSliderRange) between the current
// play time and the total play time of the active sheet, and a status text.
class LengthBar : public QWidget {
  public:
    explicit LengthBar(QWidget* parent = nullptr);
    // "00:00" for both when there is no active sheet.
    void showTimes(const QString& current, const QString& total);
    void showStatus(const QString& status);

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
