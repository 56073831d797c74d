// IDCardRead with a stand-in card library that hands over given records, card pictures and photos.
#include "control/features/card_record.h"
#include "control/features/network_transfer.h"
#include "control_fixture.h"
#include "local_servers.h"
#include "qx/imaging/picture.h"
#include "qx/platform/codepage.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace qx::test {
namespace {

const QString kRecord = QStringLiteral(
    "IDCARD:\r\nname='王小明',\r\nsex='男',\r\nnation='汉',\r\nbirthday='1990-03-07',\r\n"
    "address='北京市东城区示例路1号',\r\nid='11010119900307001X',\r\nauthority='北京市公安局东城分局',\r\n"
    "validity='2015.03.01-2035.03.01',\r\n");

imaging::Picture picture32(int width, int height) {
    imaging::Picture p;
    p.width = width;
    p.height = height;
    p.bitsPerPixel = 32;
    p.stride = width * 4;
    p.pixels.resize(size_t(p.stride) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* px = p.pixels.data() + size_t(y) * size_t(p.stride) + size_t(x) * 4;
            px[0] = uint8_t(x);     // blue
            px[1] = uint8_t(y);     // green
            px[2] = uint8_t(x + y); // red
            px[3] = 0xff;
        }
    return p;
}

class CardReadTest : public ControlTest {
protected:
    CardReadTest()
        : m_recordEnv("QX_FAKE_CARD_RECORD", m_files.file(QStringLiteral("record.txt"))),
          m_imageEnv("QX_FAKE_CARD_IMAGE", m_files.file(QStringLiteral("card32.bmp"))) {}

    void setRecord(const QByteArray& gbk) {
        ASSERT_TRUE(writeAll(m_files.file(QStringLiteral("record.txt")), gbk));
    }
    void setCardImage() {
        ASSERT_TRUE(imaging::saveBmp(picture32(60, 40), m_files.file(QStringLiteral("card32.bmp"))));
    }
    QString photoPath() const { return m_controlFolder.file(QStringLiteral("ImgTemp.bmp")); }
    QByteArray writePhoto() {
        imaging::Picture photo = picture32(10, 12);
        photo.bitsPerPixel = 24;
        photo.stride = 32;
        photo.pixels.assign(size_t(photo.stride) * 12, 0x55);
        EXPECT_TRUE(imaging::saveBmp(photo, photoPath()));
        return readAll(photoPath());
    }
    control::CMorvelQxWebCtrl& create() {
        return createControl({QStringLiteral("camera_full"), QStringLiteral("idcard_full")});
    }
    QStringList folderFiles() const { return QDir(m_cards.path()).entryList(QDir::Files, QDir::Name); }

