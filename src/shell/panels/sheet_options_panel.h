#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

namespace tonvela {

// The sheet options panel: the output device that Play uses, the number of tracks and the
// zoom ("Scale:") of the active sheet. Changes by the user are reported through the
// callbacks; the show* functions update the fields without reporting.
class SheetOptionsPanel : public QWidget {
  public:
    explicit SheetOptionsPanel(QWidget* parent = nullptr);

    void setDevices(const std::vector<std::string>& names);
    int device() const;
    void showDevice(int device);
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

} // namespace tonvela
