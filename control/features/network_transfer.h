// Runs a network transfer (or a card read) on a worker thread while the control's thread keeps
// handling events.
#pragma once

#include "qx/net/transfer.h"

#include <QString>

#include <functional>
#include <memory>

namespace qx::control {

class ControlContext;

// The caller waits as for any synchronous method, but the live picture, timers and the container's
// window go on: the wait runs a local event loop, so a script or a button can call in meanwhile.
// Whether such a call may start another transfer is the automation surface's gate to decide.
class NetworkTransfer {
public:
    explicit NetworkTransfer(ControlContext& control);
    // Asks a running transfer to stop; it ends at its next progress check.
    ~NetworkTransfer();
    NetworkTransfer(const NetworkTransfer&) = delete;
    NetworkTransfer& operator=(const NetworkTransfer&) = delete;

    // Runs `job` on a worker thread and returns its result once it has finished; its log lines
    // reach the control's log in order while it runs.
    template <class Result>
    Result run(const std::function<Result(const net::LogSink&, const net::CancelFlag*)>& job) {
        Result result{};
        runOnWorker(
            [&](const net::LogSink& log, const net::CancelFlag* cancel) { result = job(log, cancel); });
        return result;
    }

private:
    struct Shared;
    void runOnWorker(const std::function<void(const net::LogSink&, const net::CancelFlag*)>& job);

    ControlContext& m_control;
    std::shared_ptr<Shared> m_current;
};

} // namespace qx::control
