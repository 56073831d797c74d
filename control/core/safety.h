// The control's answers to the scripting-safety queries of a container.
#pragma once

#include <QString>
#include <cstdint>

namespace qx::control {

inline constexpr uint32_t kS_OK = 0x00000000u;
inline constexpr uint32_t kE_FAIL = 0x80004005u;
inline constexpr uint32_t kE_NOINTERFACE = 0x80004002u;

// Safe for untrusted callers (1) and for untrusted data (2).
inline constexpr uint32_t kSafeOptions = 0x3u;

// Reports kSafeOptions as supported and enabled for any interface; answers kS_OK.
uint32_t GetInterfaceSafetyOptions(const QString& iid, uint32_t* supported, uint32_t* enabled);
// kE_NOINTERFACE for an interface the control lacks; kS_OK when `mask` holds no bit above the two low
// bits and every bit of `mask` is also in `enabled`; kE_FAIL otherwise.
uint32_t SetInterfaceSafetyOptions(const QString& iid, uint32_t mask, uint32_t enabled);

// Whether the control answers to the interface `iid` ("{...}" text, any case).
bool controlHasInterface(const QString& iid);

} // namespace qx::control
