// The log dialog of formulas and commands shows the user's own log, where
// the error log is written, with the lines the command language wrote.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>

#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/small_dlgs.h"
#include "engine/errorlog.h"
#include "engine/messages.h"
#include "tests/common/testsupport.h"

namespace {

TEST(LogFileDialog, ShownForRealItHoldsTheLogOfItsPlace) {
    const QString dir = qortest::freshDir(QStringLiteral("logdlg"));
    SetErrorLogPath(dir + QStringLiteral("/qorerr.log"));
    CCalcInterpreter ci;
    ci.SetRunMode(0, 0x10);  // quiet: no message box
    EXPECT_EQ(ci.RunLine(QStringLiteral("let A1 = 2")), -1);

    CLogFileDlg dlg;
    QString shown;
    QTimer::singleShot(0, &dlg, [&] {
        if (auto* text = dlg.findChild<QPlainTextEdit*>()) shown = text->toPlainText();
        dlg.accept();
    });
    dlg.DoModal();
    SetErrorLogPath(QString());
    EXPECT_TRUE(shown.contains(QStringLiteral("let A1 = 2"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(LoadErrorText(qor::str::kNoReportOpen))) << shown.toStdString();
}

}  // namespace
