// CWaterMarkDlg (dialog 204, "添加水印"): the text with its font and colour, the image, the positions.
#pragma once

#include "control/features/watermark_settings.h"
#include "control/features/watermark_stamp.h"

#include <QDialog>
#include <QVariant>

class QLineEdit;
class QPlainTextEdit;

namespace qx {
class UiHost;
}

namespace qx::control {

class CWaterMarkDlg : public QDialog {
public:
    // Control ids of the dialog.
    static constexpr int kText = 205;
    static constexpr int kFont = 206;
    static constexpr int kImage = 207;
    static constexpr int kBrowse = 208;
    static constexpr int kTextX = 209;
    static constexpr int kTextY = 210;
    static constexpr int kAdd = 211;
    static constexpr int kCancel = 212;
    static constexpr int kImageX = 215;
    static constexpr int kImageY = 216;

    // Reads the settings file (or creates it with the six keys); `ui` runs the colour, font and
    // file choosers.
    CWaterMarkDlg(UiHost& ui, QString picture, QString tempFolder, QWidget* parent);

    // Types a scripted answer {text, textX, textY, image, imageX, imageY, fontSettings, browse} into
    // the fields as a user would; fontSettings presses 字体设置, browse presses 浏览.
    void applyAnswer(const QVariantMap& answer);

    // 添加水印: draws onto a copy of the picture, writes every setting and ends the dialog.
    void accept() override;

    // What 添加水印 did (only meaningful after it was pressed).
    const StampResult& stamp() const { return m_stamp; }
    WatermarkSettings settings() const;
    QFont textFont() const;

    void chooseFontAndColour();
    void browse();

private:
    void showSettings(const WatermarkSettings& settings);
    void applyTextLook();

    UiHost& m_ui;
    QString m_picture;
    QString m_tempFolder;
    WatermarkSettingsFile m_file;
    LogicalFont m_font;
    double m_red = 0;
    double m_green = 0;
    double m_blue = 0;
    QPlainTextEdit* m_text = nullptr;
    QLineEdit* m_image = nullptr;
    QLineEdit* m_textX = nullptr;
    QLineEdit* m_textY = nullptr;
    QLineEdit* m_imageX = nullptr;
    QLineEdit* m_imageY = nullptr;
    StampResult m_stamp;
};

} // namespace qx::control
