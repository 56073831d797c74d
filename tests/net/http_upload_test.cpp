// The multipart upload against a receiver that records every byte, tinyproxy and a TLS server.
#include "local_servers.h"
#include "qx/net/http_upload.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace qx::test {
namespace {

using Failure = net::HttpUploadResult::Failure;

const QByteArray kBoundary = "-----------------------------7d86d16250370";

QByteArray expectedBody(const QByteArray& name, const QByteArray& type, const QByteArray& file) {
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"QX_Image\"; filename=\"" + name +
           "\"\r\nContent-Type: " + type + "\r\nContent-Transfer-Encoding: binary\r\n\r\n" + file + "\r\n--" +
           kBoundary + "\r\nContent-Disposition: form-data; name=\"submit\"\r\n\r\nsubmit\r\n--" + kBoundary +
           "--\r\n";
}

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char& c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

class HttpUpload : public ::testing::Test {
protected:
    net::HttpUploadRequest request(const QString& url, const QString& file) {
        net::HttpUploadRequest r;
        r.url = url.toStdString();
        r.filePath = file.toStdString();
        r.formFileName = "picture.jpg";
        r.contentType = "image/pjpeg";
        r.missingFileLog = "没指定上传图片，请拍照!";
        return r;
    }
    net::HttpUploadResult upload(const net::HttpUploadRequest& r) {
        m_log.clear();
        return net::uploadMultipart(
            r, [this](const std::string& line) { m_log << QString::fromStdString(line); });
    }
    QString writeFile(const QByteArray& bytes, const QString& name = QStringLiteral("picture.jpg")) {
        const QString path = m_files.file(name);
        EXPECT_TRUE(writeAll(path, bytes));
        return path;
    }

    NoProxyEnvironment m_noProxy;
    Folder m_files;
    QStringList m_log;
};

TEST_F(HttpUpload, BodyAndHeadersAreExactlyTheFormsBytes) {
    HttpReceiver receiver;
    ASSERT_TRUE(receiver.start(QStringLiteral("200")));
    const QByteArray file = randomBytes(300000);
    const auto result = upload(request(receiver.url(QStringLiteral("/in/up.php?id=3")), writeFile(file)));
    ASSERT_EQ(result.failure, Failure::None);
    EXPECT_EQ(result.status, 200);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.response, "received");

    const auto requests = receiver.requests();
    ASSERT_EQ(requests.size(), 1u);
    const RecordedRequest& r = requests[0];
    EXPECT_EQ(r.requestLine, "POST /in/up.php?id=3 HTTP/1.1");
    const QByteArray body = expectedBody("picture.jpg", "image/pjpeg", file);
    EXPECT_TRUE(r.body == body) << "body differs";
    EXPECT_EQ(r.values("Content-Type"), QList<QByteArray>{"multipart/form-data; boundary=" + kBoundary});
    EXPECT_EQ(r.values("Host"),
              QList<QByteArray>{QStringLiteral("127.0.0.1:%1").arg(receiver.port()).toUtf8()});
    EXPECT_EQ(r.values("Content-Length"), QList<QByteArray>{QByteArray::number(body.size())});
    EXPECT_TRUE(r.values("Expect").isEmpty());
    EXPECT_TRUE(r.values("Transfer-Encoding").isEmpty());
    EXPECT_TRUE(r.values("User-Agent").isEmpty());

    // A parser that is not ours reads the file back unchanged.
    const auto form = parseWithEmailPackage(r);
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->file == file);
    EXPECT_EQ(form->fileName, QStringLiteral("picture.jpg"));
    EXPECT_EQ(form->submit, QStringLiteral("submit"));

    EXPECT_EQ(m_log, (QStringList{
                         QStringLiteral("解析URL为127.0.0.1 : %1 : /in/up.php?id=3 :3").arg(receiver.port()),
                         QStringLiteral("发送请求成功!"), QStringLiteral("服务器返回:received"),
                         QStringLiteral("上传图片成功!")}));
}

