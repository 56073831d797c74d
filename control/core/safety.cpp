// Safety-option answers: the control declares itself safe for scripting and initialisation.
#include "control/core/safety.h"

#include "qx/interface/identity.h"

namespace qx::control {

bool controlHasInterface(const QString& iid) {
    for (const char* known : {identity::kIidIUnknown, identity::kIidIDispatch, identity::kDispatchIid,
                              identity::kIidIObjectSafety})
        if (iid.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

uint32_t GetInterfaceSafetyOptions(const QString&, uint32_t* supported, uint32_t* enabled) {
    if (supported)
        *supported = kSafeOptions;
    if (enabled)
        *enabled = kSafeOptions;
    return kS_OK;
}

uint32_t SetInterfaceSafetyOptions(const QString& iid, uint32_t mask, uint32_t enabled) {
    if (!controlHasInterface(iid))
        return kE_NOINTERFACE;
    if ((mask & ~kSafeOptions) == 0 && (mask & enabled) == mask)
        return kS_OK;
    return kE_FAIL;
}

} // namespace qx::control
