// ThumbnailLoader: the list's thumbnails decoded on worker threads, handed to their items on the UI thread.
#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QThreadPool>
#include <deque>
#include <functional>
#include <unordered_map>

class QListWidget;
class QListWidgetItem;

namespace qx::desktop {

// The item data that holds the ticket of the thumbnail an item waits for; absent once it is shown.
inline constexpr int kThumbnailTicketRole = Qt::UserRole + 1;

class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    using Decoder = std::function<QImage(const QString& file)>;

    // Borrows the list; its items get their thumbnails as decoration. The list may go first.
    explicit ThumbnailLoader(QListWidget& list, QObject* parent = nullptr);
    // Drops the thumbnails not yet begun and waits for those being decoded (one per worker).
    ~ThumbnailLoader() override;

    // The item shows no thumbnail (the list draws the empty box) until that of `file` arrives. A new
    // request for an item replaces its earlier one, whose thumbnail it then never gets. Decodes start
    // from the event loop, items in view first, the others in the order they were asked for; with
    // Start::Now the decode goes to a free worker at once (a capture's, which the clerk waits for).
    enum class Start { FromEventLoop, Now };
    void request(QListWidgetItem* item, const QString& file, Start start = Start::FromEventLoop);
    // Whether `item` still waits for its thumbnail.
    static bool isPending(const QListWidgetItem* item);
    // The items of the list still waiting for their thumbnails.
    int pendingCount() const;
    // Keeps the events going until every item of the list shows its thumbnail, at most `timeoutMs`;
    // whether they all do.
    bool waitForAll(int timeoutMs);

    // How a thumbnail is made, on a worker thread; makeThumbnailImage until set. It must be safe to
    // call from several threads at once.
    void setDecoder(Decoder decoder);
    // The worker threads (one per core, at most four, until set), and how many thumbnails may be on
    // their way at once (decoding or decoded and not yet handed over): two per worker, so a list of
    // any length holds no more decoded pictures than that.
    void setWorkerCount(int count);
    int workerCount() const { return m_pool.maxThreadCount(); }
    int maxOnTheirWay() const { return m_maxOnTheirWay; }
    // The thumbnails on their way now, those of items gone or asked again included.
    int onTheirWay() const { return int(m_onTheirWay.size()); }

signals:
    // Every item of the list shows its thumbnail.
    void allShown();

private:
    struct Job {
        quint64 ticket = 0;
        QPersistentModelIndex index;
        QString file;
    };
    bool isCurrent(const Job& job) const;
    void postStart();
    void startJobs();
    std::deque<Job>::iterator nextJob();
    bool hasRoom() const;
    void submit(Job job);
    void deliver(quint64 ticket, const QImage& image);
    void forgetRemoved();
    void reportIfDone();

    QPointer<QListWidget> m_list;
    Decoder m_decoder;
    std::deque<Job> m_waiting;                     // not yet handed to a worker, in request order
    std::unordered_map<quint64, Job> m_onTheirWay; // handed to a worker, not yet delivered
    quint64 m_lastTicket = 0;
    int m_maxOnTheirWay = 2;
    bool m_startPosted = false;
    bool m_reported = true;
    // Declared last so it is destroyed first: no worker is left running while the rest goes.
    QThreadPool m_pool;
};

} // namespace qx::desktop
