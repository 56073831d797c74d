// The input player against a real window that notes every event it is sent.
#include "control/ui/input_player.h"
#include "support/test_support.h"

#include <QDialog>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <gtest/gtest.h>

namespace qx::test {
namespace {

using control::InputPlayer;

// What a window was sent, one line each: "press L (x,y) held L", "key Escape", ...
class NotingDialog : public QDialog {
public:
    NotingDialog() {
        resize(400, 300);
        setMouseTracking(true); // moves without a button too, as the screen cut's window
    }

    QStringList received;
    // The window hides itself at the first right-button press, as the screen cut closes.
    bool closeOnRightPress = false;

protected:
    void mousePressEvent(QMouseEvent* e) override {
        note(QStringLiteral("press"), e);
        if (closeOnRightPress && e->button() == Qt::RightButton)
            reject();
    }
    void mouseReleaseEvent(QMouseEvent* e) override { note(QStringLiteral("release"), e); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { note(QStringLiteral("dblclick"), e); }
    void mouseMoveEvent(QMouseEvent* e) override { note(QStringLiteral("move"), e); }
    void keyPressEvent(QKeyEvent* e) override {
        received << (e->key() == Qt::Key_Escape ? QStringLiteral("key Escape") : QStringLiteral("key other"));
    }

private:
    static QString buttons(Qt::MouseButtons b) {
        QString s;
        if (b & Qt::LeftButton)
            s += QLatin1Char('L');
        if (b & Qt::RightButton)
            s += QLatin1Char('R');
        return s.isEmpty() ? QStringLiteral("-") : s;
    }
    void note(const QString& what, QMouseEvent* e) {
        const QPoint device = (e->position() * devicePixelRatio()).toPoint();
        received << QStringLiteral("%1 %2 (%3,%4) held %5")
                        .arg(what, buttons(e->button()))
                        .arg(device.x())
                        .arg(device.y())
                        .arg(buttons(e->buttons()));
    }
};

QVariantList at(const char* type, int x, int y) {
    return {QString::fromLatin1(type), x, y};
}
// One line per event, for readable failures.
std::string lines(const QStringList& received) {
    return received.join(QLatin1Char('\n')).toStdString();
}

QVariantList named(const char* type, const QString& value) {
    return {QString::fromLatin1(type), value};
}

TEST(InputPlayerTest, MouseEventsArriveAsAMouseDeliversThem) {
    NotingDialog target;
    InputPlayer(target, QStringLiteral("test"))
        .play({at("press", 10, 20), at("move", 30, 40), at("release", 30, 40), at("move", 50, 60),
               at("dblclick", 70, 80), at("rightclick", 90, 100)});
    EXPECT_EQ(lines(target.received), lines((QStringList{
                                          QStringLiteral("press L (10,20) held L"),
                                          QStringLiteral("move - (30,40) held L"),
                                          QStringLiteral("release L (30,40) held -"),
                                          QStringLiteral("move - (50,60) held -"),
                                          QStringLiteral("press L (70,80) held L"),
                                          QStringLiteral("release L (70,80) held -"),
                                          QStringLiteral("dblclick L (70,80) held L"),
                                          QStringLiteral("release L (70,80) held -"),
                                          QStringLiteral("press R (90,100) held R"),
                                          QStringLiteral("release R (90,100) held -"),
                                      })));
}

TEST(InputPlayerTest, TheTargetIsShownModalAndRejectedWhenTheEventsAreUsedUp) {
    NotingDialog target;
    int finished = 0;
    QObject::connect(&target, &QDialog::finished, [&finished](int) { ++finished; });
    const Folder folder;
    const QString shot = folder.file(QStringLiteral("shot.png"));
    InputPlayer(target, QStringLiteral("test"))
        .play({named("key", QStringLiteral("Escape")), named("screenshot", shot)});
    EXPECT_EQ(target.windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(lines(target.received), lines(QStringList{QStringLiteral("key Escape")}));
    const QImage image(shot);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), target.size() * target.devicePixelRatio());
    EXPECT_FALSE(target.isVisible());
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(target.result(), QDialog::Rejected);
}

TEST(InputPlayerTest, EventsAfterTheTargetClosedAreDropped) {
    NotingDialog target;
    target.closeOnRightPress = true;
    const Folder folder;
    const QString shot = folder.file(QStringLiteral("after.png"));
    InputPlayer(target, QStringLiteral("test"))
        .play({at("move", 5, 5), at("rightclick", 20, 20), at("press", 10, 10), named("screenshot", shot)});
    // The right button's release goes nowhere either: the window closed at its press.
    EXPECT_EQ(lines(target.received), lines((QStringList{QStringLiteral("move - (5,5) held -"),
                                                         QStringLiteral("press R (20,20) held R")})));
    EXPECT_FALSE(QFile::exists(shot));
}

TEST(InputPlayerTest, AWindowThatIsNoDialogIsClosedAtTheEnd) {
    QWidget target;
    target.resize(200, 100);
    InputPlayer(target, QStringLiteral("test")).play(QVariantList{QVariant(at("move", 5, 5))});
    EXPECT_FALSE(target.isVisible());
}

TEST(InputPlayerTest, UnknownEventsAreSkipped) {
    NotingDialog target;
    InputPlayer(target, QStringLiteral("test"))
        .play({at("wiggle", 1, 1), named("key", QStringLiteral("Enter")), at("move", 7, 8)});
    EXPECT_EQ(lines(target.received), lines(QStringList{QStringLiteral("move - (7,8) held -")}));
}

} // namespace
} // namespace qx::test
