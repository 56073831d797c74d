// FTP sending against pyftpdlib: the folder step, STOR, refusals, drops and a silent server.
#include "local_servers.h"
#include "qx/net/ftp_upload.h"

#include <QDir>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace qx::test {
namespace {

using Outcome = net::FtpUploadResult::Outcome;

class FtpUpload : public ::testing::Test {
protected:
    void SetUp() override {
        QByteArray bytes(400000, Qt::Uninitialized);
        QRandomGenerator generator(7);
        for (char& c : bytes)
            c = char(generator.bounded(256));
        m_bytes = bytes;
        m_picture = m_files.file(QStringLiteral("picture.jpg"));
        ASSERT_TRUE(writeAll(m_picture, m_bytes));
    }
    net::FtpUploadRequest request(int port, const std::string& folder, const std::string& user = "writer",
                                  const std::string& password = "secret") {
        net::FtpUploadRequest r;
        r.server = "127.0.0.1";
        r.port = std::to_string(port);
        r.user = user;
        r.password = password;
        r.folder = folder;
        r.remoteName = "remote.jpg";
        r.localFile = m_picture.toStdString();
        return r;
    }
    net::FtpUploadResult send(const net::FtpUploadRequest& r) {
        m_log.clear();
        return net::ftpUpload(r, [this](const std::string& line) { m_log << QString::fromStdString(line); });
    }
    static int count(const QStringList& commands, const QString& prefix) {
        int n = 0;
        for (const QString& c : commands)
            n += c.startsWith(prefix);
        return n;
    }

    NoProxyEnvironment m_noProxy;
    Folder m_files;
    QString m_picture;
    QByteArray m_bytes;
    QStringList m_log;
};

TEST_F(FtpUpload, StoresTheFileInAnExistingFolderOverOneConnection) {
    FtpServer server;
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(QDir(server.root()).mkdir(QStringLiteral("in")));
    // Proxies of the environment are not for FTP: these lead nowhere and must not be used.
    const QString nowhere = QStringLiteral("http://127.0.0.1:%1").arg(freePort());
    ScopedEnv ftpProxy("ftp_proxy", nowhere);
    ScopedEnv allProxy("all_proxy", nowhere);
    const auto result = send(request(server.port(), "in"));
    EXPECT_EQ(result.outcome, Outcome::Stored) << result.errorText;
    EXPECT_TRUE(readAll(server.root() + QStringLiteral("/in/remote.jpg")) == m_bytes);
    EXPECT_EQ(m_log, (QStringList{QStringLiteral("FTP上传成功!"), QStringLiteral("FTP关闭连接!")}));
    const QStringList commands = server.commands();
    EXPECT_EQ(count(commands, QStringLiteral("USER")), 1) << commands.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(commands.contains(QStringLiteral("CWD in")));
    EXPECT_TRUE(commands.contains(QStringLiteral("TYPE I")));
    EXPECT_TRUE(commands.contains(QStringLiteral("STOR remote.jpg")));
    EXPECT_EQ(count(commands, QStringLiteral("PORT")) + count(commands, QStringLiteral("EPRT")), 0);
    EXPECT_EQ(count(commands, QStringLiteral("MKD")), 0);
    EXPECT_FALSE(commands.join(QLatin1Char('\n')).contains(QStringLiteral("secret")));
}

TEST_F(FtpUpload, AMissingFolderIsCreatedOneLevelDeepAndNoDeeper) {
    FtpServer server;
    ASSERT_TRUE(server.start());
    auto result = send(request(server.port(), "new folder"));
    EXPECT_EQ(result.outcome, Outcome::Stored) << result.errorText;
    EXPECT_TRUE(readAll(server.root() + QStringLiteral("/new folder/remote.jpg")) == m_bytes);
    EXPECT_EQ(m_log.first(), QStringLiteral("设置FTP保存路径失败，尝试创建保存路径：new folder"));
    EXPECT_EQ(count(server.commands(), QStringLiteral("USER")), 1);

    // Two missing levels: the one MKD fails, nothing is stored.
    result = send(request(server.port(), "a/b"));
    EXPECT_EQ(result.outcome, Outcome::FolderUnavailable);
    EXPECT_EQ(m_log, (QStringList{QStringLiteral("设置FTP保存路径失败，尝试创建保存路径：a/b"),
                                  QStringLiteral("创建FTP保存路径失败!"),
                                  QStringLiteral("设置FTP保存路径失败!"), QStringLiteral("FTP关闭连接!")}));
    EXPECT_TRUE(server.commands().contains(QStringLiteral("MKD a/b")));
    EXPECT_EQ(count(server.commands(), QStringLiteral("STOR")), 1);
    EXPECT_FALSE(QDir(server.root() + QStringLiteral("/a")).exists());
}

TEST_F(FtpUpload, RefusedLoginsStoresAndMissingFiles) {
    FtpServer server;
    ASSERT_TRUE(server.start());
    auto result = send(request(server.port(), "/", "writer", "wrong"));
    EXPECT_EQ(result.outcome, Outcome::ConnectFailed);
    EXPECT_EQ(m_log, QStringList{QStringLiteral("创建FTP连接失败!")});

    result = send(request(server.port(), "/", "reader"));
    EXPECT_EQ(result.outcome, Outcome::StoreRefused);
    EXPECT_EQ(m_log, (QStringList{QStringLiteral("FTP上传失败!"), QStringLiteral("FTP关闭连接!")}));

    // The local file is looked for after the folder step.
    auto r = request(server.port(), "/");
    r.localFile = m_files.file(QStringLiteral("gone.jpg")).toStdString();
    result = send(r);
    EXPECT_EQ(result.outcome, Outcome::LocalFileMissing);
    EXPECT_EQ(m_log,
              QStringList{QStringLiteral("找不到待上传图片: ") + m_files.file(QStringLiteral("gone.jpg"))});

    result = send(request(freePort(), "/"));
    EXPECT_EQ(result.outcome, Outcome::ConnectFailed);
}

TEST_F(FtpUpload, LineBreaksAndNulsAreRefusedBeforeAnythingIsSent) {
    FtpServer server;
    ASSERT_TRUE(server.start());
    for (const std::string& bad :
         {std::string("in\r\nDELE x"), std::string("in\nx"), std::string("in\0x", 4)}) {
        auto r = request(server.port(), bad);
        EXPECT_EQ(send(r).outcome, Outcome::BadArgument);
        r = request(server.port(), "in", bad);
        EXPECT_EQ(send(r).outcome, Outcome::BadArgument);
        r = request(server.port(), "in");
        r.remoteName = bad;
        EXPECT_EQ(send(r).outcome, Outcome::BadArgument);
    }
    EXPECT_TRUE(server.commands().isEmpty());
}

TEST_F(FtpUpload, ADroppedDataConnectionAndASilentServerAreTransportFailures) {
    FtpServer dropping;
    ASSERT_TRUE(dropping.start(64 * 1024));
    const QByteArray large(8 << 20, 'x');
    ASSERT_TRUE(writeAll(m_picture, large));
    auto result = send(request(dropping.port(), "/"));
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_FALSE(result.errorText.empty());

    // Accepts the connection and never greets.
    HttpReceiver silent;
    ASSERT_TRUE(silent.start(QStringLiteral("silent")));
    auto r = request(silent.port(), "/");
    r.connectTimeout = net::Seconds(1);
    r.replyTimeout = net::Seconds(1);
    result = send(r);
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_FALSE(result.errorText.empty());
}

} // namespace
} // namespace qx::test
