// The small dialogs: digit grouping, the tip reader and dialog, the
// properties spinner, the custom-menu choice, the log copy and a chart's
// new size from the properties dialog.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTimer>

#include "charts/cgraphitem.h"
#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/dlgbuild.h"
#include "dialogs/small_dlgs.h"
#include "dialogs/small_logic.h"
#include "document/cqorsdoc.h"
#include "engine/errorlog.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "reader/creaderapp.h"
#include "tests/common/testsupport.h"
#include "print/viewitems_logic.h"

using namespace qor;

namespace {

using qortest::writeFile;

}  // namespace

TEST(SmallLogic, DigitsAreGroupedWithoutALeadingComma) {
    EXPECT_EQ(GroupDigits(QStringLiteral("1234567")), "1,234,567");
    EXPECT_EQ(GroupDigits(QStringLiteral("123456")), "123,456");
    EXPECT_EQ(GroupDigits(QStringLiteral("12")), "12");
    // Past 32 bits.
    EXPECT_EQ(MemoryText(uint64_t(17179869184)), "17,179,869,184Bytes");
    EXPECT_EQ(DiskFreeText(uint64_t(5) << 40), "5,242,880M Bytes");
    EXPECT_EQ(DiskFreeText(4096), "4K BYtes");
    EXPECT_EQ(CpuModelName("processor : 0\nmodel name\t: Some CPU  @ 2GHz\n"), "Some CPU  @ 2GHz");
    const SystemFigures f = ReadSystemFigures();
    EXPECT_FALSE(f.os.isEmpty());
    EXPECT_TRUE(f.memory.endsWith("Bytes"));
}

// Support asks where the error log is: the dialog shows the path the log
// is really written to (the data folder, not the program's).
TEST(SmallDialogs, SystemInfoShowsTheErrorLogPath) {
    CSysInfoDlg dlg;
    QString shown;
    QTimer::singleShot(0, &dlg, [&] {
        if (auto* e = qobject_cast<QLineEdit*>(dlg.GetDlgItem(CSysInfoDlg::IDC_ERROR_LOG)))
            shown = e->text();
        dlg.accept();
    });
    EXPECT_EQ(dlg.DoModal(), CSysInfoDlg::IDOK);
    EXPECT_EQ(shown, QDir::toNativeSeparators(ErrorLogPath()));
    EXPECT_TRUE(shown.startsWith(QDir::toNativeSeparators(qEnvironmentVariable("QOR_HOME"))))
        << shown.toStdString();
}

TEST(SmallLogic, TipsSkipCommentsWrapAndAFileWithoutTipsEnds) {
    const TipReader reader("; comment\r\n\r\n first blank\nTip one\r\n\tTab\nTip two");
    int64_t at = 0;
    EXPECT_EQ(reader.Next(&at), "Tip one");
    EXPECT_EQ(reader.Next(&at), "Tip two");
    EXPECT_EQ(reader.Next(&at), "Tip one");  // wrapped
    int64_t none = 0;
    EXPECT_EQ(TipReader("; only\n  blanks\n\n").Next(&none), QString());
    EXPECT_EQ(TipReader(QByteArray()).Next(&none), QString());
    EXPECT_EQ(TipTimeStamp(QDateTime(QDate(2026, 12, 7), QTime(8, 6, 7))), "Mon Dec  7 08:06:07 2026");
}

TEST(SmallDialogs, TheSpinnerStaysWithinItsRangeAndMarksTheChange) {
    EXPECT_EQ(StepScale(1000, -1), 1000);
    EXPECT_EQ(StepScale(0, 1), 0);
    EXPECT_EQ(StepScale(5, -3), 6);
    CObjectPropDlg dlg;
    dlg.m_nScale = 999;
    CQorDialog::SetModalHook([](CQorDialog& d) {
        QWidget* spin = d.GetDlgItem(CObjectPropDlg::IDC_SPIN);
        PressSpin(spin, -1);
        PressSpin(spin, -1);
        d.OnOK();
    });
    EXPECT_EQ(dlg.DoModal(), CQorDialog::IDOK);
    CQorDialog::SetModalHook({});
    EXPECT_EQ(dlg.m_nScale, 1000);
    EXPECT_TRUE(dlg.m_bChanged);
}

TEST(SmallDialogs, CustomMenuChecksTheFileOnlyForTheCustomChoice) {
    QStringList shown;
    UiServices s;
    s.messageBox = [&](const MessageRequest& r) {
        shown << r.text;
        return MsgAnswer::Ok;
    };
    const UiServices previous = installUiServices(s);
    CCustomMenuDlg standard;
    standard.m_strFileName = "/no/such.mnu";
    standard.m_nChoice = 1;
    CQorDialog::SetModalHook([](CQorDialog& d) { d.OnOK(); });
    EXPECT_EQ(standard.DoModal(), CQorDialog::IDOK);
    EXPECT_TRUE(shown.isEmpty());
    CCustomMenuDlg custom;
    custom.m_strFileName = "/no/such.mnu";
    EXPECT_EQ(custom.DoModal(), CQorDialog::IDCANCEL);  // left open
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains("/no/such.mnu"));
    CQorDialog::SetModalHook({});
    installUiServices(previous);
}

