// Request heads are parsed here by hand: the bridge has to see Host and Origin before Qt's WebSocket
// server takes the connection over.
#include "access_policy.h"

#include "bridge_settings.h"

#include <QUrl>

namespace qx::bridge {

namespace {

constexpr int kMaxHeaders = 100;

bool isToken(const QByteArray& text) {
    if (text.isEmpty())
        return false;
    for (char c : text)
        if (c <= ' ' || c >= 127 || c == ':' || c == '(' || c == ')' || c == ',' || c == '/' || c == '"')
            return false;
    return true;
}

bool containsToken(const QByteArray& list, const char* token) {
    for (const QByteArray& item : list.split(','))
        if (item.trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

QByteArray RequestHead::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return QByteArray();
}

bool RequestHead::hasHeader(const QByteArray& name) const {
    for (const auto& entry : headers)
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QByteArray RequestHead::path() const {
    const int q = target.indexOf('?');
    return q < 0 ? target : target.left(q);
}

QString RequestHead::query(const QString& key) const {
    const int q = target.indexOf('?');
    if (q < 0)
        return QString();
    // A browser's form encoding (URLSearchParams writes it): '+' is a space, then %XX bytes of UTF-8.
    for (QByteArray item : target.mid(q + 1).split('&')) {
        item.replace('+', ' ');
        const int equals = item.indexOf('=');
        const QByteArray name = QByteArray::fromPercentEncoding(equals < 0 ? item : item.left(equals));
        if (QString::fromUtf8(name) == key)
            return QString::fromUtf8(
                QByteArray::fromPercentEncoding(equals < 0 ? QByteArray() : item.mid(equals + 1)));
    }
    return QString();
}

bool RequestHead::isWebSocketUpgrade() const {
    return containsToken(header("Upgrade"), "websocket") && containsToken(header("Connection"), "upgrade");
}

HeadStatus parseRequestHead(const QByteArray& data, int maxBytes, RequestHead& head, int& length) {
    const int end = data.indexOf("\r\n\r\n");
    if (end < 0)
        return data.size() > maxBytes ? HeadStatus::TooLarge : HeadStatus::Incomplete;
    if (end + 4 > maxBytes)
        return HeadStatus::TooLarge;
    length = end + 4;
    // Lines end in CR LF; a bare LF or CR inside a line is malformed, not a line break.
    QList<QByteArray> lines;
    const QByteArray block = data.left(end);
    for (qsizetype from = 0;;) {
        const qsizetype next = block.indexOf("\r\n", from);
        lines.append(block.mid(from, next < 0 ? -1 : next - from));
        if (next < 0)
            break;
        from = next + 2;
        if (lines.size() > kMaxHeaders + 1)
            return HeadStatus::TooLarge;
    }
    head = RequestHead();
    const QList<QByteArray> request = lines.first().split(' ');
    if (request.size() != 3 || !isToken(request[0]) || !request[1].startsWith('/') ||
        (request[2] != "HTTP/1.1" && request[2] != "HTTP/1.0"))
        return HeadStatus::Malformed;
    head.method = request[0];
    head.target = request[1];
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (line.contains('\r') || line.contains('\n'))
            return HeadStatus::Malformed;
        const int colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.left(colon)))
            return HeadStatus::Malformed;
        head.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
    }
    return HeadStatus::Complete;
}

AccessPolicy::AccessPolicy(quint16 port, const QStringList& extraOrigins) : m_port(port) {
    const QString suffix = QLatin1Char(':') + QString::number(port);
    for (const char* host : {"http://127.0.0.1", "http://localhost", "http://[::1]"})
        m_origins << normalizedOrigin(QLatin1String(host) + suffix);
    for (const QString& origin : extraOrigins) {
        const QString normal = normalizedOrigin(origin);
        if (!normal.isEmpty() && !m_origins.contains(normal))
            m_origins << normal;
    }
}

bool AccessPolicy::hostAllowed(const QByteArray& host) const {
    // A DNS-rebinding page reaches 127.0.0.1 under its own name, which shows in Host.
    const QString text = QString::fromLatin1(host).toLower();
    for (const char* name : {"127.0.0.1", "localhost", "[::1]"}) {
        const QString expected = QLatin1String(name) + QLatin1Char(':') + QString::number(m_port);
        if (text == expected || (m_port == 80 && text == QLatin1String(name)))
            return true;
    }
    return false;
}

bool AccessPolicy::originAllowed(const QString& origin) const {
    const QString normal = normalizedOrigin(origin);
    return !normal.isEmpty() && m_origins.contains(normal);
}

AccessVerdict AccessPolicy::check(const RequestHead& head) const {
    AccessVerdict verdict;
    const QByteArray host = head.header("Host");
    if (!hostAllowed(host)) {
        verdict.reason =
            QStringLiteral("Host \"%1\" is not the loopback address").arg(QString::fromLatin1(host));
        return verdict;
    }
    if (head.hasHeader("Origin")) {
        const QString origin = QString::fromLatin1(head.header("Origin"));
        if (!originAllowed(origin)) {
            verdict.reason = QStringLiteral("Origin \"%1\" is not allowed").arg(origin);
            return verdict;
        }
        verdict.allowed = true;
        verdict.origin = normalizedOrigin(origin);
        return verdict;
    }
    const QByteArray site = head.header("Sec-Fetch-Site").toLower();
    if (site == "cross-site" || site == "same-site") {
        const QUrl referer(QString::fromLatin1(head.header("Referer")));
        const QString origin =
            referer.isValid() && !referer.host().isEmpty()
                ? normalizedOrigin(
                      referer.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
                          .toString())
                : QString();
        if (origin.isEmpty() || !m_origins.contains(origin)) {
            verdict.reason =
                QStringLiteral("a %1 request from \"%2\" is not allowed")
                    .arg(QString::fromLatin1(site), origin.isEmpty() ? QStringLiteral("?") : origin);
            return verdict;
        }
        verdict.origin = origin;
    }
    verdict.allowed = true;
    return verdict;
}

} // namespace qx::bridge
