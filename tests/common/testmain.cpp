// Test main: every test binary runs with its own data directory and
// registry file so nothing touches the user's settings.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

#include "tests/common/testsupport.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString base = qortest::processTempDir();
    QDir().mkpath(base + "/home");
    qputenv("QOR_HOME", QFile::encodeName(base + "/home"));
    qputenv("QOR_REGISTRY", QFile::encodeName(base + "/registry.ini"));
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
