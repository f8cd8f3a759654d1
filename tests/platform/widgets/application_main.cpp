// Main of the test programs that need the program's own application object
// (hint tracking, top-level exception handler): as the shared test main, but
// with a TApplication in place of the plain QApplication.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>

#include "platform/widgets/application.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir runtimeDir;
    setenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit().constData(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
