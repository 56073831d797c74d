// ThumbnailLoader: bounded thumbnail decodes on a private pool, each result matched to its item by ticket.
#include "qx/desktop/thumbnail_loader.h"

#include "qx/desktop/thumbnail.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QListWidget>
#include <QPixmap>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

namespace qx::desktop {

namespace {

constexpr int kWorkerNice = 10;

// Decoding is all CPU; more threads than cores would only make the window wait for a core.
int workerThreads() {
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

// A worker gives way to the UI thread and to the other programs: on a busy machine the window's
// events are answered first and the thumbnails come a little later. Linux gives each thread its own
// nice value (Qt's thread priorities do nothing under the default scheduler).
bool lowerThisThread() {
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kWorkerNice) == 0;
}

quint64 ticketOf(const QListWidgetItem* item) {
    return item ? item->data(kThumbnailTicketRole).toULongLong() : 0;
}

} // namespace

ThumbnailLoader::ThumbnailLoader(QListWidget& list, QObject* parent)
    : QObject(parent), m_list(&list), m_decoder(makeThumbnailImage) {
    setWorkerCount(workerThreads());
    // Items removed (a delete, a clear, a rebuild) take their waiting decodes with them.
    connect(list.model(), &QAbstractItemModel::rowsRemoved, this, &ThumbnailLoader::forgetRemoved);
    connect(list.model(), &QAbstractItemModel::modelReset, this, &ThumbnailLoader::forgetRemoved);
}

ThumbnailLoader::~ThumbnailLoader() {
    m_waiting.clear();
    m_pool.clear();
    // The decodes already running report to this object; their reports are posted events, which go
    // with it, so waiting for the workers is all that is left.
    m_pool.waitForDone();
}

void ThumbnailLoader::setWorkerCount(int count) {
    m_pool.setMaxThreadCount(std::max(count, 1));
    // One decoding and one queued behind it per worker, so no worker idles while the UI thread takes
    // the previous result, and no more decoded pictures than that ever wait in memory.
    m_maxOnTheirWay = 2 * m_pool.maxThreadCount();
    postStart();
}

void ThumbnailLoader::setDecoder(Decoder decoder) {
    m_decoder = decoder ? std::move(decoder) : Decoder(makeThumbnailImage);
}

bool ThumbnailLoader::isPending(const QListWidgetItem* item) {
    return ticketOf(item) != 0;
}

void ThumbnailLoader::request(QListWidgetItem* item, const QString& file, Start start) {
    if (!m_list || !item || item->listWidget() != m_list)
        return;
    const int row = m_list->row(item);
    if (row < 0)
        return;
    if (const quint64 earlier = ticketOf(item))
        std::erase_if(m_waiting, [earlier](const Job& job) { return job.ticket == earlier; });
    // Identified by ticket, never by row: rows move as items come and go while the worker decodes.
    const quint64 ticket = ++m_lastTicket;
    item->setData(Qt::DecorationRole, QVariant());
    item->setData(kThumbnailTicketRole, QVariant::fromValue(ticket));
    Job job{ticket, QPersistentModelIndex(m_list->model()->index(row, 0)), file};
    m_reported = false;
    // A picture the clerk waits for goes to a free worker before the caller even returns; one that
    // finds none goes first among the waiting ones once it is in view.
    if (start == Start::Now && hasRoom()) {
        submit(std::move(job));
        return;
    }
    m_waiting.push_back(std::move(job));
    postStart();
}

bool ThumbnailLoader::isCurrent(const Job& job) const {
    if (!m_list || !job.index.isValid())
        return false;
    return ticketOf(m_list->item(job.index.row())) == job.ticket;
}

int ThumbnailLoader::pendingCount() const {
    const auto current = [this](const Job& job) { return isCurrent(job); };
    int count = int(std::count_if(m_waiting.begin(), m_waiting.end(), current));
    for (const auto& [ticket, job] : m_onTheirWay)
        count += current(job) ? 1 : 0;
    return count;
}

void ThumbnailLoader::postStart() {
    // Started from the event loop, not inside the caller: a loop adding hundreds of items first lays
    // them all out, and the choice of what is in view is made once they are there.
    if (m_startPosted)
        return;
    m_startPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_startPosted = false;
            startJobs();
        },
        Qt::QueuedConnection);
}

std::deque<ThumbnailLoader::Job>::iterator ThumbnailLoader::nextJob() {
    // What the clerk sees first: a capture's item is scrolled into view, and so is the end of a
    // rebuilt list. Otherwise in the order asked.
    const QRect view = m_list->viewport()->rect();
    for (auto it = m_waiting.begin(); it != m_waiting.end(); ++it) {
        if (it->index.isValid() && m_list->visualRect(it->index).intersects(view))
            return it;
    }
    return m_waiting.begin();
}

bool ThumbnailLoader::hasRoom() const {
    return int(m_onTheirWay.size()) < m_maxOnTheirWay;
}

void ThumbnailLoader::startJobs() {
    while (m_list && !m_waiting.empty() && hasRoom()) {
        const auto next = nextJob();
        Job job = std::move(*next);
        m_waiting.erase(next);
        if (isCurrent(job))
            submit(std::move(job));
    }
    reportIfDone();
}

void ThumbnailLoader::submit(Job job) {
    const quint64 ticket = job.ticket;
    const QString file = job.file;
    m_onTheirWay.emplace(ticket, std::move(job));
    m_pool.start([this, ticket, file, decode = m_decoder] {
        static thread_local const bool lowered = lowerThisThread();
        (void)lowered;
        QImage image = decode(file);
        QMetaObject::invokeMethod(
            this, [this, ticket, image = std::move(image)] { deliver(ticket, image); }, Qt::QueuedConnection);
    });
}

void ThumbnailLoader::deliver(quint64 ticket, const QImage& image) {
    const auto it = m_onTheirWay.find(ticket);
    if (it == m_onTheirWay.end())
        return;
    const Job job = std::move(it->second);
    m_onTheirWay.erase(it);
    // An item removed meanwhile, or asked again for another file (a rename), does not take it.
    if (isCurrent(job)) {
        QListWidgetItem* item = m_list->item(job.index.row());
        item->setData(Qt::DecorationRole, QPixmap::fromImage(image));
        item->setData(kThumbnailTicketRole, QVariant());
    }
    startJobs();
}

void ThumbnailLoader::forgetRemoved() {
    std::erase_if(m_waiting, [](const Job& job) { return !job.index.isValid(); });
    reportIfDone();
}

void ThumbnailLoader::reportIfDone() {
    if (m_reported)
        return;
    const auto current = [this](const Job& job) { return isCurrent(job); };
    if (std::any_of(m_waiting.begin(), m_waiting.end(), current))
        return;
    for (const auto& [ticket, job] : m_onTheirWay) {
        if (current(job))
            return;
    }
    m_reported = true;
    emit allShown();
}

bool ThumbnailLoader::waitForAll(int timeoutMs) {
    const QDeadlineTimer deadline =
        timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
    while (pendingCount() > 0) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        connect(this, &ThumbnailLoader::allShown, &loop, &QEventLoop::quit);
        if (!deadline.isForever())
            QTimer::singleShot(std::max<qint64>(deadline.remainingTime(), 1), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace qx::desktop
