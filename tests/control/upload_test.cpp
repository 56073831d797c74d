// The control's uploads and FTP sending against servers started on 127.0.0.1.
#include "control/features/ftp.h"
#include "control/features/network_transfer.h"
#include "control_fixture.h"
#include "local_servers.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>
#include <sys/stat.h>

namespace qx::test {
namespace {

QByteArray randomBytes(qsizetype size, quint32 seed = 1) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char& c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

class UploadTest : public ControlTest {
protected:
    QString picture(const QString& name, const QByteArray& bytes) {
        const QString path = m_files.file(name);
        EXPECT_TRUE(writeAll(path, bytes));
        return path;
    }
    // The file name inside the disposition of a recorded request.
    static QByteArray sentFileName(const RecordedRequest& r) {
        const QByteArray key = "filename=\"";
        const qsizetype start = r.body.indexOf(key) + key.size();
        return r.body.mid(start, r.body.indexOf("\"\r\n", start) - start);
    }

    NoProxyEnvironment m_noProxy;
    Folder m_files;
};

TEST_F(UploadTest, SendSealUploadsThePictureAndDeletesItOnlyAfterStatus200) {
    HttpReceiver ok;
    ASSERT_TRUE(ok.start(QStringLiteral("200")));
    auto& c = createControl();
    const QByteArray bytes = randomBytes(200000);
    c.setCPicName(picture(QStringLiteral("pic.jpg"), bytes));
    c.setBUploadDel(true);
    const int before = int(log().size());
    EXPECT_EQ(c.SendSeal(ok.url()), 1);
    EXPECT_EQ(c.HttpResponse(), QStringLiteral("received"));
    EXPECT_EQ(m_ui.messages(), QStringList{QStringLiteral("上传成功")});
    EXPECT_FALSE(QFileInfo::exists(c.cPicName()));
    EXPECT_EQ(logSince(before).mid(2),
              (QStringList{QStringLiteral("服务器返回:received"), QStringLiteral("上传图片成功!")}));
    ASSERT_EQ(ok.requests().size(), 1u);
    const auto form = parseWithEmailPackage(ok.requests()[0]);
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->file == bytes);

    // A server error keeps the picture, keeps the answer and says the upload failed.
    HttpReceiver failing;
    ASSERT_TRUE(failing.start(QStringLiteral("500")));
    c.setCPicName(picture(QStringLiteral("kept.jpg"), bytes));
    EXPECT_EQ(c.SendSeal(failing.url()), 0);
    EXPECT_TRUE(QFileInfo::exists(c.cPicName()));
    EXPECT_EQ(c.HttpResponse(), QStringLiteral("server error"));
    EXPECT_EQ(m_ui.messages().last(), QStringLiteral("上传失败，服务器返回状态码500"));
    EXPECT_EQ(log().last(), QStringLiteral("上传图片失败，服务器返回状态码500!"));

    // No box for either answer when bShowMsgBox is off.
    c.setBShowMsgBox(false);
    const qsizetype boxes = m_ui.messages().size();
    EXPECT_EQ(c.SendSeal(failing.url()), 0);
    EXPECT_EQ(m_ui.messages().size(), boxes);
}

TEST_F(UploadTest, AServerThatAnswersEarlyHasNotGotThePictureSoItStays) {
    // A portal or proxy that reads the first 16 KB, answers 200 and closes.
    HttpReceiver early;
    ASSERT_TRUE(early.start(QStringLiteral("early")));
    auto& c = createControl();
    c.setBUploadDel(true);
    const QString pic = picture(QStringLiteral("pic.jpg"), randomBytes(2 << 20));
    c.setCPicName(pic);
    EXPECT_EQ(c.SendSeal(early.url()), 0);
    EXPECT_TRUE(QFileInfo::exists(pic));
    EXPECT_FALSE(m_ui.messages().contains(QStringLiteral("上传成功")));
    EXPECT_TRUE(m_ui.messages().last().startsWith(QStringLiteral("InternetException occur!\r\n")));
    EXPECT_EQ(log().last(), QStringLiteral("网络出错!"));
    EXPECT_FALSE(log().contains(QStringLiteral("上传图片成功!")));

    // The local list stops at it and keeps every file.
    c.setBShowMsgBox(false);
    const QString second = picture(QStringLiteral("2.jpg"), randomBytes(900000, 2));
    m_ui.queueAnswer(QStringLiteral("file-open"), QStringList{second});
    ASSERT_TRUE(c.SelectLocalImgs());
    EXPECT_EQ(c.UploadLocalImg(early.url()), 0);
    EXPECT_EQ(log().last(), QStringLiteral("第0张照片上传失败"));
    EXPECT_TRUE(QFileInfo::exists(second));
}

TEST_F(UploadTest, AnHttpsServerNobodyVouchesForGetsNoPictureUnlessTheCheckIsTurnedOff) {
    const QString cert = m_files.file(QStringLiteral("cert.pem"));
    const QString key = m_files.file(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"), key,
                   QStringLiteral("-out"), cert});
    ASSERT_TRUE(openssl.waitForFinished(60000));
    ASSERT_EQ(openssl.exitCode(), 0);
    HttpReceiver tls;
    ASSERT_TRUE(tls.start(QStringLiteral("200"), 0, 0, cert, key));
    const QString url = QStringLiteral("https://127.0.0.1:%1/u").arg(tls.port());
    auto& c = createControl();
    c.setBUploadDel(true);
    c.setCPicName(picture(QStringLiteral("pic.jpg"), randomBytes(30000)));
    EXPECT_EQ(c.SendSeal(url), 0);
    EXPECT_TRUE(QFileInfo::exists(c.cPicName()));
    EXPECT_EQ(log().last(), QStringLiteral("网络出错!"));

