// TifTool with the real TIFF tool library beside the control: one window, raised again by a second call,
// asking through the control's UI host until the control is gone.
#include "control_fixture.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace qx::test {
namespace {

QWidget* toolWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("CTifMakerWnd") && w->isVisible())
            return w;
    return nullptr;
}

// Presses 生成TIF with no pages, which only warns.
void pressWrite(QWidget* window) {
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("生成TIF"))
            b->click();
}

int toolWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += w->objectName() == QLatin1String("CTifMakerWnd") && w->isVisible();
    return n;
}

class ToolsTest : public ControlTest {};

TEST_F(ToolsTest, TifToolOpensTheToolWindowOnceAndKeepsItAfterTheControlIsGone) {
    for (const char* lib : {"libKelpoCameraLibrary.so", "libTiffConvert.so", "libTiffMakerDLL.so"})
        ASSERT_TRUE(copyFile(binFolder() + QLatin1String(lib), m_controlFolder.file(QLatin1String(lib))));
    auto& c = createControl({QStringLiteral("idcard_full")});
    EXPECT_TRUE(log().contains(QStringLiteral("加载分层tif库函数成功!")));
    EXPECT_TRUE(log().contains(QStringLiteral("加载TifMaker库函数成功!")));
    c.TifTool();
    EXPECT_EQ(toolWindows(), 1);
    c.TifTool();
    EXPECT_EQ(toolWindows(), 1);
    QWidget* window = toolWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(m_ui.openWindow(QStringLiteral("tif-tool")), window);
    pressWrite(window);
    EXPECT_EQ(m_ui.messages(), QStringList{QStringLiteral("请先添加图片!")});
    // The control frees its libraries; the open window's code must stay, and the host it lent is
    // taken back: the window is no longer the host's and asks with boxes of its own.
    destroyControl();
    QCoreApplication::processEvents();
    ASSERT_EQ(toolWindows(), 1);
    EXPECT_EQ(m_ui.openWindow(QStringLiteral("tif-tool")), nullptr);
    bool ownBox = false;
    QTimer::singleShot(0, [&ownBox] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ownBox = box->text() == QStringLiteral("请先添加图片!");
            box->accept();
        }
    });
    pressWrite(window);
    EXPECT_TRUE(ownBox);
    EXPECT_EQ(m_ui.messages().size(), 1);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("CTifMakerWnd")) {
            w->repaint();
            w->close();
        }
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(toolWindows(), 0);
}

} // namespace
} // namespace qx::test
