#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QLocalServer;
class QLocalSocket;

namespace tonvela {

// Requests longer than this are refused unread; a path is at most a few kilobytes.
inline constexpr int kMaxOpenRequestBytes = 64 * 1024;
// How long a second start waits for the running instance to take its files.
inline constexpr int kOpenRequestTimeoutMs = 5000;

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
// "ACK" to each and hands "open" requests to the handler.
//
// A request is served completely (read, answered) before its handler runs, and the handler
// runs from the event loop afterwards, never from inside the socket's signals: it may show a
// modal box while the client disconnects and its socket goes away.
//
// Thread rules: user-interface thread; requests arrive through its event loop.
class OpenRequestServer : public QObject {
  public:
    using Handler = std::function<void(const std::string& path)>;
    explicit OpenRequestServer(Handler handler, QObject* parent = nullptr);
    ~OpenRequestServer() override;

    // Starts listening under `name`. A socket left behind by a crashed instance is replaced;
    // one that a live instance answers on is not (false then).
    bool listen(const QString& name = openRequestServerName());
    bool isListening() const;

  private:
    void acceptConnections();
    void serve(QLocalSocket& socket);
    Handler m_handler;
    QLocalServer* m_server;
};

// A second start's end: hands the paths to a running instance. True when an instance took
// them all; false when none runs (the caller then starts normally).
bool sendOpenRequests(const QStringList& paths, const QString& name = openRequestServerName());

} // namespace tonvela
