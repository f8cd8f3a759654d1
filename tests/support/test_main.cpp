// Shared main of every test program: offscreen Qt, a private runtime folder,
// then a QApplication for tests that need widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
    // Test discovery runs the programs at build time, outside CTest's
    // environment, so the platform is chosen here as well.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir runtimeDir;
    setenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit().constData(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
