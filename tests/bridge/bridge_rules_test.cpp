// The bridge's rules without a bridge: request heads, Host and Origin, capture-folder paths, settings.
#include "access_policy.h"
#include "bridge_log.h"
#include "bridge_settings.h"
#include "path_guard.h"
#include "peer_credentials.h"
#include "support/test_support.h"
#include "web_socket_frames.h"

#include "qx/platform/profile.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <unistd.h>

namespace qx::bridge {
namespace {

using test::Folder;

RequestHead headOf(const QByteArray& text) {
    RequestHead head;
    int length = 0;
    EXPECT_EQ(parseRequestHead(text, 16384, head, length), HeadStatus::Complete) << text.constData();
    return head;
}

TEST(RequestHeadTest, ParsesCompleteHeadsAndRefusesBrokenOrHugeOnes) {
    RequestHead head;
    int length = 0;
    const QByteArray text =
        "GET /preview.mjpg?width=640&x=%20y HTTP/1.1\r\nHost: 127.0.0.1:9\r\nUpgrade: WebSocket\r\n"
        "Connection: keep-alive, Upgrade\r\n\r\nbody";
    ASSERT_EQ(parseRequestHead(text, 16384, head, length), HeadStatus::Complete);
    EXPECT_EQ(length, text.size() - 4);
    EXPECT_EQ(head.method, "GET");
    EXPECT_EQ(head.path(), "/preview.mjpg");
    EXPECT_EQ(head.query(QStringLiteral("width")), QStringLiteral("640"));
    EXPECT_EQ(head.query(QStringLiteral("x")), QStringLiteral(" y"));
    EXPECT_EQ(head.header("host"), "127.0.0.1:9");
    EXPECT_TRUE(head.isWebSocketUpgrade());

    EXPECT_EQ(parseRequestHead("GET / HTTP/1.1\r\nHost: a", 16384, head, length), HeadStatus::Incomplete);
    EXPECT_EQ(parseRequestHead(QByteArray(20000, 'a'), 16384, head, length), HeadStatus::TooLarge);
    QByteArray many = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 200; ++i)
        many += "X-" + QByteArray::number(i) + ": 1\r\n";
    EXPECT_EQ(parseRequestHead(many + "\r\n", 16384, head, length), HeadStatus::TooLarge);
    for (const QByteArray& bad :
         {QByteArray("GET / HTTP/2\r\n\r\n"), QByteArray("GET noslash HTTP/1.1\r\n\r\n"),
          QByteArray("GET / HTTP/1.1\r\nNo colon\r\n\r\n"),
          QByteArray("GET / HTTP/1.1\r\nX: a\nHost: evil\r\n\r\n"), QByteArray("G(T / HTTP/1.1\r\n\r\n")})
        EXPECT_EQ(parseRequestHead(bad, 16384, head, length), HeadStatus::Malformed) << bad.constData();
}

TEST(AccessPolicyTest, HostMustBeLoopbackWithTheBridgesPort) {
    const AccessPolicy policy(47800, {});
    for (const char* host : {"127.0.0.1:47800", "localhost:47800", "LOCALHOST:47800", "[::1]:47800"})
        EXPECT_TRUE(policy.hostAllowed(host)) << host;
    for (const char* host :
         {"", "127.0.0.1", "127.0.0.1:47801", "evil.example:47800", "127.0.0.1.evil.example:47800",
          "localhost.evil.example:47800", "0.0.0.0:47800", "[::1]:80", "127.0.0.2:47800"})
        EXPECT_FALSE(policy.hostAllowed(host)) << host;
}

TEST(AccessPolicyTest, OriginsOnTheListPassAndOthersAreRefused) {
    const AccessPolicy policy(
        47800, {QStringLiteral("https://counter.example.org"), QStringLiteral("http://localhost:8080/")});
    const auto verdict = [&](const QByteArray& extra) {
        return policy.check(headOf("GET / HTTP/1.1\r\nHost: 127.0.0.1:47800\r\n" + extra + "\r\n"));
    };
    EXPECT_TRUE(verdict("").allowed);
    EXPECT_TRUE(verdict("Origin: http://127.0.0.1:47800\r\n").allowed);
    EXPECT_TRUE(verdict("Origin: http://LOCALHOST:47800\r\n").allowed);
    const AccessVerdict listed = verdict("Origin: https://counter.example.org:443\r\n");
    EXPECT_TRUE(listed.allowed);
    EXPECT_EQ(listed.origin, QStringLiteral("https://counter.example.org"));
    EXPECT_TRUE(verdict("Origin: http://localhost:8080\r\n").allowed);
    for (const QByteArray& origin :
         {QByteArray("null"), QByteArray("http://counter.example.org"),
          QByteArray("https://counter.example.org.evil.example"), QByteArray("http://127.0.0.1:47801"),
          QByteArray("http://localhost:8081"), QByteArray("file://"), QByteArray("")}) {
        const AccessVerdict refused = verdict("Origin: " + origin + "\r\n");
        EXPECT_FALSE(refused.allowed) << origin.constData();
        EXPECT_FALSE(refused.reason.isEmpty());
    }
    // A foreign page's <img> or frame sends no Origin, but the browser says where it comes from.
    EXPECT_FALSE(verdict("Sec-Fetch-Site: cross-site\r\nReferer: https://evil.example/page\r\n").allowed);
    EXPECT_FALSE(verdict("Sec-Fetch-Site: cross-site\r\n").allowed);
    EXPECT_TRUE(
        verdict("Sec-Fetch-Site: cross-site\r\nReferer: https://counter.example.org/desk?a=1\r\n").allowed);
    EXPECT_TRUE(verdict("Sec-Fetch-Site: same-origin\r\n").allowed);
    // The Host rule holds whatever the Origin says.
    EXPECT_FALSE(
        policy
            .check(headOf(
                "GET / HTTP/1.1\r\nHost: evil.example:47800\r\nOrigin: http://127.0.0.1:47800\r\n\r\n"))
            .allowed);
}

TEST(AccessPolicyTest, OriginsAreNormalized) {
    EXPECT_EQ(normalizedOrigin(QStringLiteral("HTTP://Example.ORG:80/")),
              QStringLiteral("http://example.org"));
    EXPECT_EQ(normalizedOrigin(QStringLiteral("https://example.org:8443")),
              QStringLiteral("https://example.org:8443"));
    EXPECT_EQ(normalizedOrigin(QStringLiteral("http://[::1]:47800")), QStringLiteral("http://[::1]:47800"));
    for (const char* bad : {"example.org", "ftp://example.org", "http://user@example.org",
                            "http://example.org/path", "http://example.org/?q", "null", ""})
        EXPECT_TRUE(normalizedOrigin(QLatin1String(bad)).isEmpty()) << bad;
}

class PathGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(m_root.file(QStringLiteral("pics/sub"))));
        ASSERT_TRUE(QDir().mkpath(m_root.file(QStringLiteral("pics-evil"))));
        ASSERT_TRUE(test::writeAll(m_root.file(QStringLiteral("pics/a.jpg")), "x"));
        ASSERT_TRUE(test::writeAll(m_root.file(QStringLiteral("secret.txt")), "x"));
        ASSERT_TRUE(QFile::link(m_root.file(QStringLiteral("secret.txt")),
                                m_root.file(QStringLiteral("pics/link.jpg"))));
        ASSERT_TRUE(QFile::link(QStringLiteral("/etc"), m_root.file(QStringLiteral("pics/etc"))));
        ASSERT_TRUE(
            QFile::link(m_root.file(QStringLiteral("gone")), m_root.file(QStringLiteral("pics/dangling"))));
        ASSERT_TRUE(QFile::link(m_root.file(QStringLiteral("pics")), m_root.file(QStringLiteral("alias"))));
    }
    Folder m_root;
    QString pics() const { return m_root.file(QStringLiteral("pics/")); }
};

