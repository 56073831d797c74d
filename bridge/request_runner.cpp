// Requests by automation name: the JSON form, the member table's types and the path rules.
#include "request_runner.h"

#include "bridge_log.h"

#include "qx/interface/dispatch.h"
#include "qx/interface/members.h"

#include <QFileInfo>
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

QString withoutCredentials(const QString& proxy) {
    // Entries are "host:port", "scheme://host:port" or "scheme=host:port", separated by ';'; a user
    // name and password come as "user:password@" before the host.
    QStringList entries = proxy.split(QLatin1Char(';'));
    for (QString& entry : entries) {
        const qsizetype at = entry.lastIndexOf(QLatin1Char('@'));
        if (at < 0)
            continue;
        qsizetype start = 0;
        if (const qsizetype scheme = entry.indexOf(QStringLiteral("://")); scheme >= 0 && scheme < at)
            start = scheme + 3;
        else if (const qsizetype equals = entry.indexOf(QLatin1Char('=')); equals >= 0 && equals < at)
            start = equals + 1;
        entry.remove(start, at + 1 - start);
    }
    return entries.join(QLatin1Char(';'));
}

RequestRunner::RequestRunner(QxDispatch& control, const PathGuard& guard, qint64 maxAnswerBytes,
                             QObject* parent)
    : QObject(parent), m_control(control), m_guard(guard), m_maxAnswerBytes(maxAnswerBytes) {}

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
        if (m_stopping)
            reply = errorAnswer(document.isObject() ? document.object().value(QStringLiteral("id"))
                                                    : QJsonValue(QJsonValue::Null),
                                BridgeError::Failed, QStringLiteral("the bridge is stopping"));
        else if (parseError.error != QJsonParseError::NoError || !document.isObject())
            reply = errorAnswer(QJsonValue(QJsonValue::Null), BridgeError::BadRequest,
                                parseError.error != QJsonParseError::NoError
                                    ? QStringLiteral("not JSON: %1").arg(parseError.errorString())
                                    : QStringLiteral("a request is a JSON object"));
        else
            reply = run(document.object());
        ++m_handled;
        QByteArray text = QJsonDocument(reply).toJson(QJsonDocument::Compact);
        if (text.size() > m_maxAnswerBytes) {
            // A page that asks for a recording's Base64 would otherwise make the bridge hold it
            // several times over while it goes out.
            const QString why = QStringLiteral("the answer of %1 bytes is over the bridge's limit of %2 "
                                               "(MaxAnswerBytes)")
                                    .arg(text.size())
                                    .arg(m_maxAnswerBytes);
            const QJsonObject request = document.object();
            bridgeLog(QStringLiteral("refused %1 %2: %3")
                          .arg(request.value(QStringLiteral("op")).toString(),
                               request.value(QStringLiteral("name")).toString(), why));
            text = QJsonDocument(errorAnswer(reply.value(QStringLiteral("id")), BridgeError::Failed, why))
                       .toJson(QJsonDocument::Compact);
        }
        answer(std::move(text));
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

    return runChecked(id, op, name, *member, std::move(values));
}

QJsonObject RequestRunner::runChecked(const QJsonValue& id, const QString& op, const QString& name,
                                      const automation::Member& member, QVariantList values) {
    const auto propertyValue = [this](const char* property) {
        QVariant value;
        const automation::Member* m = automation::memberByName(property);
        if (m && m_control.get(m->dispid, value) == DispatchStatus::Ok)
            return value.toString();
        return QString();
    };
    GuardVerdict verdict = m_guard.check(op, name, values, propertyValue);
    if (!verdict.refusal.isEmpty()) {
        bridgeLog(QStringLiteral("refused %1 %2: %3").arg(op, name, verdict.refusal));
        return errorAnswer(id, BridgeError::Refused, verdict.refusal);
    }
    // The control is handed the paths as they were checked.
    values = std::move(verdict.args);
    for (const auto& [property, value] : verdict.properties)
        if (const automation::Member* m = automation::memberByName(property.toStdString()))
            m_control.put(m->dispid, value);

    if (op == QLatin1String("call") && name == QLatin1String("GetBase64String")) {
        // Its Base64 would come back only as an answer over the limit: the file is not read at all.
        const qint64 size = QFileInfo(values.first().toString()).size();
        const qint64 encoded = (size + 2) / 3 * 4;
        if (encoded + 64 > m_maxAnswerBytes) {
            const QString why = QStringLiteral("the Base64 of \"%1\" (%2 bytes) would be over the bridge's "
                                               "answer limit of %3 (MaxAnswerBytes)")
                                    .arg(values.first().toString())
                                    .arg(encoded)
                                    .arg(m_maxAnswerBytes);
            bridgeLog(QStringLiteral("refused call GetBase64String: %1").arg(why));
            return errorAnswer(id, BridgeError::Failed, why);
        }
    }

    QVariant result;
    DispatchStatus status = DispatchStatus::Ok;
    if (op == QLatin1String("get"))
        status = m_control.get(member.dispid, result);
    else if (op == QLatin1String("put"))
        status = m_control.put(member.dispid, values.first());
    else
        status = m_control.invoke(member.dispid, values, result);
    if (status != DispatchStatus::Ok)
        return errorAnswer(id, BridgeError::Failed, dispatchStatusText(status));
    if (op == QLatin1String("get")) {
        // The control keeps the proxy's credentials for its uploads; a page gets none of them.
        if (name == QLatin1String("ProxyUser") || name == QLatin1String("ProxyPassword"))
            result = QString();
        else if (name == QLatin1String("strProxyServer"))
            result = withoutCredentials(result.toString());
    }
    QJsonObject reply{{QStringLiteral("id"), id}};
    // A put and a method without a result answer null, so the page still learns it is done.
    const bool hasValue =
        op == QLatin1String("get") || (op == QLatin1String("call") && member.type != ValueType::Void);
    reply.insert(QStringLiteral("result"), hasValue ? toJson(result) : QJsonValue(QJsonValue::Null));
    return reply;
}

} // namespace qx::bridge