TEST(SmallDialogs, TipDialogRestartsOnAChangedFileAndStoresTheStartUpBoxInverted) {
    const QString dir = qortest::freshDir("tipdlg");
    writeFile(dir + "/qorw.txt", "First\nSecond\n");
    // A profile of the test's own.
    CReaderApp app(dir + "/qor.ini");
    CAppEnvironment env(app);
    ASSERT_EQ(&CAppEnvironment::Instance(), &env);
    env.WriteProfileString("Tip", "TimeStamp", "old");
    env.WriteProfileInt("Tip", "FilePos", 6);
    env.WriteProfileInt("Tip", "StartUp", 0);
    {
        CTipDlg dlg(nullptr, dir + "/qorw.txt");
        EXPECT_EQ(dlg.Tip(), "First");
        CQorDialog::SetModalHook([](CQorDialog& d) {
            auto* box = qobject_cast<QCheckBox*>(d.GetDlgItem(CTipDlg::IDC_STARTUP));
            EXPECT_TRUE(box->isChecked());
            box->setChecked(false);
            d.OnOK();
        });
        dlg.DoModal();
        CQorDialog::SetModalHook({});
    }
    EXPECT_EQ(env.GetProfileInt("Tip", "StartUp", 0), 1);
    EXPECT_EQ(env.GetProfileInt("Tip", "FilePos", -1), 6);
    // Unchanged file: on from where the last one stopped.
    CTipDlg again(nullptr, dir + "/qorw.txt");
    EXPECT_EQ(again.Tip(), "Second");
    CTipDlg missing(nullptr, dir + "/none.txt");
    EXPECT_EQ(missing.Tip(), LoadErrorText(qor::str::kTipFileMissing));
    EXPECT_FALSE(missing.GetDlgItem(CTipDlg::IDC_NEXT)->isEnabled());
}

TEST(SmallDialogs, LogIsSavedAsTextWithTxtAdded) {
    const QString dir = qortest::freshDir("logcopy");
    writeFile(dir + "/log", "line\r\n");
    QString path = dir + "/copy", error;
    ASSERT_TRUE(SaveLogCopy(dir + "/log", &path, &error)) << error.toStdString();
    EXPECT_EQ(path, dir + "/copy.txt");
    EXPECT_EQ(qortest::fileBytes(path), QByteArray("line\r\n"));
}

TEST(SmallDialogs, ChartPropertiesScaleTheDescriptionByTheRealChangeOfSize) {
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnNewDocument());
    ASSERT_TRUE(doc.EnterDataState());
    std::shared_ptr<CComItem> item = doc.Items().CreateComItem(0);
    ASSERT_TRUE(item);
    auto* chart = static_cast<CGraphItem*>(item.get());
    chart->SetChartDesc(items::ChartDesc::MakeDefault(600, 400, 1));
    chart->SetSize(600, 400);
    const items::Rect plot = chart->GetChartDesc().GetPartRect(items::ChartDesc::kPlotRect);
    // 100 % of the native size halves a 600 x 400 chart: the parts follow
    // that halving, not the 100 % itself.
    ASSERT_TRUE(view::ApplyChartScale(doc, *chart, 100, true));
    EXPECT_EQ(chart->GetRect().width(), 300);
    EXPECT_EQ(chart->GetRect().height(), 200);
    const items::Rect half = chart->GetChartDesc().GetPartRect(items::ChartDesc::kPlotRect);
    EXPECT_NEAR(half.width(), plot.width() / 2.0, 1);
    // 0 % would make the chart vanish: nothing changes.
    EXPECT_FALSE(view::ApplyChartScale(doc, *chart, 0, false));
    EXPECT_EQ(chart->GetRect().width(), 300);
    ASSERT_TRUE(view::ApplyChartScale(doc, *chart, 150, false));
    EXPECT_EQ(chart->GetRect().width(), 450);
}

TEST(SmallDialogs, ListMemoryShowsTheVariablesAndTheirValuesInTheDialog) {
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    ci.SetDocument(nullptr);
    ci.SetReport(nullptr);
    const cmd::CalcSubsystemHooks before = ci.SubsystemHooks();
    InstallSmallDialogs(nullptr);
    ASSERT_EQ(ci.RunLine("let &qty = 12"), 0);
    ASSERT_EQ(ci.RunLine("let &who = \"张三\""), 0);
    QStringList names, second;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        EXPECT_EQ(d.TemplateId(), CVariablesDlg::IDD);
        auto* list = qobject_cast<QListWidget*>(d.GetDlgItem(CVariablesDlg::IDC_LIST));
        for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
        const int who = int(names.indexOf("&who") >= 0 ? names.indexOf("&who") : names.indexOf("who"));
        ASSERT_GE(who, 0) << names.join(',').toStdString();
        list->setCurrentRow(who);
        second << qobject_cast<QLineEdit*>(d.GetDlgItem(CVariablesDlg::IDC_VALUE))->text();
        d.OnOK();
    });
    EXPECT_EQ(ci.RunLine("list memory"), 0) << ci.LastErrorText().toStdString();
    CQorDialog::SetModalHook({});
    ci.SetSubsystemHooks(before);
    EXPECT_EQ(second, QStringList{"张三"});
}
