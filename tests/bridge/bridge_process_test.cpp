// qxbridge as a page's client meets it: the protocol, the access rules, the paths, load and preview.
#include "bridge_fixture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace qx::test {
namespace {

int errorCode(const QJsonObject& answer) {
    return answer.value(QStringLiteral("error")).toObject().value(QStringLiteral("code")).toInt();
}

// Selects the first camera and starts its preview.
void startPreview(BridgeClient& client) {
    ASSERT_GE(client.result(QStringLiteral("call"), QStringLiteral("RefreshDevList")).toInt(), 1);
    client.result(QStringLiteral("call"), QStringLiteral("SetDevNameSel"), {0});
    client.result(QStringLiteral("call"), QStringLiteral("RefreshResolution"), {0});
    client.result(QStringLiteral("call"), QStringLiteral("SetResolution"), {0});
    ASSERT_EQ(client.result(QStringLiteral("call"), QStringLiteral("StartPreviewProc")).toInt(), 0);
}

TEST(BridgeProcessTest, AnswersByAutomationNameWithResultsAndErrors) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.started()) << bridge.log().toStdString();
    BridgeClient client;
    ASSERT_TRUE(client.open(bridge.port()));

    EXPECT_EQ(client.result(QStringLiteral("call"), QStringLiteral("RefreshDevList")).toInt(), 2);
    EXPECT_EQ(client.result(QStringLiteral("call"), QStringLiteral("GetDevNameByIdx"), {1}).toString(),
              QStringLiteral("辅摄像头"));
    // The bridge's captures go to its capture folder from the start.
    EXPECT_EQ(client.result(QStringLiteral("get"), QStringLiteral("CustomSavePath")).toString(),
              bridge.pictures());
    const QJsonObject put = client.request(QStringLiteral("put"), QStringLiteral("asfBitRate"), {2500});
    EXPECT_TRUE(put.contains(QStringLiteral("result"))) << QJsonDocument(put).toJson().constData();
    EXPECT_EQ(client.result(QStringLiteral("get"), QStringLiteral("asfBitRate")).toInt(), 2500);
    EXPECT_EQ(client.result(QStringLiteral("get"), QStringLiteral("WriteLog")), QJsonValue(true));

    EXPECT_EQ(errorCode(client.request(QStringLiteral("get"), QStringLiteral("NoSuchThing"))), 2);
    EXPECT_EQ(errorCode(client.request(QStringLiteral("get"), QStringLiteral("Morvel"))), 3);
    EXPECT_EQ(errorCode(client.request(QStringLiteral("call"), QStringLiteral("cPicName"))), 3);
    EXPECT_EQ(errorCode(client.request(QStringLiteral("call"), QStringLiteral("Morvel"))), 4);
    EXPECT_EQ(errorCode(client.request(QStringLiteral("call"), QStringLiteral("Morvel"), {7})), 4);
    EXPECT_EQ(errorCode(client.request(QStringLiteral("call"), QStringLiteral("SetDevNameSel"), {70000})), 4);
    EXPECT_EQ(errorCode(client.request(QStringLiteral("call"), QStringLiteral("SetDevNameSel"), {0.5})), 4);
    EXPECT_EQ(errorCode(client.request(QStringLiteral("delete"), QStringLiteral("cPicName"))), 1);
    client.sendText(QStringLiteral("{not json"));
    client.sendText(QStringLiteral("[1, 2]"));
    const int after = client.send(QStringLiteral("get"), QStringLiteral("pDPI"));
    ASSERT_FALSE(client.answer(after).isEmpty());
    // Broken requests are answered too, in their place, and the connection stays.
    int broken = 0;
    for (const QJsonObject& a : client.answers())
        broken += errorCode(a) == 1 && a.value(QStringLiteral("id")).isNull();
    EXPECT_EQ(broken, 2);
    EXPECT_TRUE(client.isOpen());
}

