// Runs long work on a worker thread while the calling (GUI) thread keeps processing its events.
#pragma once

#include <functional>

namespace qx::ocr {

// Calls `work` on a new thread and returns when it has finished; meanwhile the caller's thread runs
// its event loop, so windows repaint and timers fire (a call nested in those events returns before
// this one). `work` must not touch widgets or anything the caller's events may change.
void runOffThread(const std::function<void()>& work);

} // namespace qx::ocr