    Folder m_files;
    Folder m_cards;
    ScopedEnv m_recordEnv;
    ScopedEnv m_imageEnv;
};

TEST_F(CardReadTest, FieldsComeFromTheirKeyLengthsAndAnEmptyFolderMakesNoPicture) {
    setRecord(platform::toGbk(kRecord));
    auto& c = create();
    const int before = int(log().size());
    EXPECT_TRUE(c.IDCardRead(QString()));
    EXPECT_EQ(c.sIDInfoChar(), QString(kRecord).remove(QStringLiteral("\r\n")));
    EXPECT_EQ(c.idName(), QStringLiteral("王小明"));
    EXPECT_EQ(c.idSex(), QStringLiteral("男"));
    EXPECT_EQ(c.idNation(), QStringLiteral("汉"));
    EXPECT_EQ(c.idBirth(), QStringLiteral("1990-03-07"));
    EXPECT_EQ(c.idBirthYear() + c.idBirthMonth() + c.idBirthDay(), QStringLiteral("19900307"));
    EXPECT_EQ(c.idAddress(), QStringLiteral("北京市东城区示例路1号"));
    EXPECT_EQ(c.idNum(), QStringLiteral("11010119900307001X"));
    EXPECT_EQ(c.idIssue(), QStringLiteral("北京市公安局东城分局"));
    EXPECT_EQ(c.idValidity(), QStringLiteral("2015.03.01-2035.03.01"));
    EXPECT_EQ(logSince(before), (QStringList{QStringLiteral("拍摄仪：读二代证成功！"),
                                             QStringLiteral("拍摄仪：二代证路径为空，不生成合成图片！")}));
}

TEST_F(CardReadTest, RecordsThatDoNotFitAreNeverReadPastTheirEnd) {
    // "name=" opening the record: not parsed.
    EXPECT_FALSE(control::parseCardRecord("name='x',sex='ab'"));
    EXPECT_FALSE(control::parseCardRecord("no fields here"));
    // A field without its closing quote runs to the end; the fields after it are empty.
    auto r = control::parseCardRecord(platform::toGbk(QStringLiteral("X:name='王小明,sex=")));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->name, QStringLiteral("王小明,sex="));
    EXPECT_TRUE(r->sex.isEmpty() && r->nation.isEmpty() && r->validity.isEmpty());
    // Bytes that are not GBK become U+FFFD.
    r = control::parseCardRecord(QByteArray("X:name='\xff\x30\x81',sex='\xc4\xd0',"));
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->name.contains(QChar(0xfffd)));
    EXPECT_EQ(r->sex, QStringLiteral("男"));

    // A record that fills the whole buffer with no terminator, through the control.
    QByteArray full = platform::toGbk(kRecord);
    full += QByteArray(2048 - full.size(), 'A');
    setRecord(full);
    auto& c = create();
    c.setIdName(QStringLiteral("earlier"));
    EXPECT_TRUE(c.IDCardRead(QString()));
    EXPECT_EQ(c.idName(), QStringLiteral("王小明"));
    EXPECT_TRUE(c.idValidity().startsWith(QStringLiteral("2015.03.01")));

    // "name=" at the start: the record is published, but no field of the earlier card stays.
    setRecord("name='other',sex='xx',");
    EXPECT_TRUE(c.IDCardRead(QString()));
    EXPECT_EQ(c.idName(), QString());
    EXPECT_EQ(c.idNum(), QString());
    EXPECT_EQ(c.sIDInfoChar(), QStringLiteral("name='other',sex='xx',"));
}