    // The server's own certificate as the authority to trust beside the system's.
    c.setStrTlsCaFile(cert);
    c.setBUploadDel(false);
    EXPECT_EQ(c.SendSeal(url), 1);
    // The old tolerance, only when asked for, and logged.
    c.setStrTlsCaFile(QString());
    c.setBTlsVerify(false);
    EXPECT_EQ(c.SendSeal(url), 1);
    EXPECT_TRUE(log().contains(QStringLiteral("已关闭https证书校验(TlsVerify=FALSE)，不检查服务器证书!")));
}

TEST_F(UploadTest, AFifoNamedAsThePictureFailsAtOnceInsteadOfHanging) {
    HttpReceiver receiver;
    ASSERT_TRUE(receiver.start(QStringLiteral("200")));
    auto& c = createControl();
    c.setBShowMsgBox(false);
    const QString fifo = m_files.file(QStringLiteral("pic.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    c.setCPicName(fifo);
    EXPECT_EQ(c.SendSeal(receiver.url()), 0);
    EXPECT_EQ(log().last(), QStringLiteral("没指定上传图片，请拍照!"));
    EXPECT_FALSE(c.GetBase64String(fifo));
    EXPECT_EQ(log().last(), QStringLiteral("打开待转换base64字符串的图片失败!"));
    EXPECT_FALSE(c.GetBase64String(QStringLiteral("/dev/zero")));
    EXPECT_TRUE(receiver.requests().empty());
}

TEST_F(UploadTest, TransportErrorsShowTheirBoxWhateverBShowMsgBoxSays) {
    auto& c = createControl();
    c.setBShowMsgBox(false);
    c.setBUploadDel(true);
    c.setCPicName(picture(QStringLiteral("pic.jpg"), "jpeg"));
    EXPECT_EQ(c.SendSeal(QStringLiteral("http://127.0.0.1:%1/").arg(freePort())), 0);
    ASSERT_EQ(m_ui.messages().size(), 1);
    EXPECT_TRUE(m_ui.messages()[0].startsWith(QStringLiteral("InternetException occur!\r\n")));
    EXPECT_EQ(log().last(), QStringLiteral("网络出错!"));
    EXPECT_TRUE(QFileInfo::exists(c.cPicName()));

    // The two texts of a file that cannot be sent, and no box for them.
    c.setCPicName(m_files.file(QStringLiteral("missing.jpg")));
    EXPECT_EQ(c.SendSeal(QStringLiteral("http://127.0.0.1:1/")), 0);
    EXPECT_EQ(log().last(), QStringLiteral("没指定上传图片，请拍照!"));
    // A card picture no read of this control wrote is not sent under a holder's name.
    c.setStrCardImgSavePath(m_files.path());
    c.setImgName(QStringLiteral("card.bmp"));
    EXPECT_FALSE(c.HttpSendIDCard(QStringLiteral("http://127.0.0.1:1/")));
    EXPECT_EQ(log().last(), QStringLiteral("待上传的二代证图片不是本次读卡生成的，拒绝上传:") +
                                m_files.file(QStringLiteral("card.bmp")));
    EXPECT_EQ(c.SendSeal(QStringLiteral("not a url")), 0);
    EXPECT_EQ(log().last(), QStringLiteral("解析URL失败!"));
    EXPECT_EQ(m_ui.messages().size(), 1);
}

TEST_F(UploadTest, FormFileNamesAreEncodedOrMadeSafe) {
    HttpReceiver receiver;
    ASSERT_TRUE(receiver.start(QStringLiteral("200")));
    auto& c = createControl();
    c.setBShowMsgBox(false);
    c.setCPicName(picture(QStringLiteral("my pic-1_中.jpg"), "jpeg"));
    c.setBGB2312Encode(true);
    ASSERT_EQ(c.SendSeal(receiver.url()), 1);
    c.setBGB2312Encode(false);
    ASSERT_EQ(c.SendSeal(receiver.url()), 1);
    // A quote or a line break in a name cannot end the name or the header.
    c.setCPicName(picture(QStringLiteral("a\"b\r\nX-Injected: 1.jpg"), "jpeg"));
    ASSERT_EQ(c.SendSeal(receiver.url()), 1);
    const auto requests = receiver.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(sentFileName(requests[0]), "my+pic-1_%E4%B8%AD.jpg");
    EXPECT_EQ(sentFileName(requests[1]), QStringLiteral("my pic-1_中.jpg").toUtf8());
    EXPECT_EQ(sentFileName(requests[2]), "a%22b%0D%0AX-Injected: 1.jpg");
    EXPECT_TRUE(requests[2].values("X-Injected").isEmpty());
}

TEST_F(UploadTest, TheEnvironmentsProxyIsTakenOnceAndKept) {
    HttpReceiver receiver;
    ASSERT_TRUE(receiver.start(QStringLiteral("200")));
    Tinyproxy proxy;
    ASSERT_TRUE(proxy.start(false));
    auto& c = createControl();
    c.setBShowMsgBox(false);
    c.setCPicName(picture(QStringLiteral("pic.jpg"), "jpeg"));
    {
        ScopedEnv http("http_proxy", proxy.address());
        ASSERT_EQ(c.SendSeal(receiver.url()), 1);
    }
    EXPECT_EQ(c.strProxyServer(), proxy.address());
    EXPECT_TRUE(log().contains(QStringLiteral("获取代理服务器，值为：") + proxy.address()));
    // The variable is gone; the property still sends the next upload through the proxy.
    const int before = int(log().size());
    ASSERT_EQ(c.SendSeal(receiver.url()), 1);
    EXPECT_TRUE(logSince(before).contains(QStringLiteral("设置代理服务器，值为：") + proxy.address()));
}

TEST_F(UploadTest, TheControlKeepsHandlingEventsAndRefusesASecondTransferMeanwhile) {
    HttpReceiver slow;
    ASSERT_TRUE(slow.start(QStringLiteral("slow"), 0.6));
    FtpServer ftp;
    ASSERT_TRUE(ftp.start());
    auto& c = createControl();
    c.setBShowMsgBox(false);
    c.setCPicName(picture(QStringLiteral("pic.jpg"), randomBytes(1 << 20)));
    int ticks = 0;
    int nestedSend = 0;
    int nestedFtp = 0;
    int nestedList = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks == 1) {
            nestedSend = c.SendSeal(slow.url());
            nestedFtp = c.MorvelNet(QStringLiteral("127.0.0.1"), QString::number(ftp.port()),
                                    QStringLiteral("writer"), QStringLiteral("secret"), QStringLiteral("/"),
                                    QStringLiteral("x.jpg"));
            nestedList = c.UploadLocalImg(slow.url());
            // A script changing the picture meanwhile does not change what is being sent.
            c.setCPicName(QStringLiteral("/nonexistent.jpg"));
        }
    });
    timer.start(10);
    EXPECT_EQ(c.SendSeal(slow.url()), 1);
    EXPECT_GT(ticks, 5);
    EXPECT_EQ(nestedSend, automation::kCallRefused);
    EXPECT_EQ(nestedFtp, automation::kCallRefused);
    EXPECT_EQ(nestedList, automation::kCallRefused);
    EXPECT_EQ(log().count(QStringLiteral("上一次网络传输尚未结束，拒绝本次调用!")), 3);
    EXPECT_EQ(slow.requests().size(), 1u);
    EXPECT_TRUE(ftp.commands().isEmpty());
}

