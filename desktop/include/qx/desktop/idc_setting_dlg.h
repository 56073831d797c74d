// CIDCSettingDlg: the card panel's settings (读卡设置): the composite image folder and the read interval.
#pragma once

#include <QDialog>
#include <QString>
#include <QVariantMap>

class QLineEdit;
class QPlainTextEdit;
class QSlider;

namespace qx {
class UiHost;
}

namespace qx::desktop {

class CIDCSettingDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids of dialog 156.
    enum Id {
        kFolderEdit = 1022,
        kBrowse = 1016,
        kSlider = 1017,
        kSecondsEdit = 1034,
        kOk = 1024,
        kCancel = 1015
    };
    static constexpr int kMaxSeconds = 15;

    // `ui` is borrowed for the dialog's life (the folder picker). The dialog fills itself from the
    // settings file at `iniPath` when that file exists, else from the defaults.
    CIDCSettingDlg(UiHost& ui, const QString& iniPath, QWidget* parent = nullptr);

    // The values handed back on 保存设置.
    QString folder() const { return m_folder; }
    int seconds() const { return m_seconds; }

    // The button handlers.
    void onBrowse();
    void onSave();

    // What a person would do before pressing 保存设置, from a script's answer: "folder" (typed into
    // the folder edit), "seconds" (the slider moved there), "browse" (浏览 pressed, answered by the
    // next folder answer); then 保存设置 is pressed.
    void applyAnswer(const QVariantMap& answer);

    // What the dialog shows: the folder, the slider position and the seconds edit.
    QVariantMap state() const;

private:
    void buildControls();
    void initDialog();
    void showSeconds(int position);

    UiHost& m_ui;
    QString m_iniPath;
    QString m_folder;
    int m_seconds = 0;

    QPlainTextEdit* m_folderEdit = nullptr;
    QSlider* m_slider = nullptr;
    QLineEdit* m_secondsEdit = nullptr;
};

} // namespace qx::desktop