TEST_F(CardReadTest, TheCardPictureBecomes24BitUnderItsWantedNameAndThePhotoIsCopied) {
    setRecord(platform::toGbk(kRecord));
    setCardImage();
    const QByteArray photo = writePhoto();
    auto& c = create();
    c.setIDCardImgName(QStringLiteral("wanted.bmp"));
    const int before = int(log().size());
    EXPECT_TRUE(c.IDCardRead(m_cards.path()));
    EXPECT_EQ(c.ImgName(), QStringLiteral("wanted.bmp"));
    EXPECT_EQ(c.strCardImgSavePath(), m_cards.path());
    EXPECT_EQ(folderFiles(),
              (QStringList{QStringLiteral("11010119900307001X-head.bmp"), QStringLiteral("wanted.bmp")}));
    const QByteArray bmp = readAll(m_cards.file(QStringLiteral("wanted.bmp")));
    ASSERT_EQ(bmp.size(), 54 + 40 * (60 * 3));
    EXPECT_EQ(uint8_t(bmp[28]), 24);
    EXPECT_EQ(uint8_t(bmp[10]), 54);
    const auto rewritten = imaging::loadBmp(m_cards.file(QStringLiteral("wanted.bmp")));
    ASSERT_TRUE(rewritten);
    // Pixel (7, 5) of the library's picture: blue 7, green 5, red 12.
    const uint8_t* px = rewritten->pixels.data() + 5 * size_t(rewritten->stride) + 7 * 3;
    EXPECT_EQ(px[0], 7);
    EXPECT_EQ(px[1], 5);
    EXPECT_EQ(px[2], 12);
    EXPECT_EQ(readAll(m_cards.file(QStringLiteral("11010119900307001X-head.bmp"))), photo);
    EXPECT_EQ(c.strIDHeadData(), QString::fromLatin1(photo.toBase64()));
    EXPECT_EQ(
        logSince(before),
        (QStringList{
            QStringLiteral("拍摄仪：读二代证成功！"), QStringLiteral("拍摄仪：生成二代证合成图片成功！"),
            QStringLiteral("拍摄仪：二代证图片文件头写入成功！"),
            QStringLiteral("拍摄仪：二代证图片图像头写入成功！"),
            QStringLiteral("拍摄仪：二代证图片行数为 40"),
            QStringLiteral("拍摄仪：二代证图片数据写入成功！写入大小 7200"),
            QStringLiteral("拍摄仪：复制24位图片成功！"), QStringLiteral("拍摄仪：删除32位图片成功！"),
            QStringLiteral("拍摄仪：二代证图片32位转24位成功！"),
            QStringLiteral("拍摄仪：重命名二代证合成图片成功！"), QStringLiteral("打开二代证头像图片成功!"),
            QStringLiteral("二代证头像图片转字符串成功!"), QStringLiteral("清空文件buffer!"),
            QStringLiteral("清空内存buffer!"), QStringLiteral("拍摄仪：复制头像图片成功！")}));

    // Under its own name the picture is rewritten in place and not deleted; a custom photo name.
    writePhoto();
    c.setIDCardImgName(QString());
    c.setIDHeadImgName(QStringLiteral("face.bmp"));
    EXPECT_TRUE(c.IDCardRead(m_cards.path()));
    EXPECT_EQ(c.ImgName(), QStringLiteral("card.bmp"));
    EXPECT_EQ(uint8_t(readAll(m_cards.file(QStringLiteral("card.bmp")))[28]), 24);
    EXPECT_EQ(readAll(m_cards.file(QStringLiteral("face.bmp"))), photo);

    // bDeleteIDBmp: only the data is left.
    writePhoto();
    c.setBDeleteIDBmp(true);
    EXPECT_TRUE(c.IDCardRead(m_cards.path()));
    EXPECT_FALSE(QFileInfo::exists(m_cards.file(QStringLiteral("card.bmp"))));
    EXPECT_FALSE(QFileInfo::exists(m_cards.file(QStringLiteral("face.bmp"))));
    EXPECT_FALSE(c.strIDHeadData().isEmpty());
}

TEST_F(CardReadTest, APictureThatCannotBeDecodedIsKeptAsItIs) {
    setRecord(platform::toGbk(kRecord));
    ASSERT_TRUE(writeAll(m_files.file(QStringLiteral("card32.bmp")), "BM not really a bitmap"));
    writePhoto();
    auto& c = create();
    c.setIDCardImgName(QStringLiteral("wanted.bmp"));
    EXPECT_TRUE(c.IDCardRead(m_cards.path()));
    EXPECT_EQ(c.ImgName(), QStringLiteral("card.bmp"));
    EXPECT_EQ(readAll(m_cards.file(QStringLiteral("card.bmp"))), QByteArray("BM not really a bitmap"));
    EXPECT_FALSE(QFileInfo::exists(m_cards.file(QStringLiteral("wanted.bmp"))));
    EXPECT_TRUE(log().contains(QStringLiteral("拍摄仪：二代证图片无法解码，保留原图片！")));
}

TEST_F(CardReadTest, NoEarlierHoldersDataPassesForTheNextCard) {
    setRecord(platform::toGbk(kRecord));
    setCardImage();
    writePhoto();
    auto& c = create();
    ASSERT_TRUE(c.IDCardRead(m_cards.path()));
    ASSERT_FALSE(c.strIDHeadData().isEmpty());

    // The next card's photo never came: the one on disk is the earlier holder's.
    QFile old(photoPath());
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        old.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    old.close();
    setRecord(platform::toGbk(QString(kRecord).replace(QStringLiteral("11010119900307001X"),
                                                       QStringLiteral("220101199001010022"))));
    EXPECT_FALSE(c.IDCardRead(m_cards.path()));
    EXPECT_EQ(c.strIDHeadData(), QString());
    EXPECT_EQ(log().last(), QStringLiteral("打开二代证头像图片失败!"));
    EXPECT_FALSE(QFileInfo::exists(m_cards.file(QStringLiteral("220101199001010022-head.bmp"))));

    // No card at all: FALSE, and nothing of the last card is left to pass for a read.
    ASSERT_TRUE(QFile::remove(m_files.file(QStringLiteral("record.txt"))));
    EXPECT_FALSE(c.IDCardRead(m_cards.path()));
    EXPECT_EQ(log().last(), QStringLiteral("读取二代证信息失败!"));
    for (const QString& v :
         {c.idNum(), c.idName(), c.sIDInfoChar(), c.ImgName(), c.strIDHeadData(), c.strCardImgSavePath()})
        EXPECT_EQ(v, QString());
}

