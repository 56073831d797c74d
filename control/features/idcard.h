// Identity cards in the control: reading a card through the card-reading library, and its uploads.
#pragma once

#include "control/features/upload.h"

#include <QString>

namespace qx::control {

class ControlContext;
class NetworkTransfer;

struct CardReadRequest {
    QString folder;           // where the card picture goes; empty: the text fields only
    QString imageName;        // IDCardImgName: the card picture's wanted name; empty keeps the library's
    QString photoName;        // IDHeadImgName: the photo copy's name; empty: "<number>-head.bmp"
    bool deleteFiles = false; // bDeleteIDBmp: the picture and the photo copy go once read
};

// Everything a read says of its holder, as the properties show it. A read that fails at a step
// leaves the values of the later steps empty: nothing of an earlier holder passes for this one.
struct CardHolder {
    QString record; // sIDInfoChar
    QString name, sex, nation, birth, birthYear, birthMonth, birthDay, address, number, issue, validity;
    QString photoBase64; // strIDHeadData
    QString folder;      // strCardImgSavePath, with its '/'
    QString imageName;   // ImgName
};

struct CardReadResult {
    bool ok = false;
    CardHolder holder;
};

struct CardUploadRequest {
    QString folder;    // strCardImgSavePath
    QString imageName; // ImgName
    QString number;    // idNum
    QString photoName; // IDHeadImgName
};

class CardReading {
public:
    // `worker` runs the library's calls off the control's thread, one read at a time.
    CardReading(ControlContext& control, Uploads& uploads, NetworkTransfer& worker)
        : m_control(control), m_uploads(uploads), m_worker(worker) {}

    CardReadResult IDCardRead(const CardReadRequest& request);
    // Each sends only the file the last read wrote (its card picture, its photo copy).
    UploadOutcome HttpSendIDCard(const QString& strURL, const CardUploadRequest& request,
                                 const UploadSettings& settings);
    UploadOutcome HttpSendIDCHeadImg(const QString& strURL, const CardUploadRequest& request,
                                     const UploadSettings& settings);

private:
    // The card picture as a 24-bit BMP named `name` beside it; false (logged) when it could not be.
    bool rewriteAs24Bit(const QString& folder, const QString& source, const QString& name);
    // Step 8 and on: the holder's photo as Base64 and its copy; the read's result.
    bool takePhoto(const CardReadRequest& request, const QString& folder, qint64 readStartMs,
                   CardHolder& holder);
    // Uploads `file` when it is `ownFile`, a file the last read wrote; refused (logged) otherwise.
    UploadOutcome uploadOwnFile(const QString& url, const QString& file, const QString& ownFile,
                                const QString& formName, const UploadSettings& settings);

    ControlContext& m_control;
    Uploads& m_uploads;
    NetworkTransfer& m_worker;
    // The card picture and the photo copy the last read wrote (full paths; empty: none, or deleted).
    QString m_cardImage;
    QString m_photoCopy;
};

} // namespace qx::control