TEST_F(HttpUpload, AnswersOtherThan200AreFailuresThatKeepTheirBody) {
    for (const char* mode : {"302", "500"}) {
        HttpReceiver receiver;
        ASSERT_TRUE(receiver.start(QString::fromLatin1(mode)));
        const auto result = upload(request(receiver.url(), writeFile("jpeg bytes")));
        EXPECT_EQ(result.failure, Failure::None) << mode;
        EXPECT_EQ(result.status, QByteArray(mode).toInt());
        EXPECT_FALSE(result.ok());
        // A redirect is not followed: one request, and the body of the 302 is the answer.
        EXPECT_EQ(receiver.requests().size(), 1u);
        EXPECT_EQ(result.response, std::string(mode) == "302" ? "moved elsewhere" : "server error");
        EXPECT_EQ(m_log.last(), QStringLiteral("上传图片失败，服务器返回状态码%1!").arg(mode));
        EXPECT_FALSE(m_log.contains(QStringLiteral("上传图片成功!")));
    }
}

TEST_F(HttpUpload, ABrokenOrSilentServerIsATransportErrorNotAHang) {
    HttpReceiver reset;
    ASSERT_TRUE(reset.start(QStringLiteral("reset")));
    auto result = upload(request(reset.url(), writeFile(randomBytes(8 << 20))));
    EXPECT_EQ(result.failure, Failure::Internet);
    EXPECT_EQ(result.errorBox.rfind("InternetException occur!\r\n", 0), 0u) << result.errorBox;
    EXPECT_GT(result.errorBox.size(), std::string("InternetException occur!\r\n").size());
    EXPECT_EQ(result.errorLog, "网络出错!");

    HttpReceiver silent;
    ASSERT_TRUE(silent.start(QStringLiteral("silent")));
    auto r = request(silent.url(), writeFile("small"));
    r.receiveIdle = net::Seconds(1);
    result = upload(r);
    EXPECT_EQ(result.failure, Failure::Internet);
    EXPECT_NE(result.errorBox.find("timed out"), std::string::npos) << result.errorBox;

    // Nobody listening.
    result = upload(request(QStringLiteral("http://127.0.0.1:%1/").arg(freePort()), writeFile("small")));
    EXPECT_EQ(result.failure, Failure::Internet);
}

TEST_F(HttpUpload, ACancelledTransferEndsPromptly) {
    HttpReceiver silent;
    ASSERT_TRUE(silent.start(QStringLiteral("silent")));
    net::CancelFlag cancel{false};
    auto r = request(silent.url(), writeFile("small"));
    r.cancel = &cancel;
    std::thread stopper([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel = true;
    });
    const auto result = upload(r);
    stopper.join();
    EXPECT_EQ(result.failure, Failure::Internet);
}

