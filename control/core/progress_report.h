// How long work of the control tells how far it has come.
#pragma once

#include <functional>

namespace qx::control {

// `done` of `total` steps (pictures, pages, files): called on the control's thread with 0 when the
// work starts, after each step, and never once the work has returned. Empty: nobody listens.
using ProgressReport = std::function<void(int done, int total)>;

} // namespace qx::control