TEST_F(PathGuardTest, OnlyPathsThatStayInsideTheFoldersPass) {
    const PathGuard guard({pics()});
    for (const QString& path :
         {pics() + QStringLiteral("a.jpg"), pics() + QStringLiteral("new.jpg"),
          pics() + QStringLiteral("sub/new.jpg"), pics() + QStringLiteral("not/yet/there/x.jpg"),
          m_root.file(QStringLiteral("alias/a.jpg")), pics() + QStringLiteral("./a.jpg")})
        EXPECT_TRUE(guard.inside(path)) << path.toStdString();
    // The folder itself is no file inside it, with or without its '/', and nor is any folder name.
    for (const QString& path :
         {pics(), pics().chopped(1), pics() + QStringLiteral("sub/"), m_root.file(QStringLiteral("alias"))})
        EXPECT_FALSE(guard.inside(path)) << path.toStdString();
    // As a folder it passes, resolved and with its '/', so names joined to it stay inside.
    EXPECT_EQ(guard.resolvedFolder(pics().chopped(1)), QFileInfo(pics()).canonicalFilePath() + '/');
    EXPECT_EQ(guard.resolvedFolder(m_root.file(QStringLiteral("alias"))),
              QFileInfo(pics()).canonicalFilePath() + '/');
    EXPECT_EQ(guard.resolvedFolder(pics() + QStringLiteral("sub")),
              QFileInfo(pics()).canonicalFilePath() + QStringLiteral("/sub/"));
    EXPECT_TRUE(guard.resolvedFolder(m_root.file(QStringLiteral("pics-evil"))).isEmpty());
    EXPECT_TRUE(guard.resolvedFolder(m_root.path()).isEmpty());
    for (const QString& path :
         {QStringLiteral("/etc/passwd"), QString(), QStringLiteral("a.jpg"), QStringLiteral("pics/a.jpg"),
          pics() + QStringLiteral("../secret.txt"), pics() + QStringLiteral("sub/../../secret.txt"),
          pics() + QStringLiteral("link.jpg"), pics() + QStringLiteral("etc/passwd"),
          pics() + QStringLiteral("dangling"), m_root.file(QStringLiteral("pics-evil/a.jpg")),
          m_root.file(QStringLiteral("secret.txt")), pics() + QStringLiteral("a.jpg\\..\\..\\x")})
        EXPECT_FALSE(guard.inside(path)) << path.toStdString();
    // A folder of the list reached through a link still counts as itself.
    EXPECT_TRUE(PathGuard({m_root.file(QStringLiteral("alias/"))}).inside(pics() + QStringLiteral("a.jpg")));
}

