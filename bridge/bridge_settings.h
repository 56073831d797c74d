// The bridge's settings file: its port, the page origins it trusts, the folders its clients may touch.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace qx::bridge {

struct BridgeSettings {
    static constexpr quint16 kDefaultPort = 47800;

    QString file; // where they were read from
    quint16 port = kDefaultPort;
    // Origins besides the bridge's own pages ("https://counter.example.org", "http://localhost:8080").
    QStringList allowedOrigins;
    // Absolute folders, each with a trailing '/'; the first is where the bridge's captures go.
    QStringList captureFolders;
    qint64 maxMessageBytes = 1024 * 1024;     // one incoming WebSocket message
    qint64 maxAnswerBytes = 64 * 1024 * 1024; // one answer
    int maxHeaderBytes = 16 * 1024;           // one HTTP request head
    int maxPendingRequests = 4096;            // per connection, not yet answered
    int maxConnections = 64;
};

// "qxbridge.ini" in the data folder beside the programs (see platform::dataFolder).
QString defaultSettingsPath();
// "<the user's pictures folder>/QXCamera/".
QString defaultCaptureFolder();

// The longest value a key may have: a longer one is no list anyone meant, and is refused.
inline constexpr int kMaxSettingChars = 65536;

// Reads the file, writing it with the defaults when it does not exist yet, so a user finds every key.
// Returns false with `error` set when a value is unusable (a bad port, a relative capture folder, an
// origin that is not scheme://host[:port], a value over kMaxSettingChars): the bridge then refuses to
// start rather than guess.
bool loadSettings(const QString& path, BridgeSettings& settings, QString& error);

// "scheme://host[:port]" in lower case without a default port, or empty when `text` is no origin.
QString normalizedOrigin(const QString& text);

} // namespace qx::bridge
