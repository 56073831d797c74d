// TifTool with the real TIFF tool library beside the control: one window, raised again by a second call.
#include "control_fixture.h"

#include <QApplication>
#include <QWidget>

namespace qx::test {
namespace {

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
    // The control frees its libraries; the open window's code must stay.
    destroyControl();
    QCoreApplication::processEvents();
    ASSERT_EQ(toolWindows(), 1);
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
