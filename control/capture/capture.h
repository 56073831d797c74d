// Morvel: one picture from whichever preview runs, through colour mode, rotation and format.
#pragma once

#include <QString>

namespace qx::control {

class CaptureFolders;
class Cameras;
class ControlContext;
class EdgePreview;
class NormalPreview;

// Morvel's own result codes beyond the ones every container knows.
inline constexpr int kMorvelFrameTimeout = -20; // the preview delivered no frame within the wait
inline constexpr int kMorvelBusy = -21;         // called while another capture waits for its frame

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
    // Converts the captured BMP to lastFormat and leaves the result in cPicName; 0, or -18/-19 from
    // the PDF step.
    int convertCapture(const QString& bmp, bool edgeVariant, double dpi);
    int makePdf(const QString& jpeg, const QString& pdfPath);
    void writeCaptureJpeg(const QString& bmp, const QString& jpg, bool edgeVariant, double dpi);
    bool applyCustomName();
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
