// Registration identity of the camera control: class, interface and type-library ids, ProgID, version.
#pragma once

namespace qx::identity {

inline constexpr const char* kControlClsid = "{8A3ACF7C-EAE9-41AD-AA5B-108B19B73A68}";
inline constexpr const char* kCoclassName = "MorvelQxWeb";
inline constexpr const char* kProgId = "QXCAMERA.QXCameraCtrl.1";
inline constexpr const char* kDispatchIid = "{56E29921-F363-4FC6-ADF5-0C307B58A65D}";
inline constexpr const char* kDispatchName = "_DMorvelQxWeb";
inline constexpr const char* kDispatchHelp = "Dispatch interface for QXCamera Control";
inline constexpr const char* kEventIid = "{8A22F2B7-8923-448C-8979-9ADDAF163688}";
inline constexpr const char* kEventName = "_DMorvelQxWebEvents";
inline constexpr const char* kEventHelp = "Event interface for QXCamera Control";
inline constexpr const char* kTypeLibId = "{6A03C887-A441-4D3C-886D-511CF4390684}";
inline constexpr const char* kTypeLibName = "MORVELQXWEBLib";
inline constexpr const char* kTypeLibHelp = "QXCamera ActiveX Control module";
inline constexpr const char* kPropertyPageClsid = "{84341001-C090-43FF-8072-AAEE0FE6626A}";
inline constexpr const char* kPropertyPageProgId = "MORVELQXWEB.MorvelQxWebPropPage.1";
inline constexpr const char* kTypeName = "MorvelQxWeb Control";
inline constexpr const char* kPropertyPageName = "MorvelQxWeb Property Page";
inline constexpr const char* kPropertyPageCaption = "General";
inline constexpr const char* kVersion = "1.4.0.0";
inline constexpr int kTypeLibVersionMajor = 1;
inline constexpr int kTypeLibVersionMinor = 0;
inline constexpr unsigned kMiscStatus = 0x20191;

// Interface ids the control answers to, for the safety-option queries.
inline constexpr const char* kIidIUnknown = "{00000000-0000-0000-C000-000000000046}";
inline constexpr const char* kIidIDispatch = "{00020400-0000-0000-C000-000000000046}";
inline constexpr const char* kIidIObjectSafety = "{CB5BDC81-93C1-11CF-8F20-00805F2CD064}";

} // namespace qx::identity
