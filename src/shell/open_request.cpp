#include "shell/open_request.h"

#include <QApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cerrno>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace tonvela {

bool isAutomationLaunch(const QStringList& arguments)
{
    for (const QString& arg : arguments) {
        if (arg.contains(QLatin1String("Automate")) || arg.contains(QLatin1String("Embedding")) ||
            arg.contains(QLatin1String("Automation")))
            return true;
    }
    return false;
}

std::string openRequestText(const std::string& path)
{
    return "[open(\"" + path + "\")]";
}

std::optional<OpenRequest> parseOpenRequest(std::string_view text)
{
    if (text.size() <= 3)
        return std::nullopt;
    // Without the leading "[" and the closing quote, parenthesis and bracket.
    std::string_view inner = text.substr(1, text.size() - 4);
    const auto paren = inner.find('(');
    if (paren == std::string_view::npos)
        return std::nullopt;
    OpenRequest request;
    request.command = std::string(inner.substr(0, paren));
    std::string_view path = inner.substr(paren + 1);
    if (!path.empty() && path.front() == '"')
        path.remove_prefix(1);
    request.path = std::string(path);
    return request;
}

namespace {

// The display this process shows on, made safe for a file name.
QString displayName()
{
    QByteArray display = qgetenv("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qgetenv("DISPLAY");
    if (display.isEmpty())
        return QStringLiteral("nodisplay");
    QString name = QString::fromLocal8Bit(display);
    for (QChar& c : name)
        if (!c.isLetterOrNumber() && c != QLatin1Char('.') && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    return name;
}

// A folder only this user may enter: $XDG_RUNTIME_DIR, or /tmp/tonvela-<uid> made with mode
// 0700 and refused when someone else owns it, when it is a link or when others may enter it.
QString privateFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QString::fromLocal8Bit(runtime);
    const std::string folder = "/tmp/tonvela-" + std::to_string(getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return QString::fromStdString(folder);
}

} // namespace

QString openRequestServerName()
{
    const QString folder = privateFolder();
    if (folder.isEmpty())
        return {};
    return folder + QStringLiteral("/tonvela-") + displayName() + QStringLiteral(".sock");
}

namespace {

// A modal dialog or a menu runs an event loop of its own; a batch handled in there would nest
// its boxes inside it.
bool insideADialogOrMenu()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    return QApplication::activeModalWidget() || QApplication::activePopupWidget();
}

} // namespace

OpenRequestServer::OpenRequestServer(BatchHandler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)), m_server(new QLocalServer(this)),
      m_drainTimer(new QTimer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_drainTimer->setSingleShot(true);
    connect(m_drainTimer, &QTimer::timeout, this, [this] { drain(); });
    connect(m_server, &QLocalServer::newConnection, this, [this] { acceptConnections(); });
}

OpenRequestServer::OpenRequestServer(Handler handler, QObject* parent)
    : OpenRequestServer(
          [handler = std::move(handler)](const std::vector<std::string>& paths) {
              for (const std::string& path : paths)
                  handler(path);
          },
          parent)
{
}

OpenRequestServer::~OpenRequestServer() = default;

bool OpenRequestServer::listen(const QString& name)
{
    if (name.isEmpty())
        return false;
    // Listening would take the name over from a live instance, so ask first.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) {
        probe.abort();
        return false; // another instance serves this user
    }
    QLocalServer::removeServer(name); // a socket left behind by a crashed instance
    return m_server->listen(name);
}

bool OpenRequestServer::isListening() const
{
    return m_server->isListening();
}

