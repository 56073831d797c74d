// Runs the clients' requests against the control, one at a time and in the order they came.
#pragma once

#include "path_guard.h"

#include <QJsonObject>
#include <QObject>
#include <deque>
#include <functional>

namespace qx {
class QxDispatch;
namespace automation {
struct Member;
}
} // namespace qx

namespace qx::bridge {

// Error codes of the answers, as the README lists them.
enum class BridgeError {
    BadRequest = 1,    // not a JSON object of the request form
    UnknownMember = 2, // no property or method of that name
    WrongKind = 3,     // a get or put of a method, a call of a property
    BadArguments = 4,  // wrong number or types of arguments
    Refused = 5,       // a path outside the capture folders
    Failed = 6,        // the control could not run it
};

QJsonObject errorAnswer(const QJsonValue& id, BridgeError code, const QString& message);

// Lives on the control's thread. A capture waits for its frame with events flowing, and a card read
// or an upload keeps events flowing while it works, so a request posted meanwhile arrives inside the
// running one: it waits in the queue instead of reaching the control halfway through a call.
class RequestRunner : public QObject {
public:
    // The answer as JSON text.
    using Answer = std::function<void(QByteArray answer)>;

    // Answers longer than `maxAnswerBytes` are refused (error 6) rather than sent.
    RequestRunner(QxDispatch& control, const PathGuard& guard, qint64 maxAnswerBytes,
                  QObject* parent = nullptr);

    // `message` is the client's text as received; `answer` is called on this thread when it is done.
    void submit(const QByteArray& message, Answer answer);
    // The answer to one parsed request (also used directly by tests and the bridge itself).
    QJsonObject run(const QJsonObject& request);
    // The bridge is stopping: requests still waiting are answered with error 6 instead of being run.
    void stop() { m_stopping = true; }

    qint64 handled() const { return m_handled; }

private:
    void drain();
    QJsonObject runChecked(const QJsonValue& id, const QString& op, const QString& name,
                           const automation::Member& member, QVariantList values);

    QxDispatch& m_control;
    const PathGuard& m_guard;
    qint64 m_maxAnswerBytes;
    std::deque<std::pair<QByteArray, Answer>> m_queue;
    bool m_running = false;
    bool m_stopping = false;
    qint64 m_handled = 0;
};

// A proxy setting as a page may see it: "user:password@" taken out of every entry.
QString withoutCredentials(const QString& proxy);

} // namespace qx::bridge
