// Morvel: one picture from whichever preview runs, through colour mode, rotation and format.
#pragma once

#include "qx/imaging/picture.h"
#include "qx/interface/result_codes.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace qx::kelpo {
class KelpoDevice;
}

namespace qx::control {

class CaptureFolders;
class Cameras;
class ControlContext;
class EdgePreview;
class NormalPreview;
class ProcessModes;

// The highest output resolution an edge-finding capture is resampled to: about three times what a
// five-megapixel camera gives over an A4 field, already a 120 MB picture in memory.
inline constexpr int kMaxOutputDpi = 600;

// What a capture takes from the control's properties when it starts.
struct CaptureRequest {
    QString format;        // PhotoFormat, compared in lower case
    QString saveFolder;    // CustomSavePath
    QString customName;    // CustomImgName
    short dpi = 0;         // pDPI (edge-finding paths)
    short colourMode = 0;  // nColorSpace
    short rotation = 0;    // nRotateAngle
    bool pdfText = false;  // bPdfOcr: a PDF carries the recognised text
    QString textLanguages; // strOcrLanguages
};

struct CaptureResult {
    int code = 0;                      // 0 or one of automation's Morvel codes
    std::optional<QString> picture;    // cPicName afterwards (empty: cleared), when the capture set it
    std::optional<QString> customName; // CustomImgName afterwards (its extension appended)
    bool rotationReset = false;        // nRotateAngle was no right angle: it reads 0 afterwards
};

// The picture travels in memory from the grab (or the camera library's image) through the colour
// mode, the rotation and the encoder to the one write of the file asked for, through a temporary
// file and a rename. A BMP is written only when "bmp" was asked for, or when the format could not be
// made: then the BMP keeps the picture and the result says so.
class Capture {
public:
    Capture(ControlContext& control, ProcessModes& modes, Cameras& cameras, NormalPreview& normal,
            EdgePreview& edge, CaptureFolders& folders)
        : m_control(control), m_modes(modes), m_cameras(cameras), m_normal(normal), m_edge(edge),
          m_folders(folders) {}

    CaptureResult Morvel(const CaptureRequest& request);

    // The lower-case format text of the last Morvel call.
    const QString& lastFormat() const { return m_lastFormat; }

    // Told when a capture has its picture (the grab, or the camera library's image: no path yet) and
    // when it has written the picture's file (its path), before it reports it. The fault tests remove
    // or change the file there, as a user or another program might; the benchmark times the chain
    // between the two.
    enum class Stage { PictureTaken, FileWritten };
    void setStageObserver(std::function<void(Stage, const QString&)> observer) {
        m_stage = std::move(observer);
    }

private:
    // One capture on its way: the picture, the name its files take, and the log lines of the chain,
    // written once the picture is on disk (a picture that could not be written at all is reported as
    // such, without the lines of the steps that came before).
    struct Shot {
        imaging::Picture picture;
        QString bmp;       // "<folder><stamp>.bmp": every format's name derives from it
        bool edge = false; // the edge-finding variant: every written picture gets `dpi`
        double dpi = 0;
        double ownDpiX = 0; // the picture's own resolution, as the camera or the DPI step gave it
        double ownDpiY = 0;
        QStringList lines;
    };

    int normalCapture(bool merge);
    int edgeCapture(bool merge);
    // The camera library's image (resampled to pDPI) as a picture; false (logged) when there is none.
    bool takeCapturedImage(kelpo::KelpoDevice& device, int sourceDpi, imaging::Picture& picture);
    void applyColourMode(Shot& shot);
    void applyRotation(Shot& shot);
    // Writes the picture in the requested format and leaves its path in the result.
    int convert(Shot& shot);
    // The picture at the output resolution when the variant asks for it (in place: no copy of a
    // picture of many megabytes), or at its own.
    const imaging::Picture& atOutputDpi(Shot& shot) const;
    const imaging::Picture& atOwnDpi(Shot& shot) const;
    // The format could not be made: the BMP keeps the picture (kMorvelConversionFailed, or `code`
    // when given), or it cannot be written either (kNotSaved).
    int keepBmp(Shot& shot, const QString& failureLine, int code = automation::kMorvelConversionFailed);
    // Writes the BMP; false, with the write failure reported, when it could not be.
    bool writeBmp(Shot& shot, const imaging::Picture& picture);
    int finishMerge(Shot& shot, const char* doneLine);
    enum class Naming { None, Applied, Failed };
    Naming applyCustomName();
    // The custom name and the last check of a non-merge capture: 0 only with the picture on disk.
    int finish(const char* namedLine, const char* doneLine);
    void flush(Shot& shot);
    void writeLog(const QString& text);

    ControlContext& m_control;
    ProcessModes& m_modes;
    Cameras& m_cameras;
    NormalPreview& m_normal;
    EdgePreview& m_edge;
    CaptureFolders& m_folders;
    QString m_lastFormat;
    std::function<void(Stage, const QString&)> m_stage;
    // The call in progress (the gate at the automation surface lets one run at a time).
    CaptureRequest m_request;
    CaptureResult m_result;
};

} // namespace qx::control
