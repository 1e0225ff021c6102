// Qt's own dialogs in Chinese when the translation package is installed,
// and nothing broken when it is not.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>

#include "frames/desktop.h"
#include "tests/common/testsupport.h"

namespace {

TEST(ChineseQt, AMissingTranslationLeavesQtInEnglishAndFailsNothing) {
    // Once installed the translation stays for the process: an earlier
    // test of the same run may have installed it.
    if (qor::frames::InstallChineseQtTranslation(qortest::freshDir("no-translations")))
        GTEST_SKIP() << "the translation was installed by an earlier test of this run";
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("x"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_FALSE(box.button(QMessageBox::Cancel)->text().isEmpty());
}

TEST(ChineseQt, MessageBoxesAndFileDialogsSpeakChinese) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!qortest::needReader(QFile::exists(folder + QStringLiteral("/qtbase_zh_CN.qm")),
                             QStringLiteral("qt6-translations-l10n")))
        GTEST_SKIP() << "qt6-translations-l10n is not installed";
    ASSERT_TRUE(qor::frames::InstallChineseQtTranslation());
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("x"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), u"取消");

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    bool chinese = false;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        for (QChar c : label->text())
            if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) chinese = true;
    EXPECT_TRUE(chinese);
}

}  // namespace