TEST_F(UploadTest, LocalListUploadsReportEachFileStopAtTheFirstFailureAndKeepTheList) {
    HttpReceiver receiver;
    ASSERT_TRUE(receiver.start(QStringLiteral("200")));
    auto& c = createControl();
    c.setBShowMsgBox(false);
    const QString first = picture(QStringLiteral("1.jpg"), "one");
    const QString second = picture(QStringLiteral("2.jpg"), "two");
    const QString third = picture(QStringLiteral("3.jpg"), "three");
    m_ui.queueAnswer(QStringLiteral("file-open"), QStringList{first, second, third});
    ASSERT_TRUE(c.SelectLocalImgs());
    ASSERT_TRUE(QFile::remove(second));
    // The container hears each file sent, each report once that file's request reached the server.
    QStringList progress;
    QObject::connect(&c, &control::CMorvelQxWebCtrl::WorkProgress, &c,
                     [&](const QString& task, int done, int total) {
                         progress << QStringLiteral("%1 %2/%3 %4")
                                         .arg(task)
                                         .arg(done)
                                         .arg(total)
                                         .arg(receiver.requests().size());
                     });
    EXPECT_EQ(c.UploadLocalImg(receiver.url()), 0);
    EXPECT_EQ(log().last(), QStringLiteral("第1张照片上传失败"));
    EXPECT_EQ(receiver.requests().size(), 1u);
    EXPECT_EQ(c.RefreshLocalImg(), 3);
    EXPECT_EQ(progress, (QStringList{QStringLiteral("upload 0/3 0"), QStringLiteral("upload 1/3 1")}));

    ASSERT_TRUE(writeAll(second, "two"));
    c.setBUploadDel(true);
    progress.clear();
    EXPECT_EQ(c.UploadLocalImg(receiver.url()), 1);
    EXPECT_EQ(receiver.requests().size(), 4u);
    EXPECT_EQ(progress, (QStringList{QStringLiteral("upload 0/3 1"), QStringLiteral("upload 1/3 2"),
                                     QStringLiteral("upload 2/3 3"), QStringLiteral("upload 3/3 4")}));
    for (const QString& f : {first, second, third})
        EXPECT_FALSE(QFileInfo::exists(f)) << f.toStdString();
}

