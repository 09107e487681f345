#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

namespace tonvela {

// The sheet options panel: the output device that Play uses, the number of tracks and the
// zoom ("Scale:") of the active sheet, the selected track and the length of the selection. Changes by the
// user are reported through the callbacks; the show* functions update the fields without reporting.
class SheetOptionsPanel : public QWidget {
  public:
    explicit SheetOptionsPanel(QWidget* parent = nullptr);

    void setDevices(const std::vector<std::string>& names);
    int device() const;
    void showDevice(int device);
    void showTrackCount(int count);
    void showZoom(float zoom);
    // "Track Selected:" n + 1 for track n (empty for none); "Beats Selected:" as "%.2f".
    void showSelectedTrack(int track);
    void showBeatsSelected(double beats);

    std::function<void(int device)> onDeviceChosen;
    std::function<void(int count)> onTrackCountChosen;
    std::function<void(bool up)> onZoomStep;

    QComboBox* deviceList() const { return m_devices; }
    QSpinBox* trackCountField() const { return m_trackCount; }
    QDoubleSpinBox* zoomField() const { return m_zoom; }
    QLabel* selectedTrackField() const { return m_selectedTrack; }
    QLabel* beatsSelectedField() const { return m_beatsSelected; }

  private:
    QComboBox* m_devices;
    QSpinBox* m_trackCount;
    QDoubleSpinBox* m_zoom;
    QLabel* m_selectedTrack;
    QLabel* m_beatsSelected;
    double m_shownZoom = 0.9;
    bool m_updating = false;
};

} // namespace tonvela
