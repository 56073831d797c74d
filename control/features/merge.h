// Merge mode and MergeImage: the pictures taken in merge mode, put together into one file.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace qx::control {

class Capture;
class CaptureFolders;
class ControlContext;
struct MergeSettings;

// Set by IsMerge, cleared by StartPreviewProc and by every merge capture; shared by every control of
// the process.
extern bool mergeMode;

// The tails the merge captures give their JPEG files, by the merge they wait for.
inline constexpr const char* kJpgMergeTail = "ForJpgMerge.jpg";
inline constexpr const char* kTifMergeTail = "ForTifMerge.jpg";
inline constexpr const char* kPdfMergeTail = "ForPdfMerge.jpg";

// MergeImage's results: 0 merged; -18 / -19 the PDF could not be created / failed; and
inline constexpr int kMergeNothingWaiting = -5; // no merge file of the pending merge was found
inline constexpr int kMergeBadSavePath = -11;   // CustomSavePath cannot take the merged file
inline constexpr int kMergeNotWritten = -22;    // the merged file could not be written (or is too large)
inline constexpr int kMergeBadName = -25;       // CustomImgName cannot name the merged PDF

class Merge {
public:
    // `capture` tells the format of the last capture, which decides what a merge collects.
    Merge(ControlContext& control, CaptureFolders& folders, const Capture& capture)
        : m_control(control), m_folders(folders), m_capture(capture) {}

    int MergeImage();
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
    int writeJpeg(const std::vector<Picture>& pictures, const QString& path);
    int writeTiff(const std::vector<Picture>& pictures, const QString& path);
    int writePdf(const std::vector<Picture>& pictures, const QString& path);
    MergeSettings askSettings();

    ControlContext& m_control;
    CaptureFolders& m_folders;
    const Capture& m_capture;
};

} // namespace qx::control
