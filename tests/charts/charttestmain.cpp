// Test main of the chart tests: a QGuiApplication on the offscreen platform,
// so fonts work without a display, and the same data directory and registry
// isolation as every other test binary.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include "tests/common/testsupport.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString base = qortest::processTempDir();
    QDir().mkpath(base + "/home");
    qputenv("QOR_HOME", QFile::encodeName(base + "/home"));
    qputenv("QOR_REGISTRY", QFile::encodeName(base + "/registry.ini"));
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
