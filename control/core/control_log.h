// The control's log file: one line per step, opened, appended and closed for every line.
#pragma once

#include <QString>
#include <mutex>

namespace qx::control {

class CControlLog {
public:
    static constexpr const char* kFileName = "QXCameraCtrlLog.txt";
    static constexpr const char* kOpenLine = "创建日志成功，控件初始化成功！";

    // Enables the log and writes its first line: on a new file with the version, on an existing one
    // after an empty line. The file is the temporary folder's "QXCameraCtrlLog.txt".
    void Open();
    // Appends one line when the log is enabled and its file exists; never creates the file, so a log
    // deleted while the control runs stays deleted. A line that cannot be written is lost silently.
    void Write(const QString& text);

    bool enabled() const { return m_enabled; }
    QString path() const { return m_path; }

private:
    bool append(const QByteArray& bytes, bool mayCreate);

    std::mutex m_mutex;
    bool m_enabled = false;
    QString m_path;
};

} // namespace qx::control
