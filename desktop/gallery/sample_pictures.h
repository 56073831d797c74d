// Pictures for the gallery: document scenes of several shapes written as JPEG files, and one broken file.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace qx::desktop::gallery {

struct SamplePicture {
    QString path;        // the file
    QString displayName; // as the main dialog would name it
};

// Writes the pictures into `saveFolder` (merge sources into today's merge folder inside it).
QList<SamplePicture> writeSamplePictures(const QString& saveFolder);

// A document lying on a desk, `size` pixels, drawn afresh (the gallery's live picture).
QImage documentScene(const QSize& size, int variant);

} // namespace qx::desktop::gallery
