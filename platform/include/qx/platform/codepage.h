// Conversion between Unicode text and the Chinese code page (GBK) for layers that count its bytes.
#pragma once

#include <QByteArray>
#include <QString>

namespace qx::platform {

// GBK bytes to Unicode. Bytes that are not valid GBK become U+FFFD; conversion never fails.
QString fromGbk(const QByteArray& gbk);

// Unicode to GBK bytes. Characters GBK cannot hold become '?'.
QByteArray toGbk(const QString& text);

} // namespace qx::platform
