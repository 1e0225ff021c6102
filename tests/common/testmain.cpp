// Test main of every test binary. Each run lives in a folder of its own:
// HOME, the XDG folders, TMPDIR, the data directory (and so the error log)
// and the registry point below it, so no test reads or writes the user's
// settings, the build folder or the shared temporary folder. The folder is
// removed at the end unless QOR_KEEP_TEST_DIR is set.
//
// Built once per kind of application object: QOR_TEST_APP_WIDGETS for a
// QApplication (widgets, dialogs), QOR_TEST_APP_GUI for a QGuiApplication
// (fonts, images), otherwise a QCoreApplication. QOR_TEST_FC_LANG names the
// language fontconfig prefers faces for.
#include <gtest/gtest.h>

#if defined(QOR_TEST_APP_WIDGETS)
#include <QApplication>
using TestApplication = QApplication;
#elif defined(QOR_TEST_APP_GUI)
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include "tests/common/testsupport.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef QOR_TEST_FC_LANG
    if (qEnvironmentVariableIsEmpty("FC_LANG")) qputenv("FC_LANG", QOR_TEST_FC_LANG);
#endif
    qortest::enterRunFolder();
    int result = 0;
    {
        TestApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    qortest::leaveRunFolder();
    return result;
}
