// Runs a network transfer (or a card read) on a worker thread while the control's thread keeps
// handling events.
#pragma once

#include "qx/net/transfer.h"

#include <QString>

#include <functional>
#include <memory>

namespace qx::control {

class ControlContext;

// Result of a method called while a transfer of the same control is still running.
inline constexpr int kTransferBusy = -21;

// One transfer at a time per control. The caller waits as for any synchronous method, but the
// live picture, timers and the container's window go on: the wait runs a local event loop, which
// also means a script or a button can call again meanwhile; such calls are refused (busy()).
class NetworkTransfer {
public:
    // `refusal` is logged for a call refused while a run is going on.
    NetworkTransfer(ControlContext& control, QString refusal);
    // Asks a running transfer to stop; it ends at its next progress check.
    ~NetworkTransfer();
    NetworkTransfer(const NetworkTransfer&) = delete;
    NetworkTransfer& operator=(const NetworkTransfer&) = delete;

    bool busy() const { return m_running; }
    // Logs that a call was refused because a transfer is running.
    void logRefusal();

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
    QString m_refusal;
    bool m_running = false;
    std::shared_ptr<Shared> m_current;
};

} // namespace qx::control