TEST_F(HttpUpload, FilesThatCannotBeSentStopBeforeAnyConnection) {
    HttpReceiver receiver;
    ASSERT_TRUE(receiver.start(QStringLiteral("200")));
    auto result = upload(request(receiver.url(), m_files.file(QStringLiteral("missing.jpg"))));
    EXPECT_EQ(result.failure, Failure::MissingFile);
    EXPECT_EQ(m_log.last(), QStringLiteral("没指定上传图片，请拍照!"));
    result = upload(request(receiver.url(), m_files.path()));
    EXPECT_EQ(result.failure, Failure::MissingFile);

    // A FIFO where the picture should be: refused at once, not waited on for a writer.
    const QString fifo = m_files.file(QStringLiteral("fifo.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    result = upload(request(receiver.url(), fifo));
    EXPECT_EQ(result.failure, Failure::MissingFile);

    result = upload(request(receiver.url(), writeFile("")));
    EXPECT_EQ(result.failure, Failure::EmptyFile);
    EXPECT_EQ(m_log.size(), 1); // only the URL line

    result = upload(request(QStringLiteral("ftp://127.0.0.1/"), writeFile("x")));
    EXPECT_EQ(result.failure, Failure::BadUrl);
    EXPECT_EQ(m_log, QStringList{QStringLiteral("解析URL失败!")});
    EXPECT_TRUE(receiver.requests().empty());
}

TEST_F(HttpUpload, AServerThatAnswersBeforeTheWholeBodyHasNotGotThePicture) {
    // A captive portal or a proxy that reads a little, answers 200 and closes: libcurl ends the
    // exchange without error, but most of the picture never left.
    HttpReceiver early;
    ASSERT_TRUE(early.start(QStringLiteral("early")));
    const auto result = upload(request(early.url(), writeFile(randomBytes(3 << 20))));
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.failure, Failure::Internet);
    EXPECT_EQ(result.errorLog, "网络出错!");
    EXPECT_NE(result.errorBox.find("before the whole upload was"), std::string::npos) << result.errorBox;
    EXPECT_TRUE(m_log.last().startsWith(QStringLiteral("服务器在收到全部数据前已应答，上传未完成!")))
        << m_log.last().toStdString();
    EXPECT_FALSE(m_log.contains(QStringLiteral("上传图片成功!")));

    // A body small enough to sit whole in the socket buffers has left libcurl entirely when the
    // early answer comes: the reset of the server's close still tells.
    for (const qsizetype size : {qsizetype(100000), qsizetype(1500000)}) {
        const auto small = upload(request(early.url(), writeFile(randomBytes(size))));
        EXPECT_EQ(small.failure, Failure::Internet) << size;
        EXPECT_FALSE(small.ok()) << size;
    }
    // A server that reads everything and closes is no such case.
    HttpReceiver whole;
    ASSERT_TRUE(whole.start(QStringLiteral("200")));
    EXPECT_TRUE(upload(request(whole.url(), writeFile(randomBytes(1500000)))).ok());
}

// A certificate authority made for the test, a server certificate it signed for 127.0.0.1 and one
// it signed for another name.
class TestAuthority {
public:
    explicit TestAuthority(Folder& folder) : m_folder(folder) {}
    bool make() {
        return run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-days", "2", "-subj", "/CN=QX test authority", "-addext",
                    "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                    "-keyout", file("ca.key"), "-out", file("ca.pem")}) &&
               server("local", "subjectAltName=IP:127.0.0.1") &&
               server("other", "subjectAltName=DNS:other.example");
    }
    QString ca() const { return m_folder.file(QStringLiteral("ca.pem")); }
    QString cert(const char* name) const { return m_folder.file(QStringLiteral("%1.pem").arg(name)); }
    QString key(const char* name) const { return m_folder.file(QStringLiteral("%1.key").arg(name)); }

private:
    QString file(const char* name) const { return m_folder.file(QString::fromLatin1(name)); }
    bool run(std::initializer_list<QString> arguments) {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"), QStringList(arguments));
        return openssl.waitForFinished(60000) && openssl.exitCode() == 0;
    }
    bool server(const char* name, const char* extension) {
        const QString ext = m_folder.file(QStringLiteral("%1.ext").arg(name));
        return writeAll(ext, QByteArray(extension) + "\n") &&
               run({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-subj",
                    "/CN=QX test server", "-keyout", key(name), "-out", file("server.csr")}) &&
               run({"x509", "-req", "-in", file("server.csr"), "-CA", ca(), "-CAkey", file("ca.key"),
                    "-CAcreateserial", "-days", "2", "-extfile", ext, "-out", cert(name)});
    }
    Folder& m_folder;
};

TEST_F(HttpUpload, AnHttpsUrlIsAlwaysTlsAndItsCertificateIsChecked) {
    Folder pki;
    TestAuthority authority(pki);
    ASSERT_TRUE(authority.make());
    HttpReceiver local;
    ASSERT_TRUE(local.start(QStringLiteral("200"), 0, 0, authority.cert("local"), authority.key("local")));
    const QByteArray file = randomBytes(40000);
    const QString url = QStringLiteral("https://127.0.0.1:%1/u").arg(local.port());
    // Requests that got as far as their request line (a refused handshake records an empty one).
    const auto posted = [](const HttpReceiver& receiver) {
        const auto all = receiver.requests();
        return std::count_if(all.begin(), all.end(),
                             [](const RecordedRequest& q) { return !q.requestLine.isEmpty(); });
    };

    // An authority the system does not know: refused before anything of the picture is sent.
    auto result = upload(request(url, writeFile(file)));
    EXPECT_EQ(result.failure, Failure::Internet);
    EXPECT_TRUE(m_log.contains(QStringLiteral("设置https请求安全标志!")));
    EXPECT_TRUE(std::any_of(m_log.begin(), m_log.end(), [](const QString& l) {
        return l.startsWith(QStringLiteral("https服务器证书校验失败"));
    })) << m_log.join(u'|').toStdString();
    EXPECT_EQ(posted(local), 0);

    // The counter's own authority, trusted beside the system's: sent over TLS on port 8443's kind.
    auto r = request(url, writeFile(file));
    r.tls.extraCaFile = authority.ca().toStdString();
    result = upload(r);
    ASSERT_EQ(result.failure, Failure::None) << result.errorBox;
    EXPECT_TRUE(result.ok());
    ASSERT_EQ(posted(local), 1);
    EXPECT_EQ(local.requests().back().requestLine, "POST /u HTTP/1.1");
    EXPECT_TRUE(local.requests().back().body == expectedBody("picture.jpg", "image/pjpeg", file));
    EXPECT_TRUE(m_log[0].endsWith(QStringLiteral(":4107")));

    // The same authority, but the certificate names another server.
    HttpReceiver other;
    ASSERT_TRUE(other.start(QStringLiteral("200"), 0, 0, authority.cert("other"), authority.key("other")));
    r.url = QStringLiteral("https://127.0.0.1:%1/u").arg(other.port()).toStdString();
    EXPECT_EQ(upload(r).failure, Failure::Internet);
    EXPECT_EQ(posted(other), 0);

    // The old tolerance, asked for explicitly, and said so in the log.
    r.tls.extraCaFile.clear();
    r.tls.verify = false;
    result = upload(r);
    EXPECT_TRUE(result.ok()) << result.errorBox;
    EXPECT_TRUE(m_log.contains(QStringLiteral("已关闭https证书校验(TlsVerify=FALSE)，不检查服务器证书!")));
    EXPECT_EQ(posted(other), 1);

    // An authority file that cannot be read is a clear failure, not a silent fallback.
    r.tls.verify = true;
    r.tls.extraCaFile = pki.file(QStringLiteral("missing.pem")).toStdString();
    result = upload(r);
    EXPECT_EQ(result.failure, Failure::RequestFailed);
    EXPECT_EQ(m_log.last(),
              QStringLiteral("无法读取https信任证书文件:") + pki.file(QStringLiteral("missing.pem")));
}

// Binding port 443 needs root, which CI has; elsewhere the test is skipped.
TEST_F(HttpUpload, AnHttpUrlOnPort443IsSentOverTls) {
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 443))
            GTEST_SKIP() << "port 443 cannot be bound here";
    }
    const QString cert = m_files.file(QStringLiteral("cert.pem"));
    const QString key = m_files.file(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=not-this-host"),
                   QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert});
    ASSERT_TRUE(openssl.waitForFinished(60000));
    ASSERT_EQ(openssl.exitCode(), 0);
    HttpReceiver tls;
    ASSERT_TRUE(tls.start(QStringLiteral("200"), 0, 443, cert, key));
    const QByteArray file = randomBytes(50000);
    // The scheme says http; the port makes it TLS. The certificate is one nobody vouches for.
    auto r = request(QStringLiteral("http://127.0.0.1:443/secure"), writeFile(file));
    EXPECT_EQ(upload(r).failure, Failure::Internet);
    r.tls.verify = false;
    const auto result = upload(r);
    ASSERT_EQ(result.failure, Failure::None) << result.errorBox;
    EXPECT_TRUE(result.ok());
    ASSERT_EQ(tls.requests().size(), 1u);
    EXPECT_TRUE(tls.requests()[0].body == expectedBody("picture.jpg", "image/pjpeg", file));
    EXPECT_EQ(tls.requests()[0].values("Host"), QList<QByteArray>{"127.0.0.1:443"});
    EXPECT_EQ(m_log.mid(1, 4),
              (QStringList{QStringLiteral("设置https请求安全标志!"),
                           QStringLiteral("已关闭https证书校验(TlsVerify=FALSE)，不检查服务器证书!"),
                           QStringLiteral("发送请求成功!"), QStringLiteral("设置https文件安全标志!")}));
}

