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

} // namespace qx::desktop