TEST_F(PathGuardTest, RequestsThatHandPathsToTheControlAreChecked) {
    const PathGuard guard({pics()});
    QString picture = QStringLiteral("/etc/passwd");
    QString cardFolder;
    const auto property = [&](const char* name) {
        return QLatin1String(name) == QLatin1String("cPicName") ? picture : cardFolder;
    };
    const auto refused = [&](const char* op, const char* name, const QVariantList& args) {
        return !guard.refusal(QLatin1String(op), QLatin1String(name), args, property).isEmpty();
    };
    const QString inside = pics() + QStringLiteral("a.jpg");
    EXPECT_TRUE(refused("call", "GetBase64String", {QStringLiteral("/etc/passwd")}));
    EXPECT_FALSE(refused("call", "GetBase64String", {inside}));
    EXPECT_TRUE(refused("call", "DeleteImgByName", {m_root.file(QStringLiteral("secret.txt"))}));
    EXPECT_TRUE(refused("call", "VideoRecord", {QString()}));
    EXPECT_FALSE(refused("call", "VideoRecord", {pics()}));
    EXPECT_FALSE(refused("call", "IDCardRead", {QString()})); // text fields only, no files
    EXPECT_TRUE(refused("call", "IDCardRead", {QStringLiteral("/tmp/")}));
    EXPECT_TRUE(refused("put", "CustomSavePath", {QString()})); // would mean the temporary folder
    EXPECT_TRUE(refused("put", "CustomSavePath", {pics() + QStringLiteral("../")}));
    EXPECT_FALSE(refused("put", "CustomSavePath", {pics() + QStringLiteral("sub/")}));
    EXPECT_TRUE(refused("put", "strCardImgSavePath", {QStringLiteral("/root/")}));
    EXPECT_TRUE(refused("put", "cPicName", {QStringLiteral("/etc/shadow")}));
    EXPECT_TRUE(refused("put", "cPicName", {pics().chopped(1)}));
    EXPECT_TRUE(refused("call", "DeleteImgByName", {pics()}));
    // The control is handed what was checked: links resolved, folders with their '/'.
    const GuardVerdict alias = guard.check(QStringLiteral("call"), QStringLiteral("GetBase64String"),
                                           {m_root.file(QStringLiteral("alias/a.jpg"))}, property);
    EXPECT_EQ(alias.args.value(0).toString(), QFileInfo(inside).canonicalFilePath());
    const GuardVerdict card = guard.check(QStringLiteral("put"), QStringLiteral("strCardImgSavePath"),
                                          {pics().chopped(1)}, property);
    EXPECT_TRUE(card.refusal.isEmpty());
    EXPECT_EQ(card.args.value(0).toString(), QFileInfo(pics()).canonicalFilePath() + '/');
    EXPECT_FALSE(refused("put", "cPicName", {QString()}));
    for (const char* name : {"CustomImgName", "IDCardImgName", "IDHeadImgName", "ImgName", "idNum"}) {
        EXPECT_TRUE(refused("put", name, {QStringLiteral("../../etc/x")})) << name;
        EXPECT_TRUE(refused("put", name, {QStringLiteral("..")})) << name;
        EXPECT_FALSE(refused("put", name, {QStringLiteral("A001")})) << name;
    }
    // A page can neither turn off the uploads' certificate check nor name an authority to trust.
    EXPECT_TRUE(refused("put", "bTlsVerify", {false}));
    EXPECT_TRUE(refused("put", "strTlsCaFile", {pics() + QStringLiteral("ca.pem")}));
    EXPECT_FALSE(refused("get", "bTlsVerify", {}));
    // The uploads act on the last picture and the card folder as they are at the call.
    EXPECT_TRUE(refused("call", "SendSeal", {QStringLiteral("http://127.0.0.1:1/")}));
    EXPECT_TRUE(refused("call", "AddWaterMark", {}));
    picture = inside;
    EXPECT_FALSE(refused("call", "SendSeal", {QStringLiteral("http://127.0.0.1:1/")}));
    EXPECT_TRUE(refused("call", "HttpSendIDCard", {QStringLiteral("http://127.0.0.1:1/")}));
    cardFolder = pics().chopped(1);
    EXPECT_FALSE(refused("call", "HttpSendIDCHeadImg", {QStringLiteral("http://127.0.0.1:1/")}));
    // A card folder set without its '/' is set again with it before the upload joins names to it.
    const GuardVerdict send = guard.check(QStringLiteral("call"), QStringLiteral("HttpSendIDCard"),
                                          {QStringLiteral("http://127.0.0.1:1/")}, property);
    ASSERT_EQ(send.properties.size(), 1u);
    EXPECT_EQ(send.properties.front().second, QFileInfo(pics()).canonicalFilePath() + '/');
    // Everything else passes untouched.
    EXPECT_FALSE(refused("put", "WriteLog", {true}));
    EXPECT_FALSE(refused("get", "cPicName", {}));
    EXPECT_FALSE(refused("call", "Morvel", {QStringLiteral("jpg")}));
}

