// Servers the network tests start on 127.0.0.1: the recording HTTP receiver, pyftpdlib, tinyproxy.
#pragma once

#include "support/test_support.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace qx::test {

// Clears every proxy variable for the scope, so no test reaches a proxy of the machine it runs on.
class NoProxyEnvironment {
public:
    NoProxyEnvironment();
    ~NoProxyEnvironment();
    NoProxyEnvironment(const NoProxyEnvironment&) = delete;
    NoProxyEnvironment& operator=(const NoProxyEnvironment&) = delete;

private:
    std::vector<std::pair<QByteArray, QByteArray>> m_saved;
};

// A request as the receiver got it.
struct RecordedRequest {
    QByteArray raw;
    QByteArray requestLine;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // The values of every header of that name (case-insensitive), in order.
    QList<QByteArray> values(const QByteArray& name) const;
};

// One helper process, killed with the object.
class LocalServer {
public:
    LocalServer() = default;
    ~LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    // Starts `program` and waits until it printed its port on the first line (or, with
    // `knownPort`, until that port accepts connections).
    bool start(const QString& program, const QStringList& arguments, int knownPort = 0);
    int port() const { return m_port; }
    void stop();

private:
    std::unique_ptr<QProcess> m_process;
    int m_port = 0;
};

// The test helper scripts' folder and the Python with Debian's modules.
QString serverScript(const QString& name);
QString debianPython();
// A port nothing listens on at the moment of the call.
int freePort();

// The recording HTTP receiver (tests/net/servers/http_receiver.py).
class HttpReceiver {
public:
    // `mode`: "200", "302", "500", "reset", "silent" or "slow" (with `delaySeconds`).
    bool start(const QString& mode, double delaySeconds = 0, int port = 0, const QString& cert = {},
               const QString& key = {});
    int port() const { return m_server.port(); }
    QString url(const QString& path = QStringLiteral("/upload")) const;
    // The requests received so far, in order.
    std::vector<RecordedRequest> requests() const;

private:
    Folder m_record;
    LocalServer m_server;
};

// Reads the file field of a recorded request back with Python's email package: the file's bytes,
// its file name and the value of the submit field, or nothing when the body does not parse.
struct ParsedForm {
    QByteArray file;
    QString fileName;
    QString submit;
};
std::optional<ParsedForm> parseWithEmailPackage(const RecordedRequest& request);

// pyftpdlib with "writer"/"secret" (may write) and "reader"/"secret" (may only read).
class FtpServer {
public:
    bool start(int dropDataAfterBytes = 0);
    int port() const { return m_server.port(); }
    QString root() const { return m_root.path(); }
    // The commands the server received, one per line, PASS masked.
    QStringList commands() const;

private:
    Folder m_root;
    Folder m_logFolder;
    LocalServer m_server;
};

// tinyproxy on a free loopback port, with BasicAuth "user"/"pass" when `withAuth`.
class Tinyproxy {
public:
    bool start(bool withAuth);
    int port() const { return m_port; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

private:
    Folder m_folder;
    LocalServer m_server;
    int m_port = 0;
};

} // namespace qx::test
