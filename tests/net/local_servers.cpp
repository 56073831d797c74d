// Starts and reads the network tests' servers.
#include "local_servers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <cstdlib>

namespace qx::test {

namespace {
const char* const kProxyVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "ftp_proxy",
                                       "FTP_PROXY",  "all_proxy",  "ALL_PROXY",   "no_proxy",    "NO_PROXY"};
} // namespace

NoProxyEnvironment::NoProxyEnvironment() {
    for (const char* name : kProxyVariables) {
        if (const char* value = std::getenv(name))
            m_saved.emplace_back(name, value);
        qunsetenv(name);
    }
}

NoProxyEnvironment::~NoProxyEnvironment() {
    for (const char* name : kProxyVariables)
        qunsetenv(name);
    for (const auto& [name, value] : m_saved)
        qputenv(name.constData(), value);
}

QList<QByteArray> RecordedRequest::values(const QByteArray& name) const {
    QList<QByteArray> found;
    for (const auto& [key, value] : headers)
        if (key.toLower() == name.toLower())
            found << value;
    return found;
}

LocalServer::~LocalServer() {
    stop();
}

void LocalServer::stop() {
    if (m_process) {
        m_process->kill();
        m_process->waitForFinished(5000);
        m_process.reset();
    }
}

bool LocalServer::start(const QString& program, const QStringList& arguments, int knownPort) {
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->start(program, arguments);
    if (!m_process->waitForStarted(10000))
        return false;
    if (knownPort) {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000 && m_process->state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QStringLiteral("127.0.0.1"), quint16(knownPort));
            if (probe.waitForConnected(200)) {
                m_port = knownPort;
                return true;
            }
            QThread::msleep(50);
        }
        return false;
    }
    QElapsedTimer waited;
    waited.start();
    while (!m_process->canReadLine() && waited.elapsed() < 15000) {
        if (!m_process->waitForReadyRead(500) && m_process->state() != QProcess::Running)
            return false;
    }
    m_port = m_process->readLine().trimmed().toInt();
    return m_port > 0;
}

QString serverScript(const QString& name) {
    return QStringLiteral(QX_NET_SERVERS_DIR "/") + name;
}

QString debianPython() {
    return QStringLiteral("/usr/bin/python3");
}

int freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool HttpReceiver::start(const QString& mode, double delaySeconds, int port, const QString& cert,
                         const QString& key) {
    QStringList args{serverScript(QStringLiteral("http_receiver.py")),
                     QStringLiteral("--mode"),
                     mode,
                     QStringLiteral("--record"),
                     m_record.path(),
                     QStringLiteral("--delay"),
                     QString::number(delaySeconds),
                     QStringLiteral("--port"),
                     QString::number(port)};
    if (!cert.isEmpty())
        args << QStringLiteral("--cert") << cert << QStringLiteral("--key") << key;
    return m_server.start(debianPython(), args);
}

QString HttpReceiver::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

std::vector<RecordedRequest> HttpReceiver::requests() const {
    std::vector<RecordedRequest> all;
    for (int n = 1;; ++n) {
        const QString file = m_record.file(QStringLiteral("request-%1.bin").arg(n));
        if (!QFile::exists(file))
            break;
        RecordedRequest r;
        r.raw = readAll(file);
        const qsizetype end = r.raw.indexOf("\r\n\r\n");
        const QList<QByteArray> lines = r.raw.left(end).split('\n');
        r.requestLine = lines.value(0).trimmed();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
            const qsizetype colon = line.indexOf(':');
            r.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
        r.body = end < 0 ? QByteArray() : r.raw.mid(end + 4);
        all.push_back(r);
    }
    return all;
}

std::optional<ParsedForm> parseWithEmailPackage(const RecordedRequest& request) {
    Folder work;
    const QString in = work.file(QStringLiteral("request.bin"));
    const QString out = work.file(QStringLiteral("file.bin"));
    if (!writeAll(in, request.raw))
        return std::nullopt;
    QProcess p;
    p.start(debianPython(), {serverScript(QStringLiteral("multipart_extract.py")), in, out});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return std::nullopt;
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    return ParsedForm{readAll(out), lines.value(0), lines.value(1)};
}

bool FtpServer::start(int dropDataAfterBytes) {
    return m_server.start(debianPython(),
                          {serverScript(QStringLiteral("ftp_server.py")), QStringLiteral("--root"),
                           m_root.path(), QStringLiteral("--log"),
                           m_logFolder.file(QStringLiteral("commands.log")), QStringLiteral("--drop-after"),
                           QString::number(dropDataAfterBytes)});
}

QStringList FtpServer::commands() const {
    const QString text = QString::fromUtf8(readAll(m_logFolder.file(QStringLiteral("commands.log"))));
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool Tinyproxy::start(bool withAuth) {
    m_port = freePort();
    QString config = QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 60\nAllow 127.0.0.1\nMaxClients 20\n"
                                    "LogLevel Warning\nPidFile \"%2\"\n")
                         .arg(m_port)
                         .arg(m_folder.file(QStringLiteral("tinyproxy.pid")));
    if (withAuth)
        config += QStringLiteral("BasicAuth user pass\n");
    const QString file = m_folder.file(QStringLiteral("tinyproxy.conf"));
    if (!writeAll(file, config.toUtf8()))
        return false;
    return m_server.start(QStringLiteral("/usr/bin/tinyproxy"),
                          {QStringLiteral("-d"), QStringLiteral("-c"), file}, m_port);
}

} // namespace qx::test
