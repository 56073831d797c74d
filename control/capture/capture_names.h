// Time-stamp names of captured pictures that never collide with a picture already in the folder.
#pragma once

#include <QDateTime>
#include <QString>

namespace qx::control {

// The local-time stamp "YYYY-MM-DD-hh-mm-ss" of `time`, or of the next second after it that no file in
// `folder` starts with, so two captures within one second keep both pictures and both names stay
// valid, listable time stamps.
QString freeTimeStamp(const QString& folder, QDateTime time = QDateTime::currentDateTime());

// A name that stays in its folder: not empty, no '/' or NUL, not "." or "..". Names a container sets
// (a web page can) go through this before they name a file.
bool isPlainName(const QString& name);

// "<path up to and including its last dot><extension>".
QString withExtension(const QString& path, const QString& extension);

} // namespace qx::control
