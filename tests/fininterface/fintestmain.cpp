// Test main of the frame tests: a QApplication on the offscreen platform,
// so windows run without a display, and the same data directory and
// registry isolation as every other test binary.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>

#include "tests/common/testsupport.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString base = qortest::processTempDir();
    QDir().mkpath(base + "/home");
    qputenv("QOR_HOME", QFile::encodeName(base + "/home"));
    qputenv("QOR_REGISTRY", QFile::encodeName(base + "/registry.ini"));
    // The frame keeps its settings in the user's configuration folder.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(base + "/config"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