TEST(BridgeSettingsTest, AMissingFileIsWrittenWithTheDefaultsAndBadValuesStopTheStart) {
    Folder folder;
    const QString path = folder.file(QStringLiteral("sub/qxbridge.ini"));
    BridgeSettings settings;
    QString error;
    ASSERT_TRUE(loadSettings(path, settings, error)) << error.toStdString();
    EXPECT_EQ(settings.port, BridgeSettings::kDefaultPort);
    EXPECT_EQ(settings.captureFolders, QStringList{defaultCaptureFolder()});
    EXPECT_TRUE(settings.allowedOrigins.isEmpty());
    const QByteArray written = test::readAll(path);
    for (const char* key : {"Port=47800", "AllowedOrigins=", "CaptureFolders=", "MaxMessageBytes="})
        EXPECT_TRUE(written.contains(key)) << key;

    const QString section = QStringLiteral("Bridge");
    ASSERT_TRUE(platform::writeProfileString(path, section, QStringLiteral("Port"), QStringLiteral("9000")));
    ASSERT_TRUE(platform::writeProfileString(path, section, QStringLiteral("AllowedOrigins"),
                                             QStringLiteral(" https://a.example ; http://localhost:8080 ")));
    ASSERT_TRUE(platform::writeProfileString(path, section, QStringLiteral("CaptureFolders"),
                                             QStringLiteral("/srv/pics;/home/x/Pictures/Scans/")));
    ASSERT_TRUE(loadSettings(path, settings, error)) << error.toStdString();
    EXPECT_EQ(settings.port, 9000);
    EXPECT_EQ(settings.allowedOrigins,
              (QStringList{QStringLiteral("https://a.example"), QStringLiteral("http://localhost:8080")}));
    EXPECT_EQ(settings.captureFolders,
              (QStringList{QStringLiteral("/srv/pics/"), QStringLiteral("/home/x/Pictures/Scans/")}));

    for (const auto& [key, value] : {std::pair{"Port", "0"},
                                     {"Port", "http"},
                                     {"Port", "70000"},
                                     {"AllowedOrigins", "*"},
                                     {"CaptureFolders", "relative/pics"},
                                     {"MaxMessageBytes", "10"},
                                     {"MaxAnswerBytes", "1000"}}) {
        Folder other;
        const QString file = other.file(QStringLiteral("qxbridge.ini"));
        ASSERT_TRUE(platform::writeProfileString(file, section, QLatin1String(key), QLatin1String(value)));
        EXPECT_FALSE(loadSettings(file, settings, error)) << key << "=" << value;
        EXPECT_TRUE(error.contains(QLatin1String(key))) << error.toStdString();
    }
}

