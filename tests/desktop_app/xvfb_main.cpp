// GoogleTest main for the suites that need a real X server: starts a private Xvfb on a free display.
#include <QApplication>
#include <QFileInfo>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

pid_t startXvfb(int& display) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        display = 100 + (getpid() + attempt * 7) % 800;
        if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)))
            continue;
        const std::string name = ":" + std::to_string(display);
        const char* argv[] = {"Xvfb",    name.c_str(), "-nolisten",    "tcp",
                              "-screen", "0",          "1280x1024x24", nullptr};
        pid_t pid = 0;
        if (posix_spawnp(&pid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            return 0;
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
        for (int i = 0; i < 100; ++i) {
            if (QFileInfo::exists(socket))
                return pid;
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid)
                break; // the display was taken after all: try the next one
            QThread::msleep(50);
        }
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strncmp(argv[i], "--gtest_list_tests", 18) == 0;
    pid_t xvfb = 0;
    if (!listing) {
        int display = 0;
        xvfb = startXvfb(display);
        if (xvfb) {
            setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
            setenv("QT_QPA_PLATFORM", "xcb", 1);
        } else {
            std::fprintf(stderr, "no Xvfb could be started: the X11 tests skip\n");
            setenv("QX_TEST_NO_X11", "1", 1);
        }
    }
    if (!xvfb)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int status = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    if (xvfb) {
        kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
    }
    return status;
}
