// The one place where a call that comes in while another keeps the container's events flowing is
// refused.
#pragma once

#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace qx::control {

// The calls that wait with the container's events flowing: a capture waiting for its frame, a
// network transfer, a card read. Anything the container does meanwhile (a script timer, a click,
// the hotkey, a web page) reaches the control inside that wait; a call of the same kind would start
// a second capture over the first one's grab, a second transfer over the first, a second read on
// one reader, a second merge of the merge files a merge holds (a merge recognising its pages keeps
// the events flowing, and every merge's progress reaches the container while it runs). Calls of
// another kind run as they always have.
enum class Activity { Capture, Transfer, CardRead, Merge };

class CallGate {
public:
    // `log` receives the refusal lines.
    explicit CallGate(std::function<void(const QString&)> log) : m_log(std::move(log)) {}

    // Held for as long as the call runs; the activity is free again when it goes.
    class Pass {
    public:
        Pass(Pass&& other) noexcept
            : m_gate(std::exchange(other.m_gate, nullptr)), m_activity(other.m_activity) {}
        Pass& operator=(Pass&&) = delete;
        ~Pass() {
            if (m_gate)
                m_gate->m_busy[static_cast<std::size_t>(m_activity)] = false;
        }

    private:
        friend class CallGate;
        Pass(CallGate& gate, Activity activity) : m_gate(&gate), m_activity(activity) {}
        CallGate* m_gate;
        Activity m_activity;
    };

    // A pass for a call of `activity`, or nothing (the refusal logged: "正在拍照，忽略本次拍照请求!",
    // "上一次网络传输尚未结束，拒绝本次调用!", "正在读卡，忽略本次读卡请求!") while one runs.
    std::optional<Pass> enter(Activity activity) {
        bool& busy = m_busy[static_cast<std::size_t>(activity)];
        if (busy) {
            m_log(refusalLine(activity));
            return std::nullopt;
        }
        busy = true;
        return Pass(*this, activity);
    }

    bool busy(Activity activity) const { return m_busy[static_cast<std::size_t>(activity)]; }

    static QString refusalLine(Activity activity) {
        switch (activity) {
        case Activity::Capture:
            return QStringLiteral("正在拍照，忽略本次拍照请求!");
        case Activity::Transfer:
            return QStringLiteral("上一次网络传输尚未结束，拒绝本次调用!");
        case Activity::CardRead:
            return QStringLiteral("正在读卡，忽略本次读卡请求!");
        case Activity::Merge:
            return QStringLiteral("正在合并图片，忽略本次合并请求!");
        }
        return QString();
    }

private:
    std::function<void(const QString&)> m_log;
    std::array<bool, 4> m_busy{};
};

} // namespace qx::control