void OpenRequestServer::acceptConnections()
{
    // Connections beyond the limit wait in the server (and then in the system's queue) until
    // one being served ends.
    while (m_served < kMaxOpenRequestConnections) {
        QLocalSocket* socket = m_server->nextPendingConnection();
        if (!socket)
            return;
        ++m_served;
        Connection& connection = m_connections[socket];
        connection.idle = new QTimer(socket);
        connection.idle->setSingleShot(true);
        connection.idle->start(m_idleMs);
        connect(connection.idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(*socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { finish(*socket); });
        connect(socket, &QLocalSocket::errorOccurred, this, [this, socket] { finish(*socket); });
        // A client may have written and gone before it was taken.
        if (socket->bytesAvailable() > 0)
            serve(*socket);
        if (socket->state() != QLocalSocket::ConnectedState)
            finish(*socket);
    }
}

void OpenRequestServer::serve(QLocalSocket& socket)
{
    const auto found = m_connections.find(&socket);
    if (found == m_connections.end())
        return;
    found->second.idle->start(m_idleMs);
    std::vector<std::string> paths;
    QByteArray answers;
    while (socket.canReadLine()) {
        QByteArray line = socket.readLine(kMaxOpenRequestBytes);
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        answers += "ACK\n";
        const auto request =
            parseOpenRequest(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
        if (request && request->command == "open" && !request->path.empty())
            paths.push_back(request->path);
    }
    std::vector<std::string>& asked = found->second.paths;
    asked.insert(asked.end(), std::make_move_iterator(paths.begin()), std::make_move_iterator(paths.end()));
    // An endless line, or more requests than any start sends, is no client of ours.
    const bool refused = socket.bytesAvailable() > kMaxOpenRequestBytes ||
                         asked.size() > static_cast<std::size_t>(kMaxOpenRequestsPerConnection);
    // Writing may find the client gone and finish the connection: nothing of it is used after.
    if (!answers.isEmpty() && socket.state() == QLocalSocket::ConnectedState) {
        socket.write(answers);
        socket.flush();
    }
    if (refused)
        socket.abort();
}

void OpenRequestServer::finish(QLocalSocket& socket)
{
    if (m_connections.find(&socket) == m_connections.end())
        return;
    // What the client wrote before it went is still read (and answered, unheard).
    if (socket.canReadLine())
        serve(socket);
    const auto found = m_connections.find(&socket);
    if (found == m_connections.end())
        return; // serving it finished it
    Connection connection = std::move(found->second);
    m_connections.erase(found);
    connection.idle->stop();
    if (!connection.paths.empty()) {
        m_batches.push_back(std::move(connection.paths));
        scheduleDrain();
    }
    --m_served;
    socket.deleteLater();
    // A place is free for a waiting connection.
    QTimer::singleShot(0, this, [this] { acceptConnections(); });
}

void OpenRequestServer::scheduleDrain(int delayMs)
{
    // While a batch is being handled, the running drain takes the new one after it.
    if (m_draining)
        return;
    if (!m_drainTimer->isActive() || delayMs == 0)
        m_drainTimer->start(delayMs);
}

void OpenRequestServer::drain()
{
    if (m_draining || m_batches.empty())
        return;
    if (insideADialogOrMenu()) {
        scheduleDrain(100);
        return;
    }
    m_draining = true;
    while (!m_batches.empty()) {
        // Every batch waiting now is handled as one: its failures make one message.
        std::vector<std::string> paths;
        for (std::vector<std::string>& batch : m_batches)
            paths.insert(paths.end(), std::make_move_iterator(batch.begin()),
                         std::make_move_iterator(batch.end()));
        m_batches.clear();
        m_handler(paths);
    }
    m_draining = false;
}

bool sendOpenRequests(const QStringList& paths, const QString& name)
{
    if (name.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kOpenRequestTimeoutMs / 10))
        return false;
    for (const QString& path : paths) {
        const std::string absolute = QDir::current().absoluteFilePath(path).toStdString();
        socket.write(QByteArray::fromStdString(openRequestText(absolute) + "\n"));
    }
    if (!socket.waitForBytesWritten(kOpenRequestTimeoutMs))
        return false;
    int acknowledged = 0;
    while (acknowledged < paths.size()) {
        if (!socket.canReadLine() && !socket.waitForReadyRead(kOpenRequestTimeoutMs))
            return false;
        while (socket.canReadLine()) {
            socket.readLine();
            ++acknowledged;
        }
    }
    socket.disconnectFromServer();
    return true;
}

} // namespace tonvela
