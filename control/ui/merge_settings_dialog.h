// CMergeSettingDlg (dialog 205): the gap, its colour, the direction and the column count of a JPEG merge.
#pragma once

#include "control/features/merge_layout.h"

#include <QColor>
#include <QDialog>
#include <QVariant>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qx {
class UiHost;
}

namespace qx::control {

class CMergeSettingDlg : public QDialog {
public:
    // Control ids of the dialog.
    static constexpr int kGap = 212;
    static constexpr int kColour = 214;
    static constexpr int kOk = 215;
    static constexpr int kCancel = 216;
    static constexpr int kVertical = 224;
    static constexpr int kHorizontal = 225;
    static constexpr int kColumns = 226;

    // `ui` runs the colour chooser of 间距颜色.
    CMergeSettingDlg(UiHost& ui, QWidget* parent);

    // Types a scripted answer {gap, red, green, blue, vertical, columns} into the fields as a user
    // would; red, green and blue stand for the colour the chooser returns (0..255).
    void applyAnswer(const QVariantMap& answer);

    // What 确定 gives: the gap rounded up (a negative or unreadable one counts as 0), the colour, the
    // direction and the column count (below 1 counts as 1).
    MergeSettings acceptedSettings() const;
    // What 取消 gives: gap 0, black, vertical, one column.
    static MergeSettings cancelledSettings();

    QColor colour() const { return m_colour; }

private:
    void chooseColour();
    void setColour(const QColor& colour);
    void updateColumns();

    UiHost& m_ui;
    QLineEdit* m_gap = nullptr;
    QPushButton* m_colourButton = nullptr;
    QRadioButton* m_vertical = nullptr;
    QRadioButton* m_horizontal = nullptr;
    QLineEdit* m_columns = nullptr;
    QColor m_colour{0, 0, 0};
};

} // namespace qx::control
