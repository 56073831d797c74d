// CaptureFlow: a capture from the control into the picture list (format, picture settings, barcode name) and
// a merge.
#pragma once

#include <QString>
#include <functional>

namespace qx::desktop {

class CMorvelQxWeb;
class PictureList;
struct CamSettings;

// The box that names the BMP Morvel kept for a picture it could not make in its format (its answer
// kMorvelConversionFailed, or a PDF's kPdfNotCreated / kPdfFailed).
inline constexpr const char* kKeptBmpText = "图片格式转换失败，已保留bmp图片:\n%1";

class CaptureFlow {
public:
    using Query = std::function<bool()>;
    using BarcodeLookup = std::function<QString(const QString& picture)>;
    using MessageSink = std::function<void(const QString& text)>;

    // Borrows the control, the list and the settings in use; all must outlive the flow. A capture
    // sets the settings' image format (merge mode forces it).
    CaptureFlow(CMorvelQxWeb& control, PictureList& pictures, CamSettings& settings);

    // Whether merge mode and barcode naming are on, asked at the moment each step needs them (the
    // check boxes stay usable while a capture waits for its frame). Both off until set.
    void setModes(Query mergeMode, Query barcodeNaming);
    // The barcode found in a picture; finds nothing until set.
    void setBarcodeLookup(BarcodeLookup lookup);
    // Where a refused barcode rename and a kept BMP are reported; nowhere until set.
    void setMessageSink(MessageSink sink);

    // Takes a picture with the control and adds it to the list; a BMP the control kept because the
    // format could not be made is listed too, with a box naming it. A capture asked for while one
    // runs (a tick or the hotkey during the wait for the frame) is dropped.
    void capture();
    // In merge mode: merges the pictures taken and puts the result in the place of their items.
    void merge();
    // Sets the picture settings a capture uses on the control (pDPI, nColorSpace, nRotateAngle) and
    // answers the format; hands-free capture takes them at its start.
    QString applyPictureSettings();
    // A picture the control's hands-free capture took (its Morvel code and cPicName): listed and
    // named as a click's picture is.
    void takeAutoCapture(int result, const QString& path, const QString& format);

    bool isCapturing() const { return m_capturing; }
    QString lastPicture() const { return m_lastPicture; }
    QString barcodeName() const { return m_barcodeName; }

private:
    void listKeptBmp(int result, const QString& format);
    // The picture Morvel wrote into m_lastPicture, renamed by its barcode when asked, into the list.
    void listPicture(const QString& format);

    CMorvelQxWeb& m_control;
    PictureList& m_pictures;
    CamSettings& m_settings;
    Query m_mergeMode;
    Query m_barcodeNaming;
    BarcodeLookup m_barcodeLookup;
    MessageSink m_message;
    bool m_capturing = false;
    QString m_lastPicture;
    QString m_barcodeName;
};

} // namespace qx::desktop
