// The control's automation surface: every property and method in DISPID order, with its types.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace qx::automation {

// Automation value types as the type library declares them: BSTR text, 32-bit BOOL, long, short.
enum class ValueType { Void, Bstr, Bool, Long, Short };

enum class MemberKind { Property, Method };

struct Argument {
    ValueType type = ValueType::Void;
    const char* name = nullptr;
};

inline constexpr std::size_t kMaxArguments = 6;

struct Member {
    int dispid;
    const char* name;
    MemberKind kind;
    // A property's type, or the type a method answers with (the dispatch table's, which for a few
    // methods is BOOL where the type library declares long or BSTR).
    ValueType type;
    std::array<Argument, kMaxArguments> args{};
    std::size_t argCount = 0;
};

namespace detail {
constexpr Member property(int dispid, const char* name, ValueType type) {
    return Member{dispid, name, MemberKind::Property, type, {}, 0};
}
template <typename... A> constexpr Member method(int dispid, const char* name, ValueType result, A... args) {
    return Member{dispid, name, MemberKind::Method, result, {args...}, sizeof...(A)};
}
constexpr Argument arg(ValueType type, const char* name) {
    return Argument{type, name};
}
} // namespace detail

inline constexpr int kFirstDispid = 1;
// The surface every container has always called: properties 1..43, then methods 44..82. These
// DISPIDs never move.
inline constexpr int kPropertyCount = 43;
inline constexpr int kMethodCount = 39;
inline constexpr int kOriginalMemberCount = kPropertyCount + kMethodCount;
// Members added since, each with a DISPID of its own after the original 82, in the order they came.
inline constexpr int kAddedMemberCount = 2;
inline constexpr int kMemberCount = kOriginalMemberCount + kAddedMemberCount;

