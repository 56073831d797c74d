// The control's automation properties with their defaults: plain stored values, set by containers.
#pragma once

#include "qx/interface/automation_surface.h"

#include <QString>

namespace qx::control {

// One field per property of the automation surface, named and typed as the list says.
struct ControlProperties {
#define QX_PROPERTY_FIELD(dispid, name, Name, ValueType, CppType, ParamType, def) CppType name = def;
    QX_AUTOMATION_PROPERTIES(QX_PROPERTY_FIELD)
#undef QX_PROPERTY_FIELD
};

} // namespace qx::control
