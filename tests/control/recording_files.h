// What the recording suites read of a recording: its streams by gst-discoverer, its playback to the
// end, its decoded frames, and the recordings of a folder.
#pragma once

#include "imaging/external_tools.h"

#include <QDir>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

namespace qx::test {

// The auxiliary camera (7e43) with Motion JPEG beside a main camera.
inline const QString kMainAndAux = QStringLiteral("7e41:640x480,7e43:640x480;640x480/mjpg");

inline void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// What gst-discoverer-1.0 reports of a file.
struct Discovered {
    QString container;
    QStringList video; // the caps of each video stream
    QStringList audio;
    double seconds = -1;
};

inline Discovered discover(const QString& path) {
    const ToolRun run = runTool(QStringLiteral("gst-discoverer-1.0"), {QStringLiteral("-v"), path});
    EXPECT_TRUE(run.started);
    Discovered d;
    static const QRegularExpression stream(QStringLiteral("^\\s*(container|video|audio) #\\d+: (.*)$"));
    static const QRegularExpression duration(QStringLiteral("^\\s*Duration: (\\d+):(\\d+):([\\d.]+)"));
    for (const QString& line : run.text().split(QLatin1Char('\n'))) {
        if (const auto m = stream.match(line); m.hasMatch()) {
            if (m.captured(1) == QLatin1String("container"))
                d.container = m.captured(2);
            else
                (m.captured(1) == QLatin1String("video") ? d.video : d.audio) << m.captured(2);
        } else if (const auto t = duration.match(line); t.hasMatch() && d.seconds < 0) {
            d.seconds = t.captured(1).toInt() * 3600 + t.captured(2).toInt() * 60 + t.captured(3).toDouble();
        }
    }
    return d;
}

// Whether the file decodes to its end, every stream of it.
inline bool playsToTheEnd(const QString& path) {
    return runTool(QStringLiteral("gst-launch-1.0"),
                   {QStringLiteral("-q"), QStringLiteral("playbin"),
                    QStringLiteral("uri=") + QUrl::fromLocalFile(path).toString(),
                    QStringLiteral("video-sink=fakesink"), QStringLiteral("audio-sink=fakesink")})
               .exitCode == 0;
}

// The video frames a player decodes from the file.
inline int videoFrames(const QString& path) {
    const ToolRun run = runTool(QStringLiteral("gst-launch-1.0"),
                                {QStringLiteral("-v"), QStringLiteral("playbin"),
                                 QStringLiteral("uri=") + QUrl::fromLocalFile(path).toString(),
                                 QStringLiteral("video-sink=fakesink silent=false name=counted"),
                                 QStringLiteral("audio-sink=fakesink")});
    return static_cast<int>(run.text().count(QStringLiteral("counted: last-message = chain")));
}

inline QStringList recordings(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.avi"), QStringLiteral("*.asf")}, QDir::Files,
                                  QDir::Name);
}

} // namespace qx::test
