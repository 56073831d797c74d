// CMorvelQxWeb: the desktop program's wrapper of the camera control, one typed call per member, by DISPID.
#pragma once

#include "qx/interface/automation_surface.h"
#include "qx/interface/dispatch.h"

#include <QString>
#include <QVariant>
#include <type_traits>

namespace qx::desktop {

// Every call goes through the control's dispatch interface by DISPID, as a container reaches an
// automation control; nothing of the control's own code is linked. A call the control does not
// answer (no control, or a member it lacks) gives the type's zero value and is remembered in
// lastStatus(), so a missing member never ends the program.
class CMorvelQxWeb : public QxDispatch {
public:
    CMorvelQxWeb() = default;
    // `dispatch` is borrowed and must outlive the calls; null until the control exists.
    explicit CMorvelQxWeb(QxDispatch* dispatch) : m_dispatch(dispatch) {}

    void attach(QxDispatch* dispatch) { m_dispatch = dispatch; }
    QxDispatch* dispatch() const { return m_dispatch; }
    DispatchStatus lastStatus() const { return m_lastStatus; }

    // The untyped calls, for the script hook; they forward to the control.
    DispatchStatus get(int dispid, QVariant& value) override;
    DispatchStatus put(int dispid, const QVariant& value) override;
    DispatchStatus invoke(int dispid, const QVariantList& args, QVariant& result) override;

    // One typed call per member of the surface's one list (qx/interface/automation_surface.h):
    // GetName/SetName per property, each method by its own name, all by the member's DISPID.
#define QX_WRAPPER_PROPERTY(dispid, name, Name, ValueType, CppType, ParamType, def)                          \
    CppType Get##Name() {                                                                                    \
        return getAs<CppType>(dispid);                                                                       \
    }                                                                                                        \
    void Set##Name(ParamType value) {                                                                        \
        putValue(dispid, QVariant::fromValue(value));                                                        \
    }
#define QX_WRAPPER_METHOD0(dispid, name, ValueType, CppType)                                                 \
    CppType name() {                                                                                         \
        return invokeAs<CppType>(dispid, {});                                                                \
    }
#define QX_WRAPPER_METHOD1(dispid, name, ValueType, CppType, A1, P1, a1)                                     \
    CppType name(P1 a1) {                                                                                    \
        return invokeAs<CppType>(dispid, {QVariant::fromValue(a1)});                                         \
    }
#define QX_WRAPPER_METHOD2(dispid, name, ValueType, CppType, A1, P1, a1, A2, P2, a2)                         \
    CppType name(P1 a1, P2 a2) {                                                                             \
        return invokeAs<CppType>(dispid, {QVariant::fromValue(a1), QVariant::fromValue(a2)});                \
    }
#define QX_WRAPPER_METHOD6(dispid, name, ValueType, CppType, A1, P1, a1, A2, P2, a2, A3, P3, a3, A4, P4, a4, \
                           A5, P5, a5, A6, P6, a6)                                                           \
    CppType name(P1 a1, P2 a2, P3 a3, P4 a4, P5 a5, P6 a6) {                                                 \
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

private:
    template <typename T> T getAs(int dispid) {
        QVariant value;
        const DispatchStatus s = get(dispid, value);
        note(s, dispid);
        return s == DispatchStatus::Ok ? value.value<T>() : T{};
    }
    void putValue(int dispid, const QVariant& value) {
        note(put(dispid, value), dispid);
    }
    template <typename T> T invokeAs(int dispid, const QVariantList& args) {
        QVariant result;
        const DispatchStatus s = invoke(dispid, args, result);
        note(s, dispid);
        if constexpr (std::is_void_v<T>)
            return;
        else
            return s == DispatchStatus::Ok ? result.value<T>() : T{};
    }
    void note(DispatchStatus status, int dispid);

    QxDispatch* m_dispatch = nullptr;
    DispatchStatus m_lastStatus = DispatchStatus::Ok;
};

} // namespace qx::desktop
