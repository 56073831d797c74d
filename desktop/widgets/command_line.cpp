// The desktop program's command-line switches.
#include "qx/desktop/command_line.h"

namespace qx::desktop {

CommandLineInfo parseCommandLine(const QStringList& arguments) {
    CommandLineInfo info;
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1Char('-')) || argument.size() < 2) {
            if (info.fileName.isEmpty())
                info.fileName = argument;
            continue;
        }
        const QString flag = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        if (flag.compare(QLatin1String("Embedding"), Qt::CaseInsensitive) == 0)
            info.runEmbedded = true;
        else if (flag.compare(QLatin1String("Automation"), Qt::CaseInsensitive) == 0)
            info.runAutomated = true;
        else if (flag.compare(QLatin1String("no-splash"), Qt::CaseInsensitive) == 0 ||
                 flag.compare(QLatin1String("nosplash"), Qt::CaseInsensitive) == 0)
            info.showSplash = false;
    }
    // A program started by another one for automation has no user waiting to be greeted.
    if (info.runEmbedded || info.runAutomated)
        info.showSplash = false;
    return info;
}

} // namespace qx::desktop
