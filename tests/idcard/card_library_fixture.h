// Fixture for the card-reading library's suites: a private copy of the libraries and a virtual reader.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>

namespace idcard::test {

using IDInfoCharFn = int32_t (*)(char*, int32_t*);
using IDInfoBMPFn = const char* (*)(const char*);

inline QString cardsFolder() {
    return QStringLiteral(QX_TEST_DATA_DIR "/cards/");
}

inline QJsonObject sampleReader(const QString& name) {
    QFile file(cardsFolder() + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QJsonObject reader = QJsonDocument::fromJson(file.readAll()).object();
    QJsonObject card = reader.value(QLatin1String("card")).toObject();
    const QString photo = card.value(QLatin1String("photo")).toString();
    if (!photo.isEmpty() && QDir::isRelativePath(photo))
        card.insert(QLatin1String("photo"), cardsFolder() + photo);
    if (!card.isEmpty())
        reader.insert(QLatin1String("card"), card);
    return reader;
}

// The control's view of the record: step by step the parse it runs on the GBK bytes, with every
// CR LF pair removed first and the later keys skipped by their lengths.
struct ControlFields {
    bool parsed = false;
    QByteArray name, sex, nation, birthYear, birthMonth, birthDay, address, number, authority, validity;
};

inline ControlFields parseLikeTheControl(QByteArray record) {
    record.replace("\r\n", "");
    ControlFields f;
    const qsizetype p = record.indexOf("name=");
    if (p <= 0)
        return f;
    f.parsed = true;
    auto cut = [](const QByteArray& w, qsizetype q) { return q < 0 ? QByteArray() : w.left(q); };
    QByteArray w = record.mid(p + 6);
    qsizetype q = w.indexOf('\'');
    f.name = cut(w, q);
    f.sex = w.mid(q + 7, 2);
    w = w.mid(q + 19);
    q = w.indexOf('\'');
    f.nation = cut(w, q);
    f.birthYear = w.mid(q + 12, 4);
    f.birthMonth = w.mid(q + 17, 2);
    f.birthDay = w.mid(q + 20, 2);
    w = w.mid(q + 33);
    q = w.indexOf('\'');
    f.address = cut(w, q);
    w = w.mid(q + 6);
    q = w.indexOf('\'');
    f.number = cut(w, q);
    w = w.mid(q + 13);
    q = w.indexOf('\'');
    f.authority = cut(w, q);
    w = w.mid(q + 12);
    q = w.indexOf('\'');
    f.validity = cut(w, q);
    return f;
}

// Each test copies libQX_IDCardRead.so and libqmrapi.so into a folder of its own and loads that
// copy: "ImgTemp.bmp" then lies in that folder, apart from every other test process. The reader and
// the library's state are process-wide, so a test that finds them used already skips.
class CardLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (s_used)
            GTEST_SKIP() << "the reader is process-wide: run one test per process, as ctest does";
        ASSERT_TRUE(m_modules.isValid());
        ASSERT_TRUE(m_pictures.isValid());
        for (const char* name : {"libQX_IDCardRead.so", "libqmrapi.so"}) {
            ASSERT_TRUE(QFile::copy(QStringLiteral(QX_BIN_DIR "/") + QLatin1String(name),
                                    modules() + QLatin1String(name)))
                << name;
        }
    }

    void useReader(QJsonObject config) {
        s_used = true;
        config.insert(QLatin1String("record"), modules() + QStringLiteral("reports.log"));
        const QString path = modules() + QStringLiteral("reader.json");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(config).toJson());
        file.close();
        ::setenv("QX_VIRTUAL_READER", QFile::encodeName(path).constData(), 1);
        // Never unloaded: the library may have created the process's QGuiApplication.
        void* handle =
            dlopen(QFile::encodeName(modules() + QStringLiteral("libQX_IDCardRead.so")).constData(),
                   RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        ASSERT_NE(handle, nullptr) << dlerror();
        m_idInfoChar = reinterpret_cast<IDInfoCharFn>(dlsym(handle, "IDInfoChar"));
        m_idInfoBmp = reinterpret_cast<IDInfoBMPFn>(dlsym(handle, "IDInfoBMP"));
        ASSERT_NE(m_idInfoChar, nullptr);
        ASSERT_NE(m_idInfoBmp, nullptr);
    }

    // One IDInfoChar call into a 2048-byte buffer; `record` gets the text up to its terminating zero.
    int32_t readCard(QByteArray& record, int32_t& length) {
        m_buffer.fill('\x5A', 2048);
        length = -1;
        const int32_t result = m_idInfoChar(m_buffer.data(), &length);
        record = QByteArray(m_buffer.constData());
        return result;
    }

    int32_t idInfoChar(char* buffer, int32_t* length) { return m_idInfoChar(buffer, length); }

    QString pictureOf(const QString& folder) {
        return QString::fromUtf8(m_idInfoBmp(QFile::encodeName(folder).constData()));
    }

    QString modules() const { return m_modules.path() + QLatin1Char('/'); }
    QString pictures() const { return m_pictures.path() + QLatin1Char('/'); }
    QString holderPhoto() const { return modules() + QStringLiteral("ImgTemp.bmp"); }
    QByteArray buffer() const { return m_buffer; }

    QStringList pictureFiles() const { return QDir(pictures()).entryList(QDir::Files); }

private:
    QTemporaryDir m_modules{QDir::tempPath() + QStringLiteral("/idcardlib-XXXXXX")};
    QTemporaryDir m_pictures{QDir::tempPath() + QStringLiteral("/idcardpic-XXXXXX")};
    QByteArray m_buffer;
    IDInfoCharFn m_idInfoChar = nullptr;
    IDInfoBMPFn m_idInfoBmp = nullptr;
    static inline bool s_used = false;
};

// Little-endian fields of a BMP file's headers.
inline uint32_t bmpField(const QByteArray& bmp, int offset, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes && offset + i < bmp.size(); ++i)
        v |= static_cast<uint32_t>(static_cast<uint8_t>(bmp.at(offset + i))) << (8 * i);
    return v;
}

} // namespace idcard::test
