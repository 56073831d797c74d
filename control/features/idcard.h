// Identity cards in the control: reading a card through the card-reading library, and its uploads.
#pragma once

#include <QString>

namespace qx::control {

class ControlContext;
class NetworkTransfer;
class Uploads;

class CardReading {
public:
    // `worker` runs the library's calls off the control's thread, one read at a time.
    CardReading(ControlContext& control, Uploads& uploads, NetworkTransfer& worker)
        : m_control(control), m_uploads(uploads), m_worker(worker) {}

    // Starts by clearing every holder value it sets, so a step that fails never leaves the last
    // holder's fields, picture or photo to pass for this card's.
    bool IDCardRead(const QString& m_strBmpPath);
    bool HttpSendIDCard(const QString& strURL);
    bool HttpSendIDCHeadImg(const QString& strURL);

private:
    // The card picture as a 24-bit BMP named `name` beside it; false (logged) when it could not be.
    bool rewriteAs24Bit(const QString& folder, const QString& source, const QString& name);
    // Step 8 and on: the holder's photo as Base64 and its copy; the method's result.
    bool takePhoto(const QString& folder, qint64 readStartMs);
    void clearHolder();
    // Uploads `file` when it is `ownFile`, a file the last read wrote; false (logged) otherwise.
    bool uploadOwnFile(const QString& url, const QString& file, const QString& ownFile,
                       const QString& formName);

    ControlContext& m_control;
    Uploads& m_uploads;
    NetworkTransfer& m_worker;
    // The card picture and the photo copy the last read wrote (full paths; empty: none, or deleted).
    QString m_cardImage;
    QString m_photoCopy;
};

} // namespace qx::control