TEST_F(CardReadTest, UploadsSendOnlyWhatThisReadWroteAndAFolderWithoutItsSlashStaysAFolder) {
    HttpReceiver receiver;
    ASSERT_TRUE(receiver.start(QStringLiteral("200")));
    setRecord(platform::toGbk(kRecord));
    setCardImage();
    const QByteArray photo = writePhoto();
    auto& c = create();
    c.setBShowMsgBox(false);
    // The folder as a user types it, without its '/': files go inside it, never beside it.
    const QString folder = m_cards.path().chopped(1);
    const QString beside = folder + QStringLiteral("11010119900307001X-head.bmp");
    const QString besideCard = folder + QStringLiteral("card.bmp");
    ASSERT_TRUE(writeAll(besideCard, "the user's own file"));
    EXPECT_TRUE(c.IDCardRead(folder));
    EXPECT_EQ(c.strCardImgSavePath(), m_cards.path());
    EXPECT_EQ(folderFiles(),
              (QStringList{QStringLiteral("11010119900307001X-head.bmp"), QStringLiteral("card.bmp")}));
    EXPECT_FALSE(QFileInfo::exists(beside));

    const QByteArray card = readAll(m_cards.file(QStringLiteral("card.bmp")));
    EXPECT_TRUE(c.HttpSendIDCard(receiver.url()));
    EXPECT_TRUE(c.HttpSendIDCHeadImg(receiver.url()));
    auto requests = receiver.requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::pair<QString, QByteArray> expected[] = {
        {QStringLiteral("card.bmp"), card}, {QStringLiteral("11010119900307001X-head.bmp"), photo}};
    for (size_t i = 0; i < 2; ++i) {
        const auto form = parseWithEmailPackage(requests[i]);
        ASSERT_TRUE(form);
        EXPECT_EQ(form->fileName, expected[i].first) << i;
        EXPECT_TRUE(form->file == expected[i].second) << i;
        EXPECT_TRUE(requests[i].body.contains("\r\nContent-Type: image/bmp\r\n")) << i;
    }
    // A file the read did not write, named afterwards, is not sent under the holder's name.
    ASSERT_TRUE(writeAll(m_cards.file(QStringLiteral("other.bmp")), "someone else"));
    c.setImgName(QStringLiteral("other.bmp"));
    EXPECT_FALSE(c.HttpSendIDCard(receiver.url()));
    EXPECT_EQ(log().last(), QStringLiteral("待上传的二代证图片不是本次读卡生成的，拒绝上传:") +
                                m_cards.file(QStringLiteral("other.bmp")));

    // The next card's picture cannot be written: TRUE with its text alone, and neither the earlier
    // holder's picture nor photo goes out under the new read.
    setRecord(platform::toGbk(
        QString(kRecord)
            .replace(QStringLiteral("王小明"), QStringLiteral("李四"))
            .replace(QStringLiteral("11010119900307001X"), QStringLiteral("220101199001010022"))));
    ASSERT_TRUE(QFile::remove(m_files.file(QStringLiteral("card32.bmp"))));
    writePhoto();
    EXPECT_TRUE(c.IDCardRead(folder));
    EXPECT_EQ(log().last(), QStringLiteral("生成二代证图片失败!"));
    EXPECT_EQ(c.idName(), QStringLiteral("李四"));
    EXPECT_EQ(c.ImgName(), QString());
    EXPECT_EQ(c.strIDHeadData(), QString());
    EXPECT_FALSE(c.HttpSendIDCard(receiver.url()));
    c.setIdNum(QStringLiteral("11010119900307001X"));
    EXPECT_FALSE(c.HttpSendIDCHeadImg(receiver.url()));
    EXPECT_EQ(receiver.requests().size(), 2u);

    // bDeleteIDBmp removes this read's files inside the folder and nothing beside it.
    setCardImage();
    writePhoto();
    c.setBDeleteIDBmp(true);
    EXPECT_TRUE(c.IDCardRead(folder));
    EXPECT_EQ(folderFiles(),
              (QStringList{QStringLiteral("11010119900307001X-head.bmp"), QStringLiteral("other.bmp")}));
    EXPECT_EQ(readAll(besideCard), QByteArray("the user's own file"));
    // Deleted files are no longer this read's to send.
    EXPECT_FALSE(c.HttpSendIDCard(receiver.url()));
    EXPECT_EQ(receiver.requests().size(), 2u);
}

