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
    // Fonts are found as on a Chinese desktop, where a face the machine
    // lacks falls back to the fonts preferred for Chinese: the charts'
    // text must come out right there too.
    if (qEnvironmentVariableIsEmpty("FC_LANG")) qputenv("FC_LANG", "zh-cn");
    const QString base = qortest::processTempDir();
    QDir().mkpath(base + "/home");
    qputenv("QOR_HOME", QFile::encodeName(base + "/home"));
    qputenv("QOR_REGISTRY", QFile::encodeName(base + "/registry.ini"));
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
