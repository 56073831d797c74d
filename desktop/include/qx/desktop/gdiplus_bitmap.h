// CGdiPlusBitmap and CGdiPlusBitmapResource: an image with transparency, from a file or the resources.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace qx::desktop {

class CGdiPlusBitmap {
public:
    CGdiPlusBitmap() = default;
    explicit CGdiPlusBitmap(const QString& path) { Load(path); }
    explicit CGdiPlusBitmap(const QImage& image) { setImage(image); }
    virtual ~CGdiPlusBitmap() = default;

    bool Load(const QString& path);
    void setImage(const QImage& image);
    virtual void Empty();

    bool isEmpty() const { return m_image.isNull(); }
    // The decoded image in premultiplied ARGB; null when empty.
    const QImage& image() const { return m_image; }

protected:
    QImage m_image;
};

class CGdiPlusBitmapResource : public CGdiPlusBitmap {
public:
    CGdiPlusBitmapResource() = default;
    CGdiPlusBitmapResource(int id, const char* type) { Load(id, type); }

    // Finds resource `id` of `type` ("PNG", "BITMAP" or "ICON") in the program's resources and decodes
    // it; false, and empty, when the resource is missing, empty or not an image.
    bool Load(int id, const char* type = "PNG");
    bool Load(const QString& resourcePath);
    void Empty() override;

    // The resource bytes the image was decoded from, held as long as the image.
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

} // namespace qx::desktop