TEST_F(UploadTest, Base64OfAPictureMatchesCoreutils) {
    auto& c = createControl();
    c.setMarkdown(false);
    const QString file = picture(QStringLiteral("pic.jpg"), randomBytes(1000001, 3));
    ASSERT_TRUE(c.GetBase64String(file));
    QProcess base64;
    base64.start(QStringLiteral("base64"), {QStringLiteral("-w0"), file});
    ASSERT_TRUE(base64.waitForFinished(30000));
    EXPECT_TRUE(c.Img2Base64().toLatin1() == base64.readAllStandardOutput());
}

class FtpTest : public UploadTest {
protected:
    int send(control::CMorvelQxWebCtrl& c, const QString& folder, const QString& name,
             const QString& user = QStringLiteral("writer"),
             const QString& password = QStringLiteral("secret")) {
        return c.MorvelNet(QStringLiteral("127.0.0.1"), QString::number(m_ftp.port()), user, password, folder,
                           name);
    }
    void SetUp() override { ASSERT_TRUE(m_ftp.start()); }
    FtpServer m_ftp;
};

TEST_F(FtpTest, MorvelNetStoresThePictureAndListsItsNames) {
    auto& c = createControl();
    const QByteArray bytes = randomBytes(300000);
    c.setCPicName(picture(QStringLiteral("pic.jpg"), bytes));
    const int before = int(log().size());
    EXPECT_EQ(send(c, QStringLiteral("up"), QStringLiteral("a.jpg")), 0);
    EXPECT_EQ(send(c, QStringLiteral("up"), QStringLiteral("b.jpg")), 0);
    EXPECT_EQ(c.cFileList(), QStringLiteral("a.jpg|b.jpg|"));
    EXPECT_TRUE(readAll(m_ftp.root() + QStringLiteral("/up/b.jpg")) == bytes);
    const QStringList lines = logSince(before);
    EXPECT_EQ(lines.mid(0, 5), (QStringList{QStringLiteral("FTP上传:127.0.0.1 %1 up").arg(m_ftp.port()),
                                            QStringLiteral("设置FTP保存路径失败，尝试创建保存路径：up"),
                                            QStringLiteral("FTP上传成功!"), QStringLiteral("FTP关闭连接!"),
                                            QStringLiteral("FTP上传:127.0.0.1 %1 up").arg(m_ftp.port())}));
    EXPECT_FALSE(readAll(logPath()).contains("secret"));
    EXPECT_TRUE(m_ui.messages().isEmpty());
    c.ResetFileList();
    EXPECT_EQ(c.cFileList(), QString());
}

