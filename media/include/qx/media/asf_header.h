// What asfmux leaves out of an ASF file's header and players need: the video stream's frame rate.
#pragma once

#include <QString>

namespace qx::media {

// asfmux writes the video stream's Extended Stream Properties Object with an average time per frame
// of 0, so demuxers fall back to a default (GStreamer's asfdemux reads 25/1 whatever was recorded).
// This writes `framesPerSecond` there, in place: 8 bytes of the finished file's header, nothing moved,
// so a failure at any point leaves the file as playable as it was. A field that already holds a
// value is kept. False with the reason in `why` when the file is not an ASF file this understands
// (unreadable, truncated, a header that does not add up, no video stream or no extended properties
// for it); the file is then untouched.
bool writeAsfFrameRate(const QString& path, int framesPerSecond, QString* why = nullptr);

} // namespace qx::media
