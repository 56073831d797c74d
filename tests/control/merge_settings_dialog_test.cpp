// The merge-settings dialog: its defaults, the colour chooser, what 确定 and 取消 give.
#include "control/ui/merge_settings_dialog.h"
#include "qx/interface/ui_host.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace qx::test {
namespace {

using control::CMergeSettingDlg;

// Remembers the colour each chooser opened on.
class ChooserHost : public ScriptedUiHost {
public:
    std::optional<QColor> pickColor(QWidget* owner, const QColor& initial) override {
        opened.push_back(initial);
        return ScriptedUiHost::pickColor(owner, initial);
    }
    std::vector<QColor> opened;
};

template <typename T> T* child(CMergeSettingDlg& d, int id) {
    return d.findChild<T*>(QString::number(id));
}

TEST(MergeSettingsDialog, StartsAtItsDefaultsWithTheColumnsOnlyForRows) {
    ChooserHost host;
    CMergeSettingDlg d(host, nullptr);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("设置合并间距和颜色"));
    EXPECT_EQ(child<QLineEdit>(d, CMergeSettingDlg::kGap)->text(), QStringLiteral("10"));
    EXPECT_TRUE(child<QRadioButton>(d, CMergeSettingDlg::kVertical)->isChecked());
    EXPECT_FALSE(child<QLineEdit>(d, CMergeSettingDlg::kColumns)->isEnabled());
    child<QRadioButton>(d, CMergeSettingDlg::kHorizontal)->click();
    EXPECT_TRUE(child<QLineEdit>(d, CMergeSettingDlg::kColumns)->isEnabled());
    const control::MergeSettings s = d.acceptedSettings();
    EXPECT_EQ(s.gap, 10);
    EXPECT_EQ(s.red + s.green + s.blue, 0);
    EXPECT_FALSE(s.vertical);
    EXPECT_EQ(s.columns, 1);
    for (const char* caption : {"间距颜色", "确定", "取消"}) {
        bool found = false;
        for (const QPushButton* b : d.findChildren<QPushButton*>())
            found = found || b->text() == QString::fromUtf8(caption);
        EXPECT_TRUE(found) << caption;
    }
}

TEST(MergeSettingsDialog, TheChooserOpensOnWhiteAndItsColourIsTaken) {
    ChooserHost host;
    CMergeSettingDlg d(host, nullptr);
    host.queueAnswer(QStringLiteral("color"), QStringLiteral("#102030"));
    child<QPushButton>(d, CMergeSettingDlg::kColour)->click();
    host.queueAnswer(QStringLiteral("color"), QVariant()); // cancelled: the colour stays
    child<QPushButton>(d, CMergeSettingDlg::kColour)->click();
    ASSERT_EQ(host.opened.size(), 2u);
    EXPECT_EQ(host.opened[0], QColor(255, 255, 255));
    EXPECT_EQ(host.opened[1], QColor(255, 255, 255));
    const control::MergeSettings s = d.acceptedSettings();
    EXPECT_EQ(s.red, 0x10);
    EXPECT_EQ(s.green, 0x20);
    EXPECT_EQ(s.blue, 0x30);
}

TEST(MergeSettingsDialog, OkRoundsTheGapUpAndTakesNothingOutOfRange) {
    ChooserHost host;
    CMergeSettingDlg d(host, nullptr);
    d.applyAnswer({{QStringLiteral("gap"), 2.1},
                   {QStringLiteral("vertical"), false},
                   {QStringLiteral("columns"), 3},
                   {QStringLiteral("red"), 300},
                   {QStringLiteral("green"), -4},
                   {QStringLiteral("blue"), 7}});
    control::MergeSettings s = d.acceptedSettings();
    EXPECT_EQ(s.gap, 3);
    EXPECT_EQ(s.columns, 3);
    EXPECT_FALSE(s.vertical);
    EXPECT_EQ(s.red, 255);
    EXPECT_EQ(s.green, 0);
    EXPECT_EQ(s.blue, 7);
    d.applyAnswer({{QStringLiteral("gap"), -6}, {QStringLiteral("columns"), 0}});
    s = d.acceptedSettings();
    EXPECT_EQ(s.gap, 0);
    EXPECT_EQ(s.columns, 1);
    // Columns are typed only where the field is open: in one column they stay as they were.
    CMergeSettingDlg vertical(host, nullptr);
    vertical.applyAnswer({{QStringLiteral("columns"), 4}});
    EXPECT_EQ(vertical.acceptedSettings().columns, 1);
}

TEST(MergeSettingsDialog, CancelMergesWithNoGapInBlackInOneColumn) {
    const control::MergeSettings s = CMergeSettingDlg::cancelledSettings();
    EXPECT_EQ(s.gap, 0);
    EXPECT_EQ(s.red + s.green + s.blue, 0);
    EXPECT_TRUE(s.vertical);
    EXPECT_EQ(s.columns, 1);
}

} // namespace
} // namespace qx::test
