// Binds the automation member table to a meta-object and converts values at the dispatch edge.
#include "qx/interface/dispatch.h"

#include <QMetaObject>
#include <array>

namespace qx {

using automation::MemberKind;
using automation::ValueType;

QString dispatchStatusText(DispatchStatus status) {
    switch (status) {
    case DispatchStatus::Ok:
        return QStringLiteral("ok");
    case DispatchStatus::UnknownDispid:
        return QStringLiteral("no member has this DISPID");
    case DispatchStatus::WrongKind:
        return QStringLiteral("the member is not of the kind called for (property or method)");
    case DispatchStatus::BadArgumentCount:
        return QStringLiteral("wrong number of arguments");
    case DispatchStatus::BadArgumentType:
        return QStringLiteral("an argument cannot be converted to the member's type");
    case DispatchStatus::Unbound:
        return QStringLiteral("the object does not implement this member");
    }
    return QStringLiteral("unknown status");
}

QMetaType metaTypeOf(ValueType type) {
    switch (type) {
    case ValueType::Void:
        return QMetaType(QMetaType::Void);
    case ValueType::Bstr:
        return QMetaType(QMetaType::QString);
    case ValueType::Bool:
        return QMetaType(QMetaType::Bool);
    case ValueType::Long:
        return QMetaType(QMetaType::Int);
    case ValueType::Short:
        return QMetaType(QMetaType::Short);
    }
    return QMetaType();
}

namespace {

QByteArray signatureOf(const automation::Member& m) {
    QByteArray sig(m.name);
    sig += '(';
    for (std::size_t i = 0; i < m.argCount; ++i) {
        if (i)
            sig += ',';
        sig += metaTypeOf(m.args[i].type).name();
    }
    sig += ')';
    return QMetaObject::normalizedSignature(sig.constData());
}

// Converts like VariantChangeType: an empty value becomes the type's zero value, text and numbers
// convert both ways, anything else that does not convert is a type mismatch.
bool convertTo(QVariant& v, QMetaType type) {
    if (!v.isValid() || v.isNull()) {
        v = QVariant(type);
        return true;
    }
    if (v.metaType() == type)
        return true;
    if (type.id() == QMetaType::Bool && v.metaType().id() == QMetaType::QString) {
        // "TRUE"/"FALSE" and numbers are the texts a script may pass for a BOOL.
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
            v = true;
            return true;
        }
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
            v = false;
            return true;
        }
        bool ok = false;
        const double d = s.toDouble(&ok);
        if (!ok)
            return false;
        v = d != 0.0;
        return true;
    }
    if ((type.id() == QMetaType::Int || type.id() == QMetaType::Short) &&
        v.metaType().id() == QMetaType::QString) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        if (!ok)
            return false;
        v = d;
    }
    if (!v.canConvert(type))
        return false;
    return v.convert(type);
}

} // namespace

MetaObjectDispatcher::MetaObjectDispatcher(QObject* target) : m_target(target) {
    const QMetaObject* mo = target->metaObject();
    m_bindings.resize(automation::kMembers.size());
    for (std::size_t i = 0; i < automation::kMembers.size(); ++i) {
        const automation::Member& m = automation::kMembers[i];
        Binding& b = m_bindings[i];
        if (m.kind == MemberKind::Property) {
            const int idx = mo->indexOfProperty(m.name);
            if (idx >= 0 && mo->property(idx).metaType() == metaTypeOf(m.type))
                b.propertyIndex = idx;
        } else {
            const int idx = mo->indexOfMethod(signatureOf(m).constData());
            if (idx >= 0 && mo->method(idx).returnMetaType() == metaTypeOf(m.type))
                b.methodIndex = idx;
        }
    }
}

QStringList MetaObjectDispatcher::unboundMembers() const {
    QStringList out;
    for (std::size_t i = 0; i < m_bindings.size(); ++i)
        if (m_bindings[i].propertyIndex < 0 && m_bindings[i].methodIndex < 0)
            out << QString::fromLatin1(automation::kMembers[i].name);
    return out;
}

DispatchStatus MetaObjectDispatcher::resolve(int dispid, MemberKind kind, const automation::Member*& member,
                                             int& index) const {
    member = automation::memberByDispid(dispid);
    if (!member)
        return DispatchStatus::UnknownDispid;
    if (member->kind != kind)
        return DispatchStatus::WrongKind;
    // The table may have gaps after the original members: the binding is found by the member's place.
    const Binding& b = m_bindings[static_cast<std::size_t>(member - automation::kMembers.data())];
    index = kind == MemberKind::Property ? b.propertyIndex : b.methodIndex;
    return index < 0 ? DispatchStatus::Unbound : DispatchStatus::Ok;
}

DispatchStatus MetaObjectDispatcher::get(int dispid, QVariant& value) {
    const automation::Member* m = nullptr;
    int index = -1;
    if (const DispatchStatus s = resolve(dispid, MemberKind::Property, m, index); s != DispatchStatus::Ok)
        return s;
    value = m_target->metaObject()->property(index).read(m_target);
    return DispatchStatus::Ok;
}

DispatchStatus MetaObjectDispatcher::put(int dispid, const QVariant& value) {
    const automation::Member* m = nullptr;
    int index = -1;
    if (const DispatchStatus s = resolve(dispid, MemberKind::Property, m, index); s != DispatchStatus::Ok)
        return s;
    QVariant v = value;
    if (!convertTo(v, metaTypeOf(m->type)))
        return DispatchStatus::BadArgumentType;
    m_target->metaObject()->property(index).write(m_target, v);
    return DispatchStatus::Ok;
}

DispatchStatus MetaObjectDispatcher::invoke(int dispid, const QVariantList& args, QVariant& result) {
    const automation::Member* m = nullptr;
    int index = -1;
    if (const DispatchStatus s = resolve(dispid, MemberKind::Method, m, index); s != DispatchStatus::Ok)
        return s;
    if (static_cast<std::size_t>(args.size()) != m->argCount)
        return DispatchStatus::BadArgumentCount;

    std::array<QVariant, automation::kMaxArguments> converted;
    std::array<void*, automation::kMaxArguments + 1> argv{};
    for (std::size_t i = 0; i < m->argCount; ++i) {
        converted[i] = args[static_cast<qsizetype>(i)];
        if (!convertTo(converted[i], metaTypeOf(m->args[i].type)))
            return DispatchStatus::BadArgumentType;
        argv[i + 1] = converted[i].data();
    }
    QVariant ret;
    if (m->type != ValueType::Void) {
        ret = QVariant(metaTypeOf(m->type));
        argv[0] = ret.data();
    }
    QMetaObject::metacall(m_target, QMetaObject::InvokeMetaMethod, index, argv.data());
    result = ret;
    return DispatchStatus::Ok;
}

} // namespace qx
