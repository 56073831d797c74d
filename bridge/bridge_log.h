// The bridge's log: lines on standard error, which the session's journal keeps when systemd runs it.
#pragma once

#include <QString>

namespace qx::bridge {

void bridgeLog(const QString& text);

} // namespace qx::bridge