TEST_F(HttpUpload, ProxiesFromTheSettingAndFromTheEnvironment) {
    HttpReceiver receiver;
    ASSERT_TRUE(receiver.start(QStringLiteral("200")));
    Tinyproxy proxy;
    ASSERT_TRUE(proxy.start(false));
    const QByteArray file = randomBytes(100000);

    auto r = request(receiver.url(), writeFile(file));
    r.proxyServer = proxy.address().toStdString();
    auto result = upload(r);
    EXPECT_TRUE(result.ok()) << result.errorBox;
    EXPECT_FALSE(result.proxyFromEnvironment);
    EXPECT_TRUE(m_log.contains(QStringLiteral("设置代理服务器，值为：") + proxy.address()));
    ASSERT_EQ(receiver.requests().size(), 1u);
    EXPECT_TRUE(receiver.requests()[0].body == expectedBody("picture.jpg", "image/pjpeg", file));

    {
        ScopedEnv http("http_proxy", proxy.address());
        result = upload(request(receiver.url(), writeFile(file)));
        EXPECT_TRUE(result.ok()) << result.errorBox;
        ASSERT_TRUE(result.proxyFromEnvironment);
        EXPECT_EQ(*result.proxyFromEnvironment, proxy.address().toStdString());
        EXPECT_TRUE(m_log.contains(QStringLiteral("获取代理服务器，值为：") + proxy.address()));
        EXPECT_EQ(receiver.requests().size(), 2u);
    }
    {
        // Set but empty: direct, and said so. A no_proxy list is never honoured.
        ScopedEnv http("http_proxy", QString());
        ScopedEnv bypass("no_proxy", QStringLiteral("127.0.0.1"));
        result = upload(request(receiver.url(), writeFile(file)));
        EXPECT_TRUE(result.ok());
        EXPECT_TRUE(m_log.contains(QStringLiteral("不使用代理服务器!")));
        EXPECT_FALSE(result.proxyFromEnvironment);
    }
    {
        // A proxy nobody listens on: had the bypass list been honoured, the upload would work.
        ScopedEnv http("http_proxy", QStringLiteral("127.0.0.1:%1").arg(freePort()));
        ScopedEnv bypass("no_proxy", QStringLiteral("127.0.0.1"));
        const size_t before = receiver.requests().size();
        result = upload(request(receiver.url(), writeFile(file)));
        EXPECT_EQ(result.failure, Failure::Internet);
        EXPECT_EQ(receiver.requests().size(), before);
    }
}

