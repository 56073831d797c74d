// Merge mode and MergeImage: the pictures taken in merge mode, put together into one file.
#pragma once

#include "control/core/progress_report.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace qx::control {

class Capture;
class CaptureFolders;
class ControlContext;
class ProcessModes;
struct MergeSettings;

// The tails the merge captures give their JPEG files, by the merge they wait for.
inline constexpr const char* kJpgMergeTail = "ForJpgMerge.jpg";
inline constexpr const char* kTifMergeTail = "ForTifMerge.jpg";
inline constexpr const char* kPdfMergeTail = "ForPdfMerge.jpg";

struct MergeRequest {
    QString saveFolder;      // CustomSavePath
    QString customName;      // CustomImgName: the merged PDF's name when set
    bool pdfText = false;    // bPdfOcr: the merged PDF carries the recognised text
    QString textLanguages;   // strOcrLanguages
    ProgressReport progress; // pictures written into the merged file, of those collected
};

struct MergeResult {
    int code = 0;                      // 0, or automation's -5, -11, -18, -19, -22, -25
    std::optional<QString> picture;    // cPicName afterwards: the merged file
    std::optional<QString> customName; // CustomImgName afterwards (the PDF's full file name)
};

class Merge {
public:
    // `capture` tells the format of the last capture, which decides what a merge collects.
    Merge(ControlContext& control, ProcessModes& modes, CaptureFolders& folders, const Capture& capture)
        : m_control(control), m_modes(modes), m_folders(folders), m_capture(capture) {}

    MergeResult MergeImage(const MergeRequest& request);
    bool IsMerge();

private:
    enum class Kind { Jpeg, Tiff, Pdf };
    struct Picture {
        QString path;
        int width = 0;
        int height = 0;
        double dpi = 0;
    };
    // The merge files of the source folder in ascending name order, those the last format calls for,
    // each readable; `kind` is what they make.
    std::vector<Picture> collect(const QString& folder, Kind& kind);
    int writeJpeg(const std::vector<Picture>& pictures, const QString& path, const ProgressReport& progress);
    int writeTiff(const std::vector<Picture>& pictures, const QString& path, const ProgressReport& progress);
    int writePdf(const std::vector<Picture>& pictures, const QString& path, const MergeRequest& request);
    MergeSettings askSettings();

    ControlContext& m_control;
    ProcessModes& m_modes;
    CaptureFolders& m_folders;
    const Capture& m_capture;
};

} // namespace qx::control