// clang-format off
inline constexpr std::array<Member, kMemberCount> kMembers = [] {
    using namespace detail;
    using enum ValueType;
    return std::array<Member, kMemberCount>{
        property(1, "bIsRecord", Bool),
        property(2, "cPicName", Bstr),
        property(3, "cFileList", Bstr),
        property(4, "mergegap", Bstr),
        property(5, "PhotoFormat", Bstr),
        property(6, "bUploadDel", Bool),
        property(7, "CustomSavePath", Bstr),
        property(8, "WriteLog", Bool),
        property(9, "asfBitRate", Long),
        property(10, "strProxyServer", Bstr),
        property(11, "HttpResponse", Bstr),
        property(12, "ProxyUser", Bstr),
        property(13, "ProxyPassword", Bstr),
        property(14, "Img2Base64", Bstr),
        property(15, "markdown", Bool),
        property(16, "CustomImgName", Bstr),
        property(17, "bDeleteIDBmp", Bool),
        property(18, "sIDInfoChar", Bstr),
        property(19, "idName", Bstr),
        property(20, "idSex", Bstr),
        property(21, "idNation", Bstr),
        property(22, "idBirth", Bstr),
        property(23, "idAddress", Bstr),
        property(24, "idNum", Bstr),
        property(25, "idIssue", Bstr),
        property(26, "idValidity", Bstr),
        property(27, "idBirthYear", Bstr),
        property(28, "idBirthMonth", Bstr),
        property(29, "idBirthDay", Bstr),
        property(30, "strIDHeadData", Bstr),
        property(31, "IDCardImgName", Bstr),
        property(32, "IDHeadImgName", Bstr),
        property(33, "strCardImgSavePath", Bstr),
        property(34, "ImgName", Bstr),
        property(35, "bShowMsgBox", Bool),
        property(36, "pDPI", Short),
        property(37, "nRotateAngle", Short),
        property(38, "nColorSpace", Short),
        property(39, "WndLeft", Short),
        property(40, "WndTop", Short),
        property(41, "WndRight", Short),
        property(42, "WndBottom", Short),
        property(43, "bGB2312Encode", Bool),

        method(44, "setRotate", Void, arg(Long, "angle")),
        method(45, "MorvelNet", Long, arg(Bstr, "ServIp"), arg(Bstr, "ServPort"), arg(Bstr, "UsrName"),
               arg(Bstr, "UsrPasswd"), arg(Bstr, "FtpPath"), arg(Bstr, "FtpFileName")),
        method(46, "ResetFileList", Void),
        method(47, "Morvel", Long, arg(Bstr, "PhotoFormat")),
        method(48, "SendSeal", Long, arg(Bstr, "strURL")),
        method(49, "StartPreviewProc", Long),
        method(50, "StopPreview", Long),
        method(51, "RefreshDevList", Long),
        method(52, "GetDevNameByIdx", Bstr, arg(Short, "idx")),
        method(53, "SetDevNameSel", Short, arg(Short, "cursel")),
        method(54, "KelpoCapturePlay", Void),
        method(55, "MergeImage", Long),
        method(56, "IsMerge", Bool),
        method(57, "SetResolution", Short, arg(Short, "resolutionSel")),
        method(58, "GetResolutionByIdx", Bstr, arg(Short, "idx")),
        method(59, "RefreshResolution", Long, arg(Short, "DevNameSel")),
        method(60, "ConfigCameraFilter", Void),
        method(61, "AddWaterMark", Long),
        method(62, "RefreshImgList", Long, arg(Bstr, "PhotoFormat")),
        method(63, "GetImgNameByIdx", Bstr, arg(Short, "idx")),
        method(64, "DeleteImg", Short, arg(Short, "cursel")),
        method(65, "TransImg", Void),
        method(66, "ScreenCut", Void),
        method(67, "SetOutPutDPI", Void, arg(Short, "x"), arg(Short, "y")),
        method(68, "SetCropMargin", Void, arg(Short, "range")),
        method(69, "ManualToAuto", Void),
        method(70, "VideoRecord", Long, arg(Bstr, "VideoPath")),
        method(71, "DisableCrop", Void),
        method(72, "GetBase64String", Bool, arg(Bstr, "Img")),
        method(73, "DeleteImgByName", Short, arg(Bstr, "Img")),
        method(74, "IDCardRead", Bool, arg(Bstr, "m_strBmpPath")),
        method(75, "HttpSendIDCard", Bool, arg(Bstr, "strURL")),
        method(76, "HttpSendIDCHeadImg", Bool, arg(Bstr, "strURL")),
        method(77, "UploadLocalImg", Short, arg(Bstr, "strURL")),
        method(78, "SelectLocalImgs", Bool),
        method(79, "GetLocalImgName", Bstr, arg(Short, "index")),
        method(80, "RemoveLocalImg", Short, arg(Short, "index")),
        method(81, "RefreshLocalImg", Short),
        method(82, "TifTool", Void),

        // The TLS check of uploads to https servers (initially from OCXConfig.ini).
        property(83, "strTlsCaFile", Bstr),
        property(84, "bTlsVerify", Bool),
    };
}();
// clang-format on

// The member of `dispid`, or nullptr when no member has it.
constexpr const Member* memberByDispid(int dispid) {
    if (dispid < kFirstDispid || dispid >= kFirstDispid + kMemberCount)
        return nullptr;
    return &kMembers[static_cast<std::size_t>(dispid - kFirstDispid)];
}

// The member named `name` (exact spelling), or nullptr.
constexpr const Member* memberByName(std::string_view name) {
    for (const Member& m : kMembers)
        if (name == m.name)
            return &m;
    return nullptr;
}

static_assert(
    [] {
        for (std::size_t i = 0; i < kMembers.size(); ++i)
            if (kMembers[i].dispid != static_cast<int>(i) + kFirstDispid)
                return false;
        return true;
    }(),
    "DISPIDs must run from 1 without gaps");
static_assert(kMembers[kPropertyCount - 1].kind == MemberKind::Property &&
              kMembers[kPropertyCount].kind == MemberKind::Method);

} // namespace qx::automation
