// Local-time stamps in the forms the system writes into file names and log lines.
#pragma once

#include <QDateTime>
#include <QString>

namespace qx::platform {

// "%4d-%02d-%02d-%02d-%02d-%02d": the picture-name stamp.
QString fileTimeStamp(const QDateTime& t = QDateTime::currentDateTime());

// "%4d-%02d-%02d %02d-%02d-%02d", date and time apart: the name of recordings and exported documents.
QString spacedTimeStamp(const QDateTime& t = QDateTime::currentDateTime());

// "%4d-%02d-%02d %02d-%02d-%02d : ": the prefix of every control log line.
QString logTimePrefix(const QDateTime& t = QDateTime::currentDateTime());

// "%4d-%02d-%02d": the date of dated folders (the merge folder, for example).
QString dateStamp(const QDateTime& t = QDateTime::currentDateTime());

} // namespace qx::platform
