// A capture into the picture list (merge format, picture settings, Morvel, barcode name) and a merge.
#include "qx/desktop/capture_flow.h"

#include "qx/desktop/file_ops.h"
#include "qx/desktop/list_image_ctrl.h"
#include "qx/desktop/morvel_qx_web.h"
#include "qx/desktop/picture_list.h"
#include "qx/desktop/settings_store.h"
#include "qx/interface/result_codes.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <utility>

namespace qx::desktop {

CaptureFlow::CaptureFlow(CMorvelQxWeb& control, PictureList& pictures, CamSettings& settings)
    : m_control(control), m_pictures(pictures), m_settings(settings), m_mergeMode([] { return false; }),
      m_barcodeNaming([] { return false; }) {}

void CaptureFlow::setModes(Query mergeMode, Query barcodeNaming) {
    m_mergeMode = std::move(mergeMode);
    m_barcodeNaming = std::move(barcodeNaming);
}

void CaptureFlow::setBarcodeLookup(BarcodeLookup lookup) {
    m_barcodeLookup = std::move(lookup);
}

void CaptureFlow::setMessageSink(MessageSink sink) {
    m_message = std::move(sink);
}

void CaptureFlow::capture() {
    // The control waits for its frame with the window live, so a tick or the hotkey can arrive inside
    // a capture; it is dropped rather than started inside the one that runs.
    if (m_capturing)
        return;
    m_capturing = true;
    const auto done = qScopeGuard([this] { m_capturing = false; });

    CamSettings& s = m_settings;
    if (m_mergeMode()) {
        s.imageFormat =
            s.savedImageFormat == QLatin1String("tif") ? QStringLiteral("tif") : QStringLiteral("jpg");
        m_control.IsMerge();
    } else {
        s.imageFormat = s.savedImageFormat;
    }
    applyPictureSettings();
    if (const int result = m_control.Morvel(s.imageFormat); result != 0) {
        listKeptBmp(result, s.imageFormat);
        return;
    }
    m_lastPicture = m_control.GetCPicName();
    listPicture(s.imageFormat);
}

QString CaptureFlow::applyPictureSettings() {
    const CamSettings& s = m_settings;
    m_control.SetPDPI(static_cast<short>(s.dpi));
    m_control.SetNColorSpace(static_cast<short>(s.color));
    m_control.SetNRotateAngle(static_cast<short>(s.rotation));
    return s.imageFormat;
}

void CaptureFlow::takeAutoCapture(int result, const QString& path, const QString& format) {
    if (result != 0) {
        listKeptBmp(result, format);
        return;
    }
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    m_lastPicture = path;
    listPicture(format);
}

void CaptureFlow::listPicture(const QString& format) {
    CListImageCtrl& list = m_pictures.list();
    if (m_barcodeNaming()) {
        m_barcodeName = m_barcodeLookup ? m_barcodeLookup(m_lastPicture) : QString();
        if (!m_barcodeName.isEmpty()) {
            const QString newName = m_barcodeName + QLatin1Char('.') + format;
            const QString newPath = folderOfFile(m_lastPicture) + newName;
            // The new picture takes the name from an older one of that barcode in one step: the older
            // one goes only once the newer holds its name, and stays when the move fails.
            const bool replaces = newPath != m_lastPicture && QFileInfo::exists(newPath);
            const FileError error = replaces ? moveFileReplacing(m_lastPicture, newPath)
                                             : moveFileNoReplace(m_lastPicture, newPath);
            if (error != FileError::None) {
                if (m_message)
                    m_message(fileErrorMessage(error, m_lastPicture));
                return;
            }
            if (replaces) {
                // The items of the replaced picture; another format of the barcode is another file.
                for (int i = list.count() - 1; i >= 0; --i) {
                    if (m_pictures.pictureFile(i) == newPath)
                        delete list.takeItem(i);
                }
            }
            m_pictures.AddPictureItem(newPath, newName);
            return;
        }
    }
    m_pictures.AddPictureItem(m_lastPicture, captureDisplayName(m_lastPicture, m_mergeMode()));
}

void CaptureFlow::listKeptBmp(int result, const QString& format) {
    // The picture was taken but could not be made in its format (a PDF capture answers the PDF's own
    // code): the control kept the BMP and names it. It is the clerk's picture all the same, so it is
    // listed under its own name, and the clerk learns why it is a BMP; no barcode renames it.
    const bool kept = result == automation::kMorvelConversionFailed ||
                      ((result == automation::kPdfNotCreated || result == automation::kPdfFailed) &&
                       format.compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0);
    const QString bmp = kept ? m_control.GetCPicName() : QString();
    if (!bmp.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive) || !QFileInfo(bmp).isFile())
        return;
    m_lastPicture = bmp;
    m_pictures.AddPictureItem(bmp, QFileInfo(bmp).fileName());
    if (m_message)
        m_message(QString::fromUtf8(kKeptBmpText).arg(bmp));
}

void CaptureFlow::merge() {
    if (!m_mergeMode())
        return;
    if (m_control.MergeImage() != 0)
        return;
    // The items of the pictures that went into the merged file: the control removed exactly those
    // files (sources of another kind of merge stay, and so do their items).
    CListImageCtrl& list = m_pictures.list();
    for (int i = list.count() - 1; i >= 0; --i) {
        if (isMergeSourceName(list.item(i)->text()) && !QFileInfo::exists(m_pictures.pictureFile(i)))
            delete list.takeItem(i);
    }
    m_lastPicture = m_control.GetCPicName();
    m_pictures.AddPictureItem(m_lastPicture, mergeDisplayName(m_lastPicture));
}

} // namespace qx::desktop
