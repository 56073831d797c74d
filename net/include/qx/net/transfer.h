// What every transfer shares: where its log lines go and how its caller stops it.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

namespace qx::net {

// Receives each log line (UTF-8) of a transfer, on the thread that runs the transfer.
using LogSink = std::function<void(const std::string& line)>;

// Set by the caller to end a running transfer at its next progress check (about once a second).
using CancelFlag = std::atomic<bool>;

using Seconds = std::chrono::seconds;

} // namespace qx::net
