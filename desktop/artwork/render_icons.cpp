// Build step: draws the program icon afresh at each hicolor size, for the desktop's menus and docks.
#include "qx/desktop/artwork_painter.h"

#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER ICON_NAME SIZE...\n", argv[0]);
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "icons: not a size: %s\n", argv[i]);
            return 2;
        }
        // Each size is painted from the vector sources rather than scaled, so small icons stay sharp.
        const QImage image = qx::desktop::paintArtwork(qx::desktop::res::kIcon, QSize(size, size));
        if (image.size() != QSize(size, size)) {
            std::fprintf(stderr, "icons: the icon came out %dx%d instead of %dx%d\n", image.width(),
                         image.height(), size, size);
            return 1;
        }
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(out).arg(size);
        QDir().mkpath(folder);
        QImageWriter writer(QStringLiteral("%1/%2.png").arg(folder, name), "png");
        if (!writer.write(image.convertToFormat(QImage::Format_ARGB32))) {
            std::fprintf(stderr, "icons: cannot write %s: %s\n", qPrintable(writer.fileName()),
                         qPrintable(writer.errorString()));
            return 1;
        }
    }
    return 0;
}
