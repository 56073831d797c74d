// The worker thread of a network transfer and the event loop the control's thread waits in.
#include "control/features/network_transfer.h"

#include "control/core/control_context.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qx::control {

// What the worker and the waiting thread share; kept alive by both.
struct NetworkTransfer::Shared {
    std::mutex mutex;
    std::vector<std::string> lines;
    std::atomic<bool> done{false};
    net::CancelFlag cancel{false};

    std::vector<std::string> takeLines() {
        std::lock_guard lock(mutex);
        return std::exchange(lines, {});
    }
};

NetworkTransfer::NetworkTransfer(ControlContext& control) : m_control(control) {}

NetworkTransfer::~NetworkTransfer() {
    if (m_current)
        m_current->cancel = true;
}

void NetworkTransfer::runOnWorker(
    const std::function<void(const net::LogSink&, const net::CancelFlag*)>& job) {
    auto shared = std::make_shared<Shared>();
    m_current = shared;
    const auto writeLines = [&] {
        for (const std::string& line : shared->takeLines())
            m_control.writeLog(QString::fromUtf8(line));
    };
    // The loop outlives the worker, so the worker's wake-up call can never reach a loop that is gone.
    QEventLoop loop;
    std::thread worker([shared, &job, &loop] {
        const net::LogSink sink = [&shared](const std::string& line) {
            std::lock_guard lock(shared->mutex);
            shared->lines.push_back(line);
        };
        job(sink, &shared->cancel);
        shared->done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    {
        // Log lines are written as they come; the poll also ends the wait should the wake-up be
        // consumed by a loop nested inside this one.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            writeLines();
            if (shared->done)
                loop.quit();
        });
        poll.start(10);
        // A container that stops (QCoreApplication::exit) ends every event loop, this one too, and
        // then waits for the transfer: it is cancelled, so the stop need not wait for a server that
        // may never answer.
        if (QCoreApplication* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, &loop,
                             [&shared] { shared->cancel = true; });
        if (!shared->done)
            loop.exec();
        if (!shared->done)
            shared->cancel = true;
    }
    worker.join();
    writeLines();
    m_current.reset();
}

} // namespace qx::control