TEST_F(FtpTest, APictureIsDeletedOnlyAfterTheServerStoredIt) {
    auto& c = createControl();
    c.setBUploadDel(true);
    c.setCPicName(picture(QStringLiteral("pic.jpg"), "jpeg"));
    // The read-only user's STOR is refused: the picture stays, the name is listed as attempted.
    EXPECT_EQ(send(c, QStringLiteral("/"), QStringLiteral("r.jpg"), QStringLiteral("reader")), 0);
    EXPECT_TRUE(QFileInfo::exists(c.cPicName()));
    EXPECT_EQ(c.cFileList(), QStringLiteral("r.jpg|"));
    EXPECT_EQ(log().mid(log().size() - 2),
              (QStringList{QStringLiteral("FTP上传失败!"), QStringLiteral("FTP关闭连接!")}));
    // A folder two levels deep that does not exist: nothing sent, nothing listed, the picture stays.
    EXPECT_EQ(send(c, QStringLiteral("x/y"), QStringLiteral("deep.jpg")), 0);
    EXPECT_EQ(c.cFileList(), QStringLiteral("r.jpg|"));
    EXPECT_TRUE(QFileInfo::exists(c.cPicName()));

    EXPECT_EQ(send(c, QStringLiteral("/"), QStringLiteral("w.jpg")), 0);
    EXPECT_FALSE(QFileInfo::exists(c.cPicName()));
    EXPECT_EQ(c.cFileList(), QStringLiteral("r.jpg|w.jpg|"));
}

TEST_F(FtpTest, ResultCodesOfRefusedAndFailedSends) {
    auto& c = createControl();
    c.setCPicName(picture(QStringLiteral("pic.jpg"), randomBytes(4 << 20)));
    EXPECT_EQ(send(c, QStringLiteral("/"), QStringLiteral("p.jpg"), QStringLiteral("writer"),
                   QStringLiteral("bad")),
              -3);
    EXPECT_EQ(log().last(), QStringLiteral("创建FTP连接失败!"));
    EXPECT_TRUE(m_ui.messages().isEmpty());

    EXPECT_EQ(send(c, QStringLiteral("/\r\nDELE pic.jpg"), QStringLiteral("p.jpg")),
              automation::kFtpBadArgument);
    EXPECT_EQ(send(c, QStringLiteral("/"), QStringLiteral("p.jpg"), QStringLiteral("writer\nx")),
              automation::kFtpBadArgument);
    EXPECT_EQ(log().last(), QStringLiteral("FTP参数含有回车、换行或空字符，拒绝上传!"));

    const QString picture = c.cPicName();
    c.setCPicName(m_files.file(QStringLiteral("gone.jpg")));
    EXPECT_EQ(send(c, QStringLiteral("/"), QStringLiteral("p.jpg")), -5);
    EXPECT_EQ(log().last(), QStringLiteral("找不到待上传图片: ") + c.cPicName());

    FtpServer dropping;
    ASSERT_TRUE(dropping.start(64 * 1024));
    c.setCPicName(picture);
    c.setBUploadDel(true);
    EXPECT_EQ(c.MorvelNet(QStringLiteral("127.0.0.1"), QString::number(dropping.port()),
                          QStringLiteral("writer"), QStringLiteral("secret"), QStringLiteral("/"),
                          QStringLiteral("p.jpg")),
              -4);
    ASSERT_EQ(m_ui.messages().size(), 1);
    EXPECT_EQ(log().last(), m_ui.messages()[0]);
    EXPECT_TRUE(QFileInfo::exists(picture));
    EXPECT_EQ(c.cFileList(), QString());
}

} // namespace
} // namespace qx::test
