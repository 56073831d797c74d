// What every pipeline of the media layer does alike with its frames and its bus messages.
#pragma once

#include "qx/media/preview_pipeline.h"

#include <QString>
#include <gst/gst.h>

namespace qx::media {

// Maps the sample's video frame and hands its first plane to `callback`; false when the sample
// carries no frame that can be read.
bool deliverFrame(GstSample* sample, const PreviewPipeline::FrameCallback& callback);

// The text of an error message (or of the end of the stream) for the log; `withSource` adds the
// name of the element that posted it.
QString streamMessageText(GstMessage* msg, bool withSource);

} // namespace qx::media