TEST(BridgeProcessTest, ForeignPagesAndForgedHostsAreRefusedAndLogged) {
    BridgeOptions options;
    options.allowedOrigins = {QStringLiteral("http://localhost:8123")};
    BridgeProcess bridge(options);
    ASSERT_TRUE(bridge.started()) << bridge.log().toStdString();

    BridgeClient foreign(QStringLiteral("http://evil.example"));
    EXPECT_FALSE(foreign.open(bridge.port()));
    BridgeClient listed(QStringLiteral("http://localhost:8123"));
    EXPECT_TRUE(listed.open(bridge.port()));
    BridgeClient own(QStringLiteral("http://127.0.0.1:%1").arg(bridge.port()));
    EXPECT_TRUE(own.open(bridge.port()));

    const QByteArray upgrade = "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                               "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";
    EXPECT_EQ(httpGet(bridge.port(), "/ws", upgrade + "Origin: http://evil.example\r\n").status, 403);
    // DNS rebinding: a foreign name that resolves to 127.0.0.1 shows in Host.
    EXPECT_EQ(
        httpGet(bridge.port(), "/ws", upgrade, "rebind.evil.example:" + QByteArray::number(bridge.port()))
            .status,
        403);
    EXPECT_EQ(httpGet(bridge.port(), "/ws", upgrade, {}, 0).status, 101);
    EXPECT_EQ(httpGet(bridge.port(), "/", {}, "evil.example").status, 403);
    const HttpReply preview = httpGet(bridge.port(), "/snapshot.jpg", "Origin: http://evil.example\r\n");
    EXPECT_EQ(preview.status, 403);
    EXPECT_TRUE(preview.header("Access-Control-Allow-Origin").isEmpty());
    EXPECT_EQ(httpGet(bridge.port(), "/qxcamera.js",
                      "Sec-Fetch-Site: cross-site\r\nReferer: http://evil.example/\r\n")
                  .status,
              403);
    const HttpReply script = httpGet(bridge.port(), "/qxcamera.js", "Origin: http://localhost:8123\r\n");
    EXPECT_EQ(script.status, 200);
    EXPECT_EQ(script.header("Access-Control-Allow-Origin"), "http://localhost:8123");
    EXPECT_TRUE(script.body.contains("export function connect"));
    EXPECT_EQ(httpGet(bridge.port(), "/").status, 200);
    EXPECT_EQ(httpGet(bridge.port(), "/nothing").status, 404);
    // A browser's preflight before a page of the internet reaches loopback: only for a listed origin.
    const QByteArray preflight =
        "Access-Control-Request-Method: GET\r\nAccess-Control-Request-Private-Network: true\r\n";
    const HttpReply allowed =
        httpGet(bridge.port(), "/snapshot.jpg", preflight + "Origin: http://localhost:8123\r\n", {}, -1,
                15000, "OPTIONS");
    EXPECT_EQ(allowed.status, 204);
    EXPECT_EQ(allowed.header("Access-Control-Allow-Private-Network"), "true");
    EXPECT_EQ(allowed.header("Access-Control-Allow-Origin"), "http://localhost:8123");
    EXPECT_EQ(httpGet(bridge.port(), "/snapshot.jpg", preflight + "Origin: http://evil.example\r\n", {}, -1,
                      15000, "OPTIONS")
                  .status,
              403);
    EXPECT_EQ(httpGet(bridge.port(), "/", {}, {}, -1, 15000, "POST").status, 405);

    const QString log = bridge.log();
    EXPECT_TRUE(log.contains(QStringLiteral("refused GET /ws from 127.0.0.1"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Origin \"http://evil.example\" is not allowed")));
    EXPECT_TRUE(log.contains(QStringLiteral("Host \"rebind.evil.example:")));
    EXPECT_TRUE(log.contains(QStringLiteral("a cross-site request from \"http://evil.example\"")));
}