TEST_F(CardReadTest, NamesThatWouldLeaveTheFolderAreRefused) {
    setRecord(platform::toGbk(
        QString(kRecord).replace(QStringLiteral("11010119900307001X"), QStringLiteral("../up"))));
    setCardImage();
    writePhoto();
    auto& c = create();
    for (const QString& bad : {QStringLiteral("../escaped.bmp"), QStringLiteral("a/b.bmp"),
                               QStringLiteral("a\nb.bmp"), QStringLiteral("..")}) {
        writePhoto();
        c.setIDCardImgName(bad);
        c.setIDHeadImgName(bad);
        EXPECT_TRUE(c.IDCardRead(m_cards.path()));
        EXPECT_EQ(c.ImgName(), QStringLiteral("card.bmp"));
        EXPECT_TRUE(log().contains(QStringLiteral("二代证合成图片名无效，保留原名:") + bad));
        EXPECT_TRUE(log().last().startsWith(QStringLiteral("头像图片名无效，未复制头像图片:")));
    }
    // The number from the card cannot lead the photo out of the folder either.
    writePhoto();
    c.setIDCardImgName(QString());
    c.setIDHeadImgName(QString());
    EXPECT_TRUE(c.IDCardRead(m_cards.path()));
    EXPECT_EQ(log().last(), QStringLiteral("头像图片名无效，未复制头像图片:../up-head.bmp"));
    EXPECT_EQ(folderFiles(), QStringList{QStringLiteral("card.bmp")});
    EXPECT_FALSE(QFileInfo::exists(m_cards.path() + QStringLiteral("../escaped.bmp")));
    EXPECT_FALSE(QFileInfo::exists(m_cards.path() + QStringLiteral("../up-head.bmp")));
}

TEST_F(CardReadTest, ASecondReadWhileOneRunsIsRefused) {
    setRecord(platform::toGbk(kRecord));
    ScopedEnv slow("QX_FAKE_CARD_DELAY_MS", QStringLiteral("400"));
    auto& c = create();
    bool nested = true;
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks == 1)
            nested = c.IDCardRead(QString());
    });
    timer.start(20);
    EXPECT_TRUE(c.IDCardRead(QString()));
    EXPECT_FALSE(nested);
    EXPECT_GT(ticks, 3);
    EXPECT_EQ(log().count(QStringLiteral("正在读卡，忽略本次读卡请求!")), 1);
    EXPECT_EQ(log().count(QStringLiteral("拍摄仪：读二代证成功！")), 1);
}

TEST_F(CardReadTest, WithoutTheCardLibraryAReadFails) {
    auto& c = createControl();
    EXPECT_FALSE(c.IDCardRead(m_cards.path()));
    EXPECT_EQ(log().last(), QStringLiteral("读取二代证信息失败!"));
}

} // namespace
} // namespace qx::test
