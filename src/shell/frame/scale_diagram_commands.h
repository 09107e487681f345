#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <string>

namespace tonvela {

class MainWindow;
class ScalePanel;
class ScaleDiagramWindow;

// "Show Scale Diagram" in the main window: opens the one scale diagram window at (50, 130),
// 450 x 370, or shows and focuses it when it is open, and keeps it showing the root and scale
// the scale panel chose (every change repaints it).
//
// A child of the main window, made on first use; it forgets the window when that closes.
//
// Thread rules: user-interface thread.
class ScaleDiagramCommands : public QObject {
  public:
    ~ScaleDiagramCommands() override;

    // The main window's instance.
    static ScaleDiagramCommands& of(MainWindow& window);

    ScaleDiagramWindow* show();
    // The open window, or null.
    ScaleDiagramWindow* window() const;
    // The board follows the strings of the tablature the user works on (fretboard.h's pitch
    // characters); the window opens with the last ones given.
    void followTuning(const std::string& openStrings);

  private:
    explicit ScaleDiagramCommands(MainWindow& window);
    void scaleChanged();

    MainWindow& m_frame;
    QPointer<ScalePanel> m_panel;
    // What the panel reported to before this took its report over; still called.
    std::function<void()> m_previousListener;
    QPointer<ScaleDiagramWindow> m_window;
    std::string m_openStrings{"EBGDAE"};
};

// The command's handler in the command table.
bool showScaleDiagram(MainWindow& window);

} // namespace tonvela
