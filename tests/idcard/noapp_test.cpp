// libQX_IDCardRead in a process without any Qt application: it brings up its own for drawing.
#include "card_library_fixture.h"

#include <QCoreApplication>

namespace {

using idcard::test::bmpField;
using idcard::test::CardLibraryTest;
using idcard::test::sampleReader;

class WithoutApplication : public CardLibraryTest {};

TEST_F(WithoutApplication, ReadsTheCardAndDrawsItsPicture) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    useReader(sampleReader(QStringLiteral("card1.json")));
    QByteArray record;
    int32_t length = 0;
    ASSERT_EQ(readCard(record, length), 0);
    EXPECT_TRUE(record.contains("id='110101199003070011'"));
    EXPECT_TRUE(QFile::exists(holderPhoto()));

    const QString name = pictureOf(pictures());
    ASSERT_EQ(name, QStringLiteral("110101199003070011.bmp"));
    QFile file(pictures() + name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray picture = file.readAll();
    EXPECT_EQ(bmpField(picture, 28, 2), 32u);
    EXPECT_EQ(bmpField(picture, 2, 4), static_cast<uint32_t>(picture.size()));
}

} // namespace
