#pragma once

#include <QObject>

#include <string>
#include <vector>

class QMenu;

namespace tonvela {

class MainWindow;
class SettingsStore;

// The files opened or saved last, most recent first, at most kLimit of them, each once. The
// list is read from the settings when made and written back at every change, so it outlives
// the run (as "RecentFile1" to "RecentFile10"). Without a usable store it lives for the run only.
//
// Thread rules: user-interface thread.
class RecentFiles {
  public:
    static constexpr int kLimit = 10;

    explicit RecentFiles(SettingsStore& store);

    const std::vector<std::string>& paths() const { return m_paths; }
    // Puts the file (made absolute) at the front; the oldest beyond kLimit drops off.
    void add(const std::string& path);
    void remove(const std::string& path);
    void clear();

  private:
    void write();

    SettingsStore& m_store;
    std::vector<std::string> m_paths;
};

// File > Open Recent: one entry per recent file ("1 name - folder", the whole path in its
// tooltip) and "Clear List". Choosing an entry opens the file; a file that is gone says so in
// an "Error" message and leaves the list. Every file the frame opens or saves joins the list.
//
// Thread rules: user-interface thread. A child of the main window.
class RecentFilesMenu : public QObject {
  public:
    // Puts the submenu into the window's "File" menu after "Open".
    explicit RecentFilesMenu(MainWindow& window);

    RecentFiles& files() { return m_files; }
    QMenu* menu() const { return m_menu; }
    // Opens entry `index` (from 0) as choosing it does; false when nothing opened.
    bool open(int index);

  private:
    void rebuild();
    void followList();

    MainWindow& m_window;
    RecentFiles m_files;
    QMenu* m_menu;
};

} // namespace tonvela
