// Runs the independent tools (identify, tiffinfo, qpdf, pdfimages, pdfinfo) the suites check files with.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace qx::test {

struct ToolRun {
    bool started = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QString text() const { return QString::fromUtf8(out); }
    // Standard output and then standard error, for checks that read a tool's messages too.
    QString all() const { return QString::fromUtf8(out + err); }
};

// Waits as long as the tool takes: these checks are about content, never about time.
inline ToolRun runTool(const QString& program, const QStringList& arguments) {
    ToolRun run;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(-1))
        return run;
    process.closeWriteChannel();
    process.waitForFinished(-1);
    run.started = true;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace qx::test