TEST(BridgeSettingsTest, LongValuesAreReadWholeAndTooLongOnesStopTheStart) {
    Folder folder;
    const QString path = folder.file(QStringLiteral("qxbridge.ini"));
    const QString section = QStringLiteral("Bridge");
    // Past 4,095 characters the last origin and folder must come through whole: a cut one would let
    // in an origin or a folder nobody listed.
    QStringList origins;
    for (int i = 0; origins.join(QLatin1Char(';')).size() < 5000; ++i)
        origins << QStringLiteral("https://desk%1.example.org").arg(i);
    origins << QStringLiteral("https://scans.example.com.cn");
    QStringList folders;
    for (int i = 0; folders.join(QLatin1Char(';')).size() < 5000; ++i)
        folders << QStringLiteral("/srv/desk%1/").arg(i);
    folders << QStringLiteral("/srv/scans-archive/");
    ASSERT_TRUE(platform::writeProfileString(path, section, QStringLiteral("AllowedOrigins"),
                                             origins.join(QLatin1Char(';'))));
    ASSERT_TRUE(platform::writeProfileString(path, section, QStringLiteral("CaptureFolders"),
                                             folders.join(QLatin1Char(';'))));
    BridgeSettings settings;
    QString error;
    ASSERT_TRUE(loadSettings(path, settings, error)) << error.toStdString();
    EXPECT_EQ(settings.allowedOrigins.last(), QStringLiteral("https://scans.example.com.cn"));
    EXPECT_FALSE(settings.allowedOrigins.contains(QStringLiteral("https://scans.example.com")));
    EXPECT_EQ(settings.captureFolders.last(), QStringLiteral("/srv/scans-archive/"));

    ASSERT_TRUE(platform::writeProfileString(path, section, QStringLiteral("AllowedOrigins"),
                                             QString(kMaxSettingChars + 1, QLatin1Char('a'))));
    EXPECT_FALSE(loadSettings(path, settings, error));
    EXPECT_TRUE(error.contains(QStringLiteral("AllowedOrigins is over"))) << error.toStdString();
}

