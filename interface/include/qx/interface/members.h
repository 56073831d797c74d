// The control's automation surface: every property and method in DISPID order, with its types.
#pragma once

#include "qx/interface/automation_surface.h"

#include <algorithm>
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

namespace detail {
#define QX_COUNT_ONE(...) +1
inline constexpr int kListedMembers = 0 QX_AUTOMATION_PROPERTIES(QX_COUNT_ONE)
    QX_AUTOMATION_METHODS(QX_COUNT_ONE, QX_COUNT_ONE, QX_COUNT_ONE, QX_COUNT_ONE);
#undef QX_COUNT_ONE
} // namespace detail

// Members added since, each with a DISPID of its own after the original 82, in the order they came.
inline constexpr int kMemberCount = detail::kListedMembers;
inline constexpr int kAddedMemberCount = kMemberCount - kOriginalMemberCount;

// Every member in DISPID order, from the one list of automation_surface.h.
inline constexpr std::array<Member, kMemberCount> kMembers = [] {
    using namespace detail;
    using enum ValueType;
    // clang-format off
#define QX_PROPERTY_ENTRY(d, n, N, T, C, P, def) property(d, #n, T),
#define QX_METHOD_ENTRY0(d, n, T, C) method(d, #n, T),
#define QX_METHOD_ENTRY1(d, n, T, C, A1, P1, a1) method(d, #n, T, arg(A1, #a1)),
#define QX_METHOD_ENTRY2(d, n, T, C, A1, P1, a1, A2, P2, a2) method(d, #n, T, arg(A1, #a1), arg(A2, #a2)),
#define QX_METHOD_ENTRY6(d, n, T, C, A1, P1, a1, A2, P2, a2, A3, P3, a3, A4, P4, a4, A5, P5, a5, A6, P6, a6) \
    method(d, #n, T, arg(A1, #a1), arg(A2, #a2), arg(A3, #a3), arg(A4, #a4), arg(A5, #a5), arg(A6, #a6)),
    std::array<Member, kMemberCount> members{
        QX_AUTOMATION_PROPERTIES(QX_PROPERTY_ENTRY)
        QX_AUTOMATION_METHODS(QX_METHOD_ENTRY0, QX_METHOD_ENTRY1, QX_METHOD_ENTRY2, QX_METHOD_ENTRY6)
    };
#undef QX_PROPERTY_ENTRY
#undef QX_METHOD_ENTRY0
#undef QX_METHOD_ENTRY1
#undef QX_METHOD_ENTRY2
#undef QX_METHOD_ENTRY6
    // clang-format on
    std::sort(members.begin(), members.end(),
              [](const Member& a, const Member& b) { return a.dispid < b.dispid; });
    return members;
}();

// The highest DISPID in use. After the original 82 a DISPID may be left unused (one set aside for a
// member that never came), so lookups there search instead of indexing.
inline constexpr int kLastDispid = kMembers[kMemberCount - 1].dispid;

// The member of `dispid`, or nullptr when no member has it.
constexpr const Member* memberByDispid(int dispid) {
    if (dispid < kFirstDispid || dispid > kLastDispid)
        return nullptr;
    if (dispid <= kOriginalMemberCount)
        return &kMembers[static_cast<std::size_t>(dispid - kFirstDispid)];
    const auto* found = std::lower_bound(kMembers.begin(), kMembers.end(), dispid,
                                         [](const Member& m, int d) { return m.dispid < d; });
    return found != kMembers.end() && found->dispid == dispid ? found : nullptr;
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
        for (std::size_t i = 0; i < static_cast<std::size_t>(kOriginalMemberCount); ++i)
            if (kMembers[i].dispid != static_cast<int>(i) + kFirstDispid)
                return false;
        for (std::size_t i = 1; i < kMembers.size(); ++i)
            if (kMembers[i].dispid <= kMembers[i - 1].dispid)
                return false;
        return true;
    }(),
    "the original DISPIDs run from 1 to 82 without gaps, and no DISPID is given twice");
static_assert(kMembers[kPropertyCount - 1].kind == MemberKind::Property &&
              kMembers[kPropertyCount].kind == MemberKind::Method);

} // namespace qx::automation