TEST(BridgeProcessTest, PathsOutsideTheCaptureFoldersAreRefusedWithNothingReadOrWritten) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.started()) << bridge.log().toStdString();
    BridgeClient client;
    ASSERT_TRUE(client.open(bridge.port()));
    Folder outside;
    const QString victim = outside.file(QStringLiteral("keep.jpg"));
    ASSERT_TRUE(writeAll(victim, "precious"));
    ASSERT_TRUE(QFile::link(victim, bridge.pictures() + QStringLiteral("link.jpg")));

    EXPECT_EQ(errorCode(client.request(QStringLiteral("call"), QStringLiteral("GetBase64String"),
                                       {QStringLiteral("/etc/passwd")})),
              5);
    EXPECT_EQ(errorCode(client.request(QStringLiteral("call"), QStringLiteral("GetBase64String"),
                                       {bridge.pictures() + QStringLiteral("link.jpg")})),
              5);
    EXPECT_EQ(client.result(QStringLiteral("get"), QStringLiteral("Img2Base64")).toString(), QString());
    EXPECT_EQ(errorCode(client.request(QStringLiteral("call"), QStringLiteral("DeleteImgByName"), {victim})),
              5);
    EXPECT_EQ(errorCode(client.request(QStringLiteral("call"), QStringLiteral("DeleteImgByName"),
                                       {bridge.pictures() + QStringLiteral("../") +
                                        QFileInfo(outside.path().chopped(1)).fileName()})),
              5);
    EXPECT_EQ(readAll(victim), QByteArray("precious"));

    EXPECT_EQ(
        errorCode(client.request(QStringLiteral("put"), QStringLiteral("CustomSavePath"), {outside.path()})),
        5);
    EXPECT_EQ(client.result(QStringLiteral("get"), QStringLiteral("CustomSavePath")).toString(),
              bridge.pictures());
    EXPECT_EQ(errorCode(client.request(QStringLiteral("put"), QStringLiteral("CustomImgName"),
                                       {QStringLiteral("../x")})),
              5);
    EXPECT_EQ(
        errorCode(client.request(QStringLiteral("call"), QStringLiteral("VideoRecord"), {outside.path()})),
        5);
    EXPECT_EQ(
        errorCode(client.request(QStringLiteral("call"), QStringLiteral("IDCardRead"), {outside.path()})), 5);
    EXPECT_EQ(httpGet(bridge.port(), "/picture.jpg?path=/etc/passwd").status, 403);
    EXPECT_TRUE(QDir(outside.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries) ==
                QStringList{QStringLiteral("keep.jpg")});

    // Inside, the same calls work.
    ASSERT_TRUE(writeAll(bridge.pictures() + QStringLiteral("mine.jpg"), "abc"));
    EXPECT_EQ(client.result(QStringLiteral("call"), QStringLiteral("GetBase64String"),
                            {bridge.pictures() + QStringLiteral("mine.jpg")}),
              QJsonValue(true));
    EXPECT_EQ(client.result(QStringLiteral("get"), QStringLiteral("Img2Base64")).toString(),
              QStringLiteral("YWJj"));
    EXPECT_EQ(client
                  .result(QStringLiteral("call"), QStringLiteral("DeleteImgByName"),
                          {bridge.pictures() + QStringLiteral("mine.jpg")})
                  .toInt(),
              0);
    EXPECT_FALSE(QFile::exists(bridge.pictures() + QStringLiteral("mine.jpg")));
    EXPECT_TRUE(
        bridge.log().contains(QStringLiteral("refused call GetBase64String: the picture \"/etc/passwd\"")));
}

TEST(BridgeProcessTest, CapturesInEveryFormatAreShownAsPictures) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.started()) << bridge.log().toStdString();
    BridgeClient client;
    ASSERT_TRUE(client.open(bridge.port()));
    startPreview(client);
    for (const char* format : {"jpg", "bmp", "tif", "gif", "pdf"}) {
        ASSERT_EQ(
            client.result(QStringLiteral("call"), QStringLiteral("Morvel"), {QLatin1String(format)}).toInt(),
            0)
            << format;
        const QString file = client.result(QStringLiteral("get"), QStringLiteral("cPicName")).toString();
        EXPECT_TRUE(file.startsWith(bridge.pictures()) && file.endsWith(QLatin1String(format)))
            << file.toStdString();
        const HttpReply shown =
            httpGet(bridge.port(), "/picture.jpg?width=320&path=" + QUrl::toPercentEncoding(file));
        ASSERT_EQ(shown.status, 200) << format << shown.body.constData();
        const QImage picture = QImage::fromData(shown.body, "JPEG");
        EXPECT_EQ(picture.width(), 320) << format;
        EXPECT_EQ(picture.height(), 240) << format;
    }
}