TEST(RequestHeadTest, TheQueryIsReadInTheBrowsersFormEncoding) {
    const RequestHead head = headOf("GET /picture.jpg?path=%2Fpics%2Fsub+dir%2Fpic+one.jpg&plus=a%2Bb&"
                                    "nul=a%00b HTTP/1.1\r\nHost: 127.0.0.1:1\r\n\r\n");
    EXPECT_EQ(head.query(QStringLiteral("path")), QStringLiteral("/pics/sub dir/pic one.jpg"));
    EXPECT_EQ(head.query(QStringLiteral("plus")), QStringLiteral("a+b"));
    EXPECT_EQ(head.query(QStringLiteral("nul")), QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
    EXPECT_EQ(head.query(QStringLiteral("none")), QString());
}

TEST(BridgeLogTest, ControlCharactersInValuesAreEscaped) {
    EXPECT_EQ(escapedForLog(QStringLiteral("a\nb\rc\td")), QStringLiteral("a\\nb\\rc\\td"));
    EXPECT_EQ(escapedForLog(QStringLiteral("\x1b[2J") + QChar(0x2028) + QChar(0x202E) + QChar(0x85)),
              QStringLiteral("\\u{001b}[2J\\u{2028}\\u{202e}\\u{0085}"));
    EXPECT_EQ(escapedForLog(QStringLiteral("C:\\x 王小明")), QStringLiteral("C:\\\\x 王小明"));
}

TEST(WebSocketFrameTest, ClientFramesAreReadOnlyWhenMaskedAndWellFormed) {
    using namespace ws;
    const auto masked = [](quint8 first, const QByteArray& payload) {
        QByteArray frame;
        frame.append(static_cast<char>(first));
        frame.append(static_cast<char>(0x80 | payload.size()));
        frame.append("\x01\x02\x03\x04", 4);
        for (qsizetype i = 0; i < payload.size(); ++i)
            frame.append(static_cast<char>(payload[i] ^ (i % 4 + 1)));
        return frame;
    };
    Frame frame;
    const QByteArray hello = masked(0x81, "hello");
    ASSERT_EQ(readClientFrame(hello, 1024, frame), FrameStatus::Complete);
    EXPECT_EQ(frame.payload, "hello");
    EXPECT_TRUE(frame.fin);
    EXPECT_EQ(frame.length, hello.size());
    EXPECT_EQ(readClientFrame(hello.left(7), 1024, frame), FrameStatus::Incomplete);
    EXPECT_EQ(readClientFrame(QByteArray("\x81\x05hello", 7), 1024, frame), FrameStatus::Unmasked);
    EXPECT_EQ(readClientFrame(masked(0xC1, "x"), 1024, frame), FrameStatus::Malformed); // reserved bit
    EXPECT_EQ(readClientFrame(masked(0x83, "x"), 1024, frame), FrameStatus::Malformed); // no such opcode
    EXPECT_EQ(readClientFrame(masked(0x09, "x"), 1024, frame), FrameStatus::Malformed); // fragmented ping
    // A length over the limit is refused from the header, before any payload arrived.
    EXPECT_EQ(readClientFrame(QByteArray("\x81\xff\x00\x00\x00\x01\x00\x00\x00\x00", 10), 1024, frame),
              FrameStatus::TooLarge);
    EXPECT_EQ(serverFrame(Text, "hi"), QByteArray("\x81\x02hi", 4));
    EXPECT_EQ(serverFrame(Text, QByteArray(300, 'a')).left(4), QByteArray("\x81\x7e\x01\x2c", 4));
    EXPECT_EQ(closeFrame(ProtocolError, "x"), QByteArray("\x88\x03\x03\xeax", 5));
    // RFC 6455's own example of the handshake.
    EXPECT_EQ(acceptKey("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
    EXPECT_TRUE(acceptKey("short").isEmpty());
}

TEST(PeerCredentialsTest, TheOwnerOfALoopbackClientIsFoundBothWays) {
    for (const QHostAddress& address :
         {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)}) {
        QTcpServer server;
        if (!server.listen(address, 0))
            continue; // no IPv6 loopback here
        QTcpSocket client;
        client.connectToHost(address, server.serverPort());
        ASSERT_TRUE(client.waitForConnected(5000));
        ASSERT_TRUE(server.waitForNewConnection(5000));
        QTcpSocket* accepted = server.nextPendingConnection();
        const LoopbackPair pair{accepted->localAddress(), accepted->localPort(), accepted->peerAddress(),
                                accepted->peerPort()};
        bool netlink = false;
        const auto byNetlink = peerUidByNetlink(pair, netlink);
        if (netlink) {
            EXPECT_EQ(byNetlink, std::optional<uid_t>(::getuid())) << address.toString().toStdString();
        }
        EXPECT_EQ(peerUidByProc(pair), std::optional<uid_t>(::getuid())) << address.toString().toStdString();
        EXPECT_EQ(peerUid(pair), std::optional<uid_t>(::getuid()));
        // A pair no socket has.
        const LoopbackPair none{pair.local, pair.localPort, pair.peer,
                                static_cast<quint16>(pair.peerPort ^ 1)};
        EXPECT_FALSE(peerUid(none).has_value());
    }
}

} // namespace
} // namespace qx::bridge
