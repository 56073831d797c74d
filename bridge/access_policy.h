// Who may talk to the bridge: the request head, the Host and Origin rules against DNS rebinding and
// foreign pages.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace qx::bridge {

struct RequestHead {
    QByteArray method;
    QByteArray target; // path and query as sent
    QList<QPair<QByteArray, QByteArray>> headers;

    // The first header of `name` (any case), trimmed; empty when absent.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
    QByteArray path() const;                 // target without the query
    QString query(const QString& key) const; // a decoded query item, empty when absent
    bool isWebSocketUpgrade() const;
};

enum class HeadStatus { Incomplete, Complete, Malformed, TooLarge };

// Parses an HTTP/1.x request head from the bytes received so far. `length` is the head's length
// with its blank line once Complete.
HeadStatus parseRequestHead(const QByteArray& data, int maxBytes, RequestHead& head, int& length);

struct AccessVerdict {
    bool allowed = false;
    QString reason; // why it was refused, for the log
    QString origin; // the trusted origin a cross-origin response names in its CORS header, if any
};

class AccessPolicy {
public:
    AccessPolicy(quint16 port, const QStringList& extraOrigins);

    // The Host must name the loopback address or localhost with the bridge's port; the Origin, when
    // there is one, must be on the allow-list. A request without Origin that a browser marks as
    // coming from another site (an <img> on a foreign page) counts with the origin of its Referer.
    AccessVerdict check(const RequestHead& head) const;

    bool hostAllowed(const QByteArray& host) const;
    bool originAllowed(const QString& origin) const;
    QStringList origins() const { return m_origins; }

private:
    quint16 m_port;
    QStringList m_origins; // normalized; the bridge's own first
};

} // namespace qx::bridge
