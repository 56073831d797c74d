// The fault suite's main: its own mount namespace first, so the small disks it mounts vanish with it.
#include "faults/fault_support.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Before any thread exists: the namespace is the whole process's, and a crashed test cannot leave
    // a mount behind.
    qx::test::enterPrivateMountNamespace();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
