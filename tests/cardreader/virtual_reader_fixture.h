// Fixture for suites that drive libqmrapi's exports against a virtual reader described per test.
#pragma once

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace qmr::test {

inline QString cardsFolder() {
    return QStringLiteral(QX_TEST_DATA_DIR "/cards/");
}

// A sample card's JSON with its photo path made absolute, ready to be changed and written elsewhere.
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

// The reader and its transport live for the whole process and are set up by the first export call,
// so every test runs in a process of its own (ctest runs each discovered test that way). A test that
// finds the reader already used by another test in this process skips instead of testing the wrong
// reader.
class VirtualReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (s_readerUsed)
            GTEST_SKIP() << "the reader is process-wide: run one test per process, as ctest does";
        ASSERT_TRUE(m_dir.isValid());
    }

    // Writes `config` (plus a "record" log in this test's folder) as the reader's file and points
    // QX_VIRTUAL_READER at it. Must come before the first export call.
    void useReader(QJsonObject config) {
        s_readerUsed = true;
        config.insert(QLatin1String("record"), recordPath());
        const QString path = m_dir.filePath(QStringLiteral("reader.json"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(config).toJson());
        file.close();
        ::setenv("QX_VIRTUAL_READER", QFile::encodeName(path).constData(), 1);
    }

    QString recordPath() const { return m_dir.filePath(QStringLiteral("reports.log")); }
    QString folder() const { return m_dir.path() + QLatin1Char('/'); }

    // Every line the reader recorded, in order.
    QStringList recorded() const {
        QFile file(recordPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // The payloads of the lines of one kind ("out", "in", "open", ...).
    QStringList recorded(const QString& kind) const {
        QStringList out;
        const QString prefix = kind + QLatin1Char(' ');
        for (const QString& line : recorded()) {
            if (line.startsWith(prefix))
                out << line.mid(prefix.size());
            else if (line == kind)
                out << QString();
        }
        return out;
    }

private:
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/qmrtest-XXXXXX")};
    static inline bool s_readerUsed = false;
};

} // namespace qmr::test
