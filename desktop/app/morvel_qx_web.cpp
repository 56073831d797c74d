// The wrapper's calls: conversions between automation values and C++ types around the DISPID calls.
#include "qx/desktop/morvel_qx_web.h"

#include "qx/interface/members.h"

#include <QDebug>
#include <string_view>

namespace qx::desktop {

void CMorvelQxWeb::note(DispatchStatus status, int dispid) {
    m_lastStatus = status;
    if (status != DispatchStatus::Ok) {
        const automation::Member* m = automation::memberByDispid(dispid);
        qWarning().noquote() << "QX_Camera: the control did not answer" << (m ? m->name : "?") << '('
                             << dispid << "):" << dispatchStatusText(status);
    }
}

DispatchStatus CMorvelQxWeb::get(int dispid, QVariant& value) {
    const DispatchStatus s = m_dispatch ? m_dispatch->get(dispid, value) : DispatchStatus::Unbound;
    m_lastStatus = s;
    return s;
}

DispatchStatus CMorvelQxWeb::put(int dispid, const QVariant& value) {
    const DispatchStatus s = m_dispatch ? m_dispatch->put(dispid, value) : DispatchStatus::Unbound;
    m_lastStatus = s;
    return s;
}

DispatchStatus CMorvelQxWeb::invoke(int dispid, const QVariantList& args, QVariant& result) {
    const DispatchStatus s = m_dispatch ? m_dispatch->invoke(dispid, args, result) : DispatchStatus::Unbound;
    m_lastStatus = s;
    return s;
}

template <typename T> T CMorvelQxWeb::getAs(int dispid) {
    QVariant value;
    const DispatchStatus s = get(dispid, value);
    note(s, dispid);
    return s == DispatchStatus::Ok ? value.value<T>() : T{};
}

void CMorvelQxWeb::putValue(int dispid, const QVariant& value) {
    note(put(dispid, value), dispid);
}

template <typename T> T CMorvelQxWeb::invokeAs(int dispid, const QVariantList& args) {
    QVariant result;
    const DispatchStatus s = invoke(dispid, args, result);
    note(s, dispid);
    if constexpr (std::is_void_v<T>)
        return;
    else
        return s == DispatchStatus::Ok ? result.value<T>() : T{};
}

#define QX_WRAPPER_PROPERTY(dispid, name, Name, ValueType, CppType, ParamType, def)                          \
    CppType CMorvelQxWeb::Get##Name() {                                                                      \
        return getAs<CppType>(dispid);                                                                       \
    }                                                                                                        \
    void CMorvelQxWeb::Set##Name(ParamType value) {                                                          \
        putValue(dispid, QVariant::fromValue(value));                                                        \
    }
#define QX_WRAPPER_METHOD0(dispid, name, ValueType, CppType)                                                 \
    CppType CMorvelQxWeb::name() {                                                                           \
        return invokeAs<CppType>(dispid, {});                                                                \
    }
#define QX_WRAPPER_METHOD1(dispid, name, ValueType, CppType, A1, P1, a1)                                     \
    CppType CMorvelQxWeb::name(P1 a1) {                                                                      \
        return invokeAs<CppType>(dispid, {QVariant::fromValue(a1)});                                         \
    }
#define QX_WRAPPER_METHOD2(dispid, name, ValueType, CppType, A1, P1, a1, A2, P2, a2)                         \
    CppType CMorvelQxWeb::name(P1 a1, P2 a2) {                                                               \
        return invokeAs<CppType>(dispid, {QVariant::fromValue(a1), QVariant::fromValue(a2)});                \
    }
#define QX_WRAPPER_METHOD6(dispid, name, ValueType, CppType, A1, P1, a1, A2, P2, a2, A3, P3, a3, A4, P4, a4, \
                           A5, P5, a5, A6, P6, a6)                                                           \
    CppType CMorvelQxWeb::name(P1 a1, P2 a2, P3 a3, P4 a4, P5 a5, P6 a6) {                                   \
        return invokeAs<CppType>(dispid, {QVariant::fromValue(a1), QVariant::fromValue(a2),                  \
                                          QVariant::fromValue(a3), QVariant::fromValue(a4),                  \
                                          QVariant::fromValue(a5), QVariant::fromValue(a6)});                \
    }
QX_AUTOMATION_PROPERTIES(QX_WRAPPER_PROPERTY)
QX_AUTOMATION_METHODS(QX_WRAPPER_METHOD0, QX_WRAPPER_METHOD1, QX_WRAPPER_METHOD2, QX_WRAPPER_METHOD6)
#undef QX_WRAPPER_PROPERTY
#undef QX_WRAPPER_METHOD0
#undef QX_WRAPPER_METHOD1
#undef QX_WRAPPER_METHOD2
#undef QX_WRAPPER_METHOD6

} // namespace qx::desktop
