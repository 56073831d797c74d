// Calls by DISPID: the dispatch interface a container uses and the meta-object binding behind it.
#pragma once

#include "qx/interface/members.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <vector>

namespace qx {

enum class DispatchStatus {
    Ok,
    UnknownDispid, // no member has this DISPID (DISP_E_MEMBERNOTFOUND)
    WrongKind,     // a get or put of a method, or an invoke of a property
    BadArgumentCount,
    BadArgumentType, // an argument that cannot be converted to the member's type (DISP_E_TYPEMISMATCH)
    Unbound,         // the object has no meta-object member for this DISPID
};

QString dispatchStatusText(DispatchStatus status);

// What a container calls. Values are QVariants of the automation types: QString for BSTR, bool for
// BOOL, int for long, short for short; arguments are converted to the member's types.
class QxDispatch {
public:
    virtual ~QxDispatch() = default;
    virtual DispatchStatus get(int dispid, QVariant& value) = 0;
    virtual DispatchStatus put(int dispid, const QVariant& value) = 0;
    virtual DispatchStatus invoke(int dispid, const QVariantList& args, QVariant& result) = 0;
};

// The Qt meta type of an automation value type (QMetaType::Void for Void).
QMetaType metaTypeOf(automation::ValueType type);

// Binds the member table to the meta-object of one object by name and calls through it.
// The object is borrowed and must outlive the dispatcher.
class MetaObjectDispatcher : public QxDispatch {
public:
    explicit MetaObjectDispatcher(QObject* target);

    DispatchStatus get(int dispid, QVariant& value) override;
    DispatchStatus put(int dispid, const QVariant& value) override;
    DispatchStatus invoke(int dispid, const QVariantList& args, QVariant& result) override;

    // Members of the table that found no meta-object member of their name and types; empty when the
    // object implements the whole surface.
    QStringList unboundMembers() const;

private:
    struct Binding {
        int propertyIndex = -1;
        int methodIndex = -1;
    };
    DispatchStatus resolve(int dispid, automation::MemberKind kind, const automation::Member*& member,
                           int& index) const;

    QObject* m_target;
    std::vector<Binding> m_bindings;
};

} // namespace qx

#define QxDispatch_iid "QXCAMERA.QxDispatch/1.0"
Q_DECLARE_INTERFACE(qx::QxDispatch, QxDispatch_iid)