TEST(BridgeProcessTest, ThePreviewStreamsScaledFramesAndASnapshot) {
    BridgeOptions options;
    options.cameras = QStringLiteral("7e41:1920x1080,7e43:640x480");
    BridgeProcess bridge(options);
    ASSERT_TRUE(bridge.started()) << bridge.log().toStdString();
    BridgeClient client;
    ASSERT_TRUE(client.open(bridge.port()));
    startPreview(client);

    const HttpReply stream = httpGet(bridge.port(), "/preview.mjpg?width=640", {}, {}, 400000);
    EXPECT_EQ(stream.status, 200);
    EXPECT_TRUE(stream.header("Content-Type").startsWith("multipart/x-mixed-replace; boundary=qxframe"));
    const QList<QByteArray> parts = mjpegParts(stream.body);
    ASSERT_GE(parts.size(), 2);
    const QImage first = QImage::fromData(parts.first(), "JPEG");
    EXPECT_EQ(first.size(), QSize(640, 360));
    EXPECT_NE(parts.first(), parts.last()); // the scene drifts and has sensor noise

    const HttpReply snapshot = httpGet(bridge.port(), "/snapshot.jpg");
    ASSERT_EQ(snapshot.status, 200);
    EXPECT_EQ(QImage::fromData(snapshot.body, "JPEG").size(), QSize(1920, 1080));

    // Stopped while a page is connected and a stream is open, it still ends cleanly.
    QTcpSocket watching;
    watching.connectToHost(QHostAddress::LocalHost, bridge.port());
    ASSERT_TRUE(watching.waitForConnected(5000));
    watching.write("GET /preview.mjpg HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(bridge.port()) +
                   "\r\n\r\n");
    ASSERT_TRUE(watching.waitForReadyRead(5000));
    EXPECT_EQ(bridge.stop(), 0) << bridge.log().toStdString();
}

TEST(BridgeProcessTest, AnOversizedMessageClosesOnlyThatConnection) {
    BridgeOptions options;
    options.maxMessageBytes = 65536;
    BridgeProcess bridge(options);
    ASSERT_TRUE(bridge.started()) << bridge.log().toStdString();
    BridgeClient big;
    BridgeClient other;
    ASSERT_TRUE(big.open(bridge.port()));
    ASSERT_TRUE(other.open(bridge.port()));
    big.sendText(QStringLiteral("{\"id\":1,\"op\":\"put\",\"name\":\"CustomImgName\",\"args\":[\"%1\"]}")
                     .arg(QString(200000, QLatin1Char('a'))));
    EXPECT_TRUE(waitUntil([&] { return !big.isOpen(); }, 10000));
    EXPECT_EQ(big.socket().closeCode(), QWebSocketProtocol::CloseCodeTooMuchData);
    EXPECT_EQ(other.result(QStringLiteral("get"), QStringLiteral("CustomImgName")).toString(), QString());
    BridgeClient binary;
    ASSERT_TRUE(binary.open(bridge.port()));
    binary.socket().sendBinaryMessage("{}");
    EXPECT_TRUE(waitUntil([&] { return !binary.isOpen(); }, 10000));
    EXPECT_EQ(binary.socket().closeCode(), QWebSocketProtocol::CloseCodeDatatypeNotSupported);
    BridgeClient next;
    ASSERT_TRUE(next.open(bridge.port()));
    EXPECT_TRUE(next.result(QStringLiteral("get"), QStringLiteral("pDPI")).isDouble());
    EXPECT_TRUE(bridge.log().contains(QStringLiteral("a message over 65536 bytes")))
        << bridge.log().toStdString();
}

