// Morvel: one picture from whichever preview runs, through colour mode, rotation and format.
#pragma once

#include <QString>

namespace qx::kelpo {
class KelpoDevice;
}

namespace qx::control {

class CaptureFolders;
class Cameras;
class ControlContext;
class EdgePreview;
class NormalPreview;

// Morvel's own result codes beyond the ones every container knows.
inline constexpr int kMorvelFrameTimeout = -20; // the preview delivered no frame within the wait
inline constexpr int kMorvelBusy = -21;         // called while another capture waits for its frame
inline constexpr int kMorvelNotSaved = -22;     // no picture could be written (full disk, folder gone)
// The picture could not be made in the requested format (or merge picture); the captured BMP is
// kept and cPicName names it.
inline constexpr int kMorvelConversionFailed = -23;
inline constexpr int kMorvelBadDpi = -24;     // pDPI below 0 or above kMaxOutputDpi: nothing captured
inline constexpr int kMorvelNameFailed = -25; // CustomImgName unusable; the picture keeps its stamp name

// The highest output resolution an edge-finding capture is resampled to: about three times what a
// five-megapixel camera gives over an A4 field, already a 120 MB picture in memory.
inline constexpr int kMaxOutputDpi = 600;

class Capture {
public:
    Capture(ControlContext& control, Cameras& cameras, NormalPreview& normal, EdgePreview& edge,
            CaptureFolders& folders)
        : m_control(control), m_cameras(cameras), m_normal(normal), m_edge(edge), m_folders(folders) {}

    int Morvel(const QString& PhotoFormat);

    // The lower-case format text of the last Morvel call.
    const QString& lastFormat() const { return m_lastFormat; }

private:
    int normalCapture(bool merge);
    int edgeCapture(bool merge);
    void applyColourMode(const QString& bmp);
    void applyRotation(const QString& bmp);
    // Converts the captured BMP to lastFormat and leaves the result in cPicName; 0, -18/-19 from the
    // PDF step, or kMorvelConversionFailed / kMorvelNotSaved.
    int convertCapture(const QString& bmp, bool edgeVariant, double dpi);
    int makePdf(const QString& jpeg, const QString& pdfPath);
    bool writeCaptureJpeg(const QString& bmp, const QString& jpg, bool edgeVariant, double dpi);
    // The camera library's image (resampled to pDPI) as the BMP file; false when nothing was written.
    bool writeCapturedImage(kelpo::KelpoDevice& device, const QString& bmp, int sourceDpi);
    // A failed step: cPicName names the BMP, which stays; kMorvelConversionFailed, or
    // kMorvelNotSaved when the BMP itself is gone.
    int keepBmp(const QString& bmp, const QString& failureLine);
    int finishMerge(const QString& bmp, bool edgeVariant, double dpi, const char* doneLine);
    enum class Naming { None, Applied, Failed };
    Naming applyCustomName();
    // The custom name and the last check of a non-merge capture: 0 only with the picture on disk.
    int finish(const char* namedLine, const char* doneLine);
    void writeLog(const QString& text);

    ControlContext& m_control;
    Cameras& m_cameras;
    NormalPreview& m_normal;
    EdgePreview& m_edge;
    CaptureFolders& m_folders;
    QString m_lastFormat;
    bool m_waiting = false;
};

} // namespace qx::control
