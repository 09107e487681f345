#include "shell/frame/recent_files.h"

#include "editor/commands.h"
#include "platform/notifier.h"
#include "shell/frame/document_commands.h"
#include "shell/frame/main_window.h"
#include "shell/settings_store.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

namespace tonvela {
namespace {

// How wide the folder part of an entry may grow before it is shortened in the middle.
constexpr int kFolderWidth = 320;

std::string slotKey(int index)
{
    return "RecentFile" + std::to_string(index + 1);
}

std::string absolute(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
}

// "~/music" for a folder in the home folder.
QString shortFolder(const QString& folder)
{
    const QString home = QDir::homePath();
    if (home.size() > 1 && (folder == home || folder.startsWith(home + QLatin1Char('/'))))
        return QLatin1Char('~') + folder.mid(home.size());
    return folder;
}

QMenu* menuHolding(QMenuBar& bar, QAction* action)
{
    for (QAction* top : bar.actions())
        if (QMenu* menu = top->menu(); menu && menu->actions().contains(action))
            return menu;
    return nullptr;
}

} // namespace

RecentFiles::RecentFiles(SettingsStore& store) : m_store(store)
{
    if (!m_store.available())
        return;
    for (int i = 0; i < kLimit; ++i) {
        const std::string path = m_store.readText(slotKey(i)).value_or("");
        if (!path.empty() && std::find(m_paths.begin(), m_paths.end(), path) == m_paths.end())
            m_paths.push_back(path);
    }
}

void RecentFiles::add(const std::string& path)
{
    if (path.empty())
        return;
    const std::string full = absolute(path);
    std::erase(m_paths, full);
    m_paths.insert(m_paths.begin(), full);
    if (m_paths.size() > static_cast<size_t>(kLimit))
        m_paths.resize(kLimit);
    write();
}

void RecentFiles::remove(const std::string& path)
{
    std::erase(m_paths, path);
    write();
}

void RecentFiles::clear()
{
    m_paths.clear();
    write();
}

void RecentFiles::write()
{
    if (!m_store.available())
        return;
    // Every slot is written, so entries that left the list do not come back at the next start.
    for (int i = 0; i < kLimit; ++i)
        m_store.writeText(slotKey(i), i < static_cast<int>(m_paths.size()) ? m_paths[i] : std::string());
    m_store.flush();
}

RecentFilesMenu::RecentFilesMenu(MainWindow& window)
    : QObject(&window), m_window(window), m_files(window.services().settings),
      m_menu(new QMenu(QStringLiteral("Open Recent"), &window))
{
    m_menu->setObjectName(QStringLiteral("openRecent"));
    QAction* open = window.action(kCmdOpen);
    if (QMenu* file = menuHolding(*window.menuBar(), open)) {
        const QList<QAction*> items = file->actions();
        const qsizetype at = items.indexOf(open);
        file->insertMenu(at + 1 < items.size() ? items[at + 1] : nullptr, m_menu);
    }
    connect(m_menu, &QMenu::aboutToShow, this, [this] { rebuild(); });
    window.documentCommands().onFileUsed = [this](const std::string& path) {
        m_files.add(path);
        followList();
    };
    rebuild();
}

bool RecentFilesMenu::open(int index)
{
    if (index < 0 || index >= static_cast<int>(m_files.paths().size()))
        return false;
    const std::string path = m_files.paths()[static_cast<size_t>(index)];
    if (!QFileInfo::exists(QString::fromStdString(path))) {
        m_files.remove(path);
        followList();
        m_window.services().notifier.error(
            "The file " + path + " no longer exists. It has been taken off the recent files.", "Error");
        return false;
    }
    return m_window.openFile(path);
}

void RecentFilesMenu::rebuild()
{
    m_menu->clear();
    const QFontMetrics metrics(m_menu->font());
    int number = 0;
    for (const std::string& path : m_files.paths()) {
        const QFileInfo info(QString::fromStdString(path));
        QString name = info.fileName();
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QString folder = metrics.elidedText(shortFolder(info.absolutePath()), Qt::ElideMiddle, kFolderWidth);
        folder.replace(QLatin1Char('&'), QStringLiteral("&&"));
        // Numbers 1 to 9 are keyboard mnemonics; the tenth entry has none.
        const QString mnemonic = number < 9 ? QStringLiteral("&%1").arg(number + 1) : QStringLiteral("10");
        QAction* entry = m_menu->addAction(QStringLiteral("%1  %2  (%3)").arg(mnemonic, name, folder));
        entry->setToolTip(info.absoluteFilePath());
        entry->setStatusTip(info.absoluteFilePath());
        connect(entry, &QAction::triggered, this, [this, number] { open(number); });
        ++number;
    }
    m_menu->setToolTipsVisible(true);
    if (number > 0) {
        m_menu->addSeparator();
        connect(m_menu->addAction(QStringLiteral("Clear List")), &QAction::triggered, this, [this] {
            m_files.clear();
            followList();
        });
    }
    followList();
}

void RecentFilesMenu::followList()
{
    // The entries themselves are made anew before the menu shows: an entry may be what is
    // running this very change.
    m_menu->menuAction()->setEnabled(!m_files.paths().empty());
}

} // namespace tonvela