TEST(BridgeProcessTest, ABurstOfAThousandCallsIsAnsweredInOrderWithNoneLost) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.started()) << bridge.log().toStdString();
    BridgeClient client;
    ASSERT_TRUE(client.open(bridge.port()));
    for (int i = 0; i < 500; ++i) {
        client.send(QStringLiteral("put"), QStringLiteral("CustomImgName"), {QStringLiteral("n%1").arg(i)});
        client.send(QStringLiteral("get"), QStringLiteral("CustomImgName"));
    }
    ASSERT_TRUE(waitUntil([&] { return client.answers().size() >= 1000; }, 60000)) << client.answers().size();
    ASSERT_EQ(client.answers().size(), 1000);
    for (int i = 0; i < 1000; ++i) {
        const QJsonObject& a = client.answers()[i];
        ASSERT_EQ(a.value(QStringLiteral("id")).toInt(), i + 1);
        if (i % 2 == 1) {
            ASSERT_EQ(a.value(QStringLiteral("result")).toString(), QStringLiteral("n%1").arg(i / 2));
        }
    }
}

TEST(BridgeProcessTest, TenClientsAtOnceAreAllAnsweredWhileOneCaptures) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.started()) << bridge.log().toStdString();
    std::vector<std::unique_ptr<BridgeClient>> clients;
    for (int i = 0; i < 10; ++i) {
        clients.push_back(std::make_unique<BridgeClient>());
        ASSERT_TRUE(clients.back()->open(bridge.port())) << i;
    }
    startPreview(*clients[0]);
    const int before = clients[0]->answers().size();
    for (int round = 0; round < 5; ++round) {
        clients[0]->send(QStringLiteral("call"), QStringLiteral("Morvel"), {QStringLiteral("jpg")});
        for (int c = 1; c < 10; ++c)
            for (int k = 0; k < 20; ++k)
                clients[c]->send(QStringLiteral("get"),
                                 k % 2 ? QStringLiteral("pDPI") : QStringLiteral("idName"));
    }
    ASSERT_TRUE(waitUntil(
        [&] {
            if (clients[0]->answers().size() < before + 5)
                return false;
            for (int c = 1; c < 10; ++c)
                if (clients[c]->answers().size() < 100)
                    return false;
            return true;
        },
        90000));
    for (int k = before; k < before + 5; ++k)
        EXPECT_EQ(clients[0]->answers()[k].value(QStringLiteral("result")).toInt(), 0);
    for (int c = 1; c < 10; ++c)
        for (const QJsonObject& a : clients[c]->answers())
            EXPECT_TRUE(a.contains(QStringLiteral("result")));
    EXPECT_EQ(QDir(bridge.pictures()).entryList({QStringLiteral("*.jpg")}).size(), 5);
}

TEST(BridgeProcessTest, ALongCallHoldsNeitherHandshakesNorThePreview) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.started()) << bridge.log().toStdString();
    BridgeClient uploader;
    ASSERT_TRUE(uploader.open(bridge.port()));
    startPreview(uploader);
    ASSERT_EQ(
        uploader.result(QStringLiteral("call"), QStringLiteral("Morvel"), {QStringLiteral("jpg")}).toInt(),
        0);
    SlowServer slow;
    const int upload = uploader.send(QStringLiteral("call"), QStringLiteral("SendSeal"),
                                     {QStringLiteral("http://127.0.0.1:%1/up").arg(slow.port())});
    ASSERT_TRUE(waitUntil([&] { return slow.connected(); }, 15000));

    // While the upload waits on its server, another page connects and the live picture flows.
    BridgeClient late;
    EXPECT_TRUE(late.open(bridge.port(), 5000));
    const int queued = late.send(QStringLiteral("get"), QStringLiteral("pDPI"));
    EXPECT_EQ(httpGet(bridge.port(), "/snapshot.jpg", {}, {}, -1, 5000).status, 200);
    const HttpReply stream = httpGet(bridge.port(), "/preview.mjpg?width=160", {}, {}, 20000, 5000);
    EXPECT_GE(mjpegParts(stream.body).size(), 2);
    EXPECT_TRUE(uploader.answers().size() < upload) << "the upload ended before its server answered";

    slow.answer();
    const QJsonObject done = uploader.answer(upload, 60000);
    EXPECT_EQ(done.value(QStringLiteral("result")).toInt(), 1) << QJsonDocument(done).toJson().constData();
    EXPECT_EQ(uploader.result(QStringLiteral("get"), QStringLiteral("HttpResponse")).toString(),
              QStringLiteral("ok"));
    EXPECT_TRUE(late.answer(queued).value(QStringLiteral("result")).isDouble());
}

