// Requests by automation name: the JSON form, the member table's types and the path rules.
#include "request_runner.h"

#include "bridge_log.h"

#include "qx/interface/dispatch.h"
#include "qx/interface/members.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QPointer>
#include <cmath>
#include <limits>

namespace qx::bridge {

namespace {

using automation::ValueType;

bool toArgument(const QJsonValue& json, ValueType type, QVariant& out) {
    switch (type) {
    case ValueType::Bstr:
        if (!json.isString())
            return false;
        out = json.toString();
        return true;
    case ValueType::Bool:
        if (json.isBool()) {
            out = json.toBool();
            return true;
        }
        if (json.isDouble() && (json.toDouble() == 0 || json.toDouble() == 1)) {
            out = json.toDouble() != 0;
            return true;
        }
        return false;
    case ValueType::Long:
    case ValueType::Short: {
        if (!json.isDouble())
            return false;
        const double n = json.toDouble();
        const double low =
            type == ValueType::Long ? std::numeric_limits<qint32>::min() : std::numeric_limits<qint16>::min();
        const double high =
            type == ValueType::Long ? std::numeric_limits<qint32>::max() : std::numeric_limits<qint16>::max();
        if (std::trunc(n) != n || n < low || n > high)
            return false;
        if (type == ValueType::Long)
            out = static_cast<int>(n);
        else
            out = QVariant::fromValue(static_cast<short>(n));
        return true;
    }
    case ValueType::Void:
        break;
    }
    return false;
}

const char* typeName(ValueType type) {
    switch (type) {
    case ValueType::Bstr:
        return "a string";
    case ValueType::Bool:
        return "a boolean";
    case ValueType::Long:
        return "a 32-bit integer";
    case ValueType::Short:
        return "a 16-bit integer";
    case ValueType::Void:
        break;
    }
    return "nothing";
}

QJsonValue toJson(const QVariant& value) {
    if (!value.isValid())
        return QJsonValue(QJsonValue::Null);
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
        return value.toInt();
    default:
        return value.toString();
    }
}

} // namespace

QJsonObject errorAnswer(const QJsonValue& id, BridgeError code, const QString& message) {
    QJsonObject error{{QStringLiteral("code"), static_cast<int>(code)}, {QStringLiteral("message"), message}};
    return QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("error"), error}};
}

RequestRunner::RequestRunner(QxDispatch& control, const PathGuard& guard, QObject* parent)
    : QObject(parent), m_control(control), m_guard(guard) {}

void RequestRunner::submit(const QByteArray& message, Answer answer) {
    m_queue.emplace_back(message, std::move(answer));
    if (!m_running)
        drain();
}

void RequestRunner::drain() {
    m_running = true;
    while (!m_queue.empty()) {
        auto [message, answer] = std::move(m_queue.front());
        m_queue.pop_front();
        QJsonParseError parseError{};
        const QJsonDocument document = QJsonDocument::fromJson(message, &parseError);
        QJsonObject reply;
        if (parseError.error != QJsonParseError::NoError || !document.isObject())
            reply = errorAnswer(QJsonValue(QJsonValue::Null), BridgeError::BadRequest,
                                parseError.error != QJsonParseError::NoError
                                    ? QStringLiteral("not JSON: %1").arg(parseError.errorString())
                                    : QStringLiteral("a request is a JSON object"));
        else
            reply = run(document.object());
        ++m_handled;
        answer(std::move(reply));
    }
    m_running = false;
}

QJsonObject RequestRunner::run(const QJsonObject& request) {
    const QJsonValue id = request.value(QStringLiteral("id"));
    const QString op = request.value(QStringLiteral("op")).toString();
    const QString name = request.value(QStringLiteral("name")).toString();
    const QJsonValue argsValue = request.value(QStringLiteral("args"));
    if (op != QLatin1String("get") && op != QLatin1String("put") && op != QLatin1String("call"))
        return errorAnswer(id, BridgeError::BadRequest,
                           QStringLiteral("op must be \"get\", \"put\" or \"call\""));
    if (!argsValue.isUndefined() && !argsValue.isArray())
        return errorAnswer(id, BridgeError::BadRequest, QStringLiteral("args must be an array"));
    const QJsonArray args = argsValue.toArray();

    const automation::Member* member = automation::memberByName(name.toStdString());
    if (!member)
        return errorAnswer(id, BridgeError::UnknownMember,
                           QStringLiteral("the control has no member \"%1\"").arg(name));
    const bool isMethod = member->kind == automation::MemberKind::Method;
    if (isMethod != (op == QLatin1String("call")))
        return errorAnswer(id, BridgeError::WrongKind,
                           isMethod ? QStringLiteral("%1 is a method: call it").arg(name)
                                    : QStringLiteral("%1 is a property: get or put it").arg(name));

    // The argument types: a method's own, or for a put the property's type once.
    std::vector<ValueType> types;
    if (isMethod)
        for (std::size_t i = 0; i < member->argCount; ++i)
            types.push_back(member->args[i].type);
    else if (op == QLatin1String("put"))
        types.push_back(member->type);
    if (args.size() != static_cast<qsizetype>(types.size()))
        return errorAnswer(
            id, BridgeError::BadArguments,
            QStringLiteral("%1 takes %2 argument(s), %3 given").arg(name).arg(types.size()).arg(args.size()));
    QVariantList values;
    for (std::size_t i = 0; i < types.size(); ++i) {
        QVariant value;
        if (!toArgument(args[static_cast<qsizetype>(i)], types[i], value))
            return errorAnswer(id, BridgeError::BadArguments,
                               QStringLiteral("argument %1 of %2 must be %3")
                                   .arg(i + 1)
                                   .arg(name)
                                   .arg(QLatin1String(typeName(types[i]))));
        values << value;
    }

    const QString refusal = m_guard.refusal(op, name, values, [this](const char* property) {
        QVariant value;
        const automation::Member* m = automation::memberByName(property);
        if (m && m_control.get(m->dispid, value) == DispatchStatus::Ok)
            return value.toString();
        return QString();
    });
    if (!refusal.isEmpty()) {
        bridgeLog(QStringLiteral("refused %1 %2: %3").arg(op, name, refusal));
        return errorAnswer(id, BridgeError::Refused, refusal);
    }

    QVariant result;
    DispatchStatus status = DispatchStatus::Ok;
    if (op == QLatin1String("get"))
        status = m_control.get(member->dispid, result);
    else if (op == QLatin1String("put"))
        status = m_control.put(member->dispid, values.first());
    else
        status = m_control.invoke(member->dispid, values, result);
    if (status != DispatchStatus::Ok)
        return errorAnswer(id, BridgeError::Failed, dispatchStatusText(status));
    QJsonObject reply{{QStringLiteral("id"), id}};
    // A put and a method without a result answer null, so the page still learns it is done.
    const bool hasValue =
        op == QLatin1String("get") || (op == QLatin1String("call") && member->type != ValueType::Void);
    reply.insert(QStringLiteral("result"), hasValue ? toJson(result) : QJsonValue(QJsonValue::Null));
    return reply;
}

} // namespace qx::bridge
