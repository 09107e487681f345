#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QLocalServer;
class QLocalSocket;
class QTimer;

namespace tonvela {

// Requests longer than this are refused unread; a path is at most a few kilobytes.
inline constexpr int kMaxOpenRequestBytes = 64 * 1024;
// How long a second start waits for the running instance to take its files.
inline constexpr int kOpenRequestTimeoutMs = 5000;
// A connection that sends nothing for this long is closed.
inline constexpr int kOpenRequestIdleMs = 5000;
// The most connections served at once; later ones wait until one of them ends.
inline constexpr int kMaxOpenRequestConnections = 16;
// The most files one connection may ask for; a connection asking for more is closed.
inline constexpr int kMaxOpenRequestsPerConnection = 100000;

// True for a command line that asks for an automation server, which is not served.
bool isAutomationLaunch(const QStringList& arguments);

// The request text for a path: [open("path")].
std::string openRequestText(const std::string& path);

// A parsed request: the command before "(" and the path after its opening quote, read from a
// text of the form [command("path")]. No value for a text without "(" or shorter than four
// characters.
struct OpenRequest {
    std::string command;
    std::string path;
};
std::optional<OpenRequest> parseOpenRequest(std::string_view text);

// The path of the request socket of this user on this display: in $XDG_RUNTIME_DIR, or when
// that is unset in a folder of this user's own under /tmp ("tonvela-<uid>", mode 0700), named
// after the display ($WAYLAND_DISPLAY, else $DISPLAY), so starts on another display, under
// xvfb-run or in a test with a runtime folder of its own never reach this instance. Empty when
// no private folder can be had; the program then runs without handing files over.
QString openRequestServerName();

// The running instance's end: a local socket that takes one request per line, answers
// "ACK" to each and hands the paths of "open" requests to the handler.
//
// The files a connection asks for are one batch, handed over when the client has gone (or its
// connection was closed for idling 5 seconds). Batches wait in a queue that the event loop
// works through one after another, and never while a modal dialog or a menu stands: a handler
// that shows a box never sees the next batch inside that box's event loop, so boxes cannot
// nest, and batches that arrive while a box stands are handed over together after it.
// At most 16 connections are served at once.
//
// Thread rules: user-interface thread; requests arrive through its event loop.
class OpenRequestServer : public QObject {
  public:
    using BatchHandler = std::function<void(const std::vector<std::string>& paths)>;
    using Handler = std::function<void(const std::string& path)>;
    explicit OpenRequestServer(BatchHandler handler, QObject* parent = nullptr);
    // One call per path, in order.
    explicit OpenRequestServer(Handler handler, QObject* parent = nullptr);
    ~OpenRequestServer() override;

    // Starts listening under `name`. A socket left behind by a crashed instance is replaced;
    // one that a live instance answers on is not (false then).
    bool listen(const QString& name = openRequestServerName());
    bool isListening() const;

    // Connections served now (waiting ones not counted).
    int servedConnections() const { return m_served; }
    // How long a connection may stay silent; kOpenRequestIdleMs unless a test shortens it.
    void setIdleTimeout(int ms) { m_idleMs = ms; }

  private:
    void acceptConnections();
    void serve(QLocalSocket& socket);
    void finish(QLocalSocket& socket);
    void scheduleDrain(int delayMs = 0);
    void drain();

    // What is kept of a connection being served: the paths it asked for so far and the timer
    // that closes it when it idles (owned by the socket).
    struct Connection {
        std::vector<std::string> paths;
        QTimer* idle = nullptr;
    };

    BatchHandler m_handler;
    std::map<QLocalSocket*, Connection> m_connections;
    QLocalServer* m_server;
    QTimer* m_drainTimer;
    int m_served = 0;
    int m_idleMs = kOpenRequestIdleMs;
    bool m_draining = false;
    std::deque<std::vector<std::string>> m_batches;
};

// A second start's end: hands the paths to a running instance. True when an instance took
// them all; false when none runs (the caller then starts normally).
bool sendOpenRequests(const QStringList& paths, const QString& name = openRequestServerName());

} // namespace tonvela