TEST(BridgeProcessTest, AClientThatStopsReadingThePreviewDoesNotGrowTheBridge) {
    BridgeOptions options;
    options.cameras = QStringLiteral("7e41:1920x1080,7e43:640x480");
    BridgeProcess bridge(options);
    ASSERT_TRUE(bridge.started()) << bridge.log().toStdString();
    BridgeClient client;
    ASSERT_TRUE(client.open(bridge.port()));
    startPreview(client);

    // The stuck client reads nothing after its request; a small read buffer keeps Qt from draining
    // the kernel's buffer for it.
    QTcpSocket stuck;
    stuck.setReadBufferSize(1);
    stuck.connectToHost(QHostAddress::LocalHost, bridge.port());
    ASSERT_TRUE(stuck.waitForConnected(5000));
    stuck.write("GET /preview.mjpg HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(bridge.port()) +
                "\r\n\r\n");
    stuck.flush();
    waitUntil([] { return false; }, 2000);
    const qint64 settled = bridge.residentKiB();

    // A reader that keeps up still gets frames meanwhile.
    const HttpReply live = httpGet(bridge.port(), "/preview.mjpg", {}, {}, 12 * 1024 * 1024, 8000);
    const qsizetype frames = mjpegParts(live.body).size();
    waitUntil([] { return false; }, 2000);
    const qint64 later = bridge.residentKiB();
    std::printf(
        "bridge memory with a stuck 1920x1080 reader: %lld KiB, %lld KiB after the live reader (%lld frames "
        "to it meanwhile)\n",
        static_cast<long long>(settled), static_cast<long long>(later), static_cast<long long>(frames));
    ASSERT_GT(settled, 0);
    EXPECT_GE(frames, 5);
    // Two frames of raw 1920x1080 are 12 MB: anything queueing per frame would pass that quickly.
    EXPECT_LT(later - settled, 12 * 1024) << settled << " -> " << later;
}

TEST(BridgeProcessTest, AnIdentityCardIsReadIntoTheCaptureFolder) {
    BridgeOptions options;
    options.reader = QStringLiteral(QX_TEST_DATA_DIR "/cards/card1.json");
    BridgeProcess bridge(options);
    ASSERT_TRUE(bridge.started()) << bridge.log().toStdString();
    BridgeClient client;
    ASSERT_TRUE(client.open(bridge.port()));
    const QJsonObject read =
        client.request(QStringLiteral("call"), QStringLiteral("IDCardRead"), {bridge.pictures()});
    ASSERT_EQ(read.value(QStringLiteral("result")), QJsonValue(true)) << bridge.log().toStdString();
    EXPECT_EQ(client.result(QStringLiteral("get"), QStringLiteral("idName")).toString(),
              QStringLiteral("王小明"));
    EXPECT_EQ(client.result(QStringLiteral("get"), QStringLiteral("idNum")).toString(),
              QStringLiteral("110101199003070011"));
    const QByteArray photo = QByteArray::fromBase64(
        client.result(QStringLiteral("get"), QStringLiteral("strIDHeadData")).toString().toLatin1());
    EXPECT_TRUE(photo.startsWith("BM"));
    EXPECT_FALSE(QDir(bridge.pictures()).entryList({QStringLiteral("*.bmp")}).isEmpty());
}

} // namespace
} // namespace qx::test
