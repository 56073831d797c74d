// The worker thread and the caller's event loop that waits for it.
#include "qx/ocr/off_thread.h"

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <thread>

namespace qx::ocr {

void runOffThread(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    // The loop outlives the worker, so the worker's wake-up call never reaches a loop that is gone.
    QEventLoop loop;
    std::thread worker([&] {
        work();
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    {
        // The poll also ends the wait should the wake-up be taken by a loop nested inside this one.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done)
                loop.quit();
        });
        poll.start(20);
        if (!done)
            loop.exec();
    }
    // A container that quits ends every loop at once: the page's recognition is then waited for
    // here, a few seconds at most.
    worker.join();
}

} // namespace qx::ocr