TEST_F(HttpUpload, ProxyCredentialsAreSentOnlyWhenBothAreGiven) {
    HttpReceiver receiver;
    ASSERT_TRUE(receiver.start(QStringLiteral("200")));
    Tinyproxy proxy;
    ASSERT_TRUE(proxy.start(true));
    auto r = request(receiver.url(), writeFile("data"));
    r.proxyServer = proxy.address().toStdString();
    r.proxyUser = "user";
    r.proxyPassword = "pass";
    auto result = upload(r);
    EXPECT_TRUE(result.ok()) << result.status << result.errorBox;
    EXPECT_TRUE(m_log.contains(QStringLiteral("设置代理服务器用户名和密码!")));

    // Only a user name: no credentials at all, and the proxy asks for them.
    r.proxyPassword.clear();
    result = upload(r);
    EXPECT_EQ(result.failure, Failure::None) << result.errorBox;
    EXPECT_EQ(result.status, 407);
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(m_log.contains(QStringLiteral("设置代理服务器用户名和密码!")));

    // A wrong password is refused by the proxy (tinyproxy answers it with 401). Both refusals come
    // before the body is read, and the proxy's reset of the rest must not hide its answer.
    r.proxyPassword = "wrong";
    result = upload(r);
    EXPECT_EQ(result.failure, Failure::None);
    EXPECT_TRUE(result.status == 407 || result.status == 401) << result.status;
    EXPECT_EQ(receiver.requests().size(), 1u);
}

} // namespace
} // namespace qx::test
