// The desktop program's command line: what it asks of the start, above all whether to show the splash.
#pragma once

#include <QString>
#include <QStringList>

namespace qx::desktop {

struct CommandLineInfo {
    bool showSplash = true;
    bool runEmbedded = false;  // -Embedding
    bool runAutomated = false; // -Automation
    QString fileName;          // the first argument that is not an option
};

// `arguments` without the program name. Options start with '-' or "--" and are matched without regard
// to case: "Embedding" and "Automation" (started by another program) and "no-splash" / "nosplash" turn
// the splash off. Arguments starting with '/' are file paths here, not options.
CommandLineInfo parseCommandLine(const QStringList& arguments);

} // namespace qx::desktop
