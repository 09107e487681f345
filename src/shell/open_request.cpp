#include "shell/open_request.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

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

OpenRequestServer::OpenRequestServer(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] { acceptConnections(); });
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
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] { serve(*socket); });
    }
}

void OpenRequestServer::serve(QLocalSocket& socket)
{
    std::vector<std::string> paths;
    while (socket.canReadLine()) {
        QByteArray line = socket.readLine(kMaxOpenRequestBytes);
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        socket.write("ACK\n");
        const auto request =
            parseOpenRequest(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
        if (request && request->command == "open" && !request->path.empty())
            paths.push_back(request->path);
    }
    socket.flush();
    if (socket.bytesAvailable() > kMaxOpenRequestBytes)
        socket.abort(); // an endless line is no request of ours
    // The socket is done with; the handler may open files and show boxes while the client
    // goes away. A request still queued when the server goes is dropped with it.
    for (std::string& path : paths)
        QMetaObject::invokeMethod(
            this, [this, path = std::move(path)] { m_handler(path); }, Qt::QueuedConnection);
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
