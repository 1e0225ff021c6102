// 文件 › 合并报表客户端 in the main window, run through the stand-in client.
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frames/cmyfiledlg.h"
#include "frames/widgetui.h"
#include "platform/registry.h"
#include "reader/cappenvironment.h"
#include "reader/consolidationclientstandin.h"
#include "tests/common/testsupport.h"
#include "tests/frames/frame_fixture.h"
#include "tests/frames/stored_value.h"

namespace {

void put(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray sample() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ReportData SampleID=\"7\" SampleName=\"x\">"
           "<Period><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/></Period>"
           "<Workbook xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
           "<Worksheet ss:Name=\"Balance\"><Table ss:ExpandedColumnCount=\"3\" "
           "ss:ExpandedRowCount=\"5\"/></Worksheet></Workbook>"
           "<SampleAlias><SName>Cash</SName><CellCoor>Balance!B4</CellCoor></SampleAlias>"
           "</ReportData>\n";
}

QByteArray download(int cash) {
    return QStringLiteral("<ReportData><SampleData><Cash>%1</Cash></SampleData></ReportData>")
        .arg(cash)
        .toUtf8();
}

class ConsolFrame : public frametest::FrameFixture {
protected:
    // The entry of the client's submenu with this text, from the menu bar.
    QAction* clientEntry(const QString& text) {
        for (QMenu* top : frame->TopMenus(frame->CurrentMenuId()))
            for (QAction* a : top->actions())
                if (a->menu() && a->text().remove('&') == QStringLiteral("合并报表客户端"))
                    for (QAction* e : a->menu()->actions())
                        if (e->text().remove('&').startsWith(text)) return e;
        return nullptr;
    }
    void run(const QString& text) {
        QAction* a = clientEntry(text);
        ASSERT_NE(a, nullptr) << qPrintable(text);
        frame->UpdateFrameState();
        ASSERT_TRUE(a->isEnabled()) << qPrintable(text);
        a->trigger();
        QApplication::processEvents();
    }
};

}  // namespace

TEST_F(ConsolFrame, OpenDownloadAndUploadFromTheMenu) {
    const QString base = qortest::freshDir("consol-frame");
    qor::Registry::writeString(CAppEnvironment::kInstallKey, "CurrentInstPath", base);
    const QString server = base + "/server";
    qor::Registry::writeString(qor::ConsolidationClientStandIn::kSettingsKey, "ServerFolder", server);
    const QString root = QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir()) + "/hbbb";
    const QString rep = root + "/Alpha(001)/Monthly/Balance.rep";
    put(server + "/hbbb/样表/Monthly.xml", sample());
    put(server + "/hbbb/Alpha(001)/Monthly/download/2004-03-01.xml", download(5));

    // Nothing is open yet: the download only brings the files, and says
    // how many and where they went.
    const QString shownRoot = QDir::toNativeSeparators(root);
    run("下载或接收");
    EXPECT_EQ(messages,
              QStringList{LoadErrorText(qor::str::kDownloadReceived).arg(2).arg(shownRoot)});
    messages.clear();
    ASSERT_TRUE(QFileInfo::exists(root + "/样表/Monthly.xml"));

    files << root + "/Alpha(001)/Monthly/Balance.xml";
    run("打开客户端报表");
    ASSERT_EQ(frame->Children().size(), 1) << qPrintable(messages.join('\n'));
    CQorsDoc* doc = frame->Children().first()->GetDocument();
    EXPECT_EQ(QFileInfo(doc->GetPathName()).canonicalFilePath(), QFileInfo(rep).canonicalFilePath());
    EXPECT_EQ(doc->GetReport()->GetPageCount(), 1);

    put(server + "/hbbb/Alpha(001)/Monthly/download/2004-04-01.xml", download(6));
    run("下载或接收");
    EXPECT_EQ(frame->Children().size(), 1);
    EXPECT_EQ(doc->GetReport()->GetPageCount(), 2);
    // The open client report took in what came down, and is named so.
    // Only the new period is read: March was taken in when the report was
    // made.
    EXPECT_EQ(messages,
              QStringList{LoadErrorText(qor::str::kDownloadReceived).arg(3).arg(shownRoot) + u'\n' +
                          LoadErrorText(qor::str::kDownloadTakenInPeriods)
                              .arg(1)
                              .arg(QStringLiteral("2004-04"))
                              .arg(1)});
    messages.clear();

    ASSERT_TRUE(frame->SaveDocument(frame->Children().first(), false));
    run("上报");
    EXPECT_TRUE(QFileInfo::exists(server + "/hbbb/Alpha(001)/Monthly/upload/2004-04-01.xml"));
    // The upload says what it sent, in words of its own.
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("上报完成"))) << qPrintable(messages[0]);
    messages.clear();

    // A client that cannot upload (no server folder) is named as the
    // upload service, not the download's.
    qor::Registry::writeString(qor::ConsolidationClientStandIn::kSettingsKey, "ServerFolder",
                               QString());
    run("上报");
    EXPECT_EQ(messages, QStringList{LoadErrorText(qor::str::kConsolidationUploadUnavailable)});
}

// The chooser is the program's own file dialog, shown for real: a new
// report's name typed after a download starts that report from the sample.
TEST_F(ConsolFrame, TheChooserTakesTheNameOfANewClientReport) {
    const QString base = qortest::freshDir("consol-chooser");
    qor::Registry::writeString(CAppEnvironment::kInstallKey, "CurrentInstPath", base);
    const QString server = base + "/server";
    qor::Registry::writeString(qor::ConsolidationClientStandIn::kSettingsKey, "ServerFolder",
                               server);
    const QString root = QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir()) + "/hbbb";
    put(server + "/hbbb/样表/Monthly.xml", sample());
    put(server + "/hbbb/Alpha(001)/Monthly/download/2004-03-01.xml", download(5));
    run("下载或接收");
    ASSERT_TRUE(QFileInfo::exists(root + "/Alpha(001)/Monthly/download/2004-03-01.xml"));
    messages.clear();  // what came down, told

    // The real chooser in place of the fixture's list of answers.
    answerDialogs = false;
    qor::UiServices services = qor::uiServices();
    const qor::UiServices fixture = services;
    qor::frames::InstallWidgetUiServices();
    services.chooseFile = qor::uiServices().chooseFile;
    qor::installUiServices(services);

    QString shownFilter, png;
    bool stillOpen = false;
    int ticks = 0;
    QTimer user;
    user.setInterval(10);
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* d = qobject_cast<CMyFileDlg*>(QApplication::activeModalWidget());
        if (!d) return;
        if (++ticks > 1) {
            // The name was refused: the dialog would wait for another.
            stillOpen = true;
            d->reject();
            return;
        }
        shownFilter = d->selectedNameFilter();
        d->FileNameEdit()->setText("Alpha(001)/Monthly/Balance");
        png = qortest::artifactPath(QStringLiteral("client-report-chooser.png"));
        d->grab().save(png);
        auto* box = d->findChild<QDialogButtonBox*>();
        QPushButton* open = box ? box->button(QDialogButtonBox::Open) : nullptr;
        if (open && open->isEnabled())
            open->click();
        else
            d->accept();
    });
    user.start();
    run("打开客户端报表");
    user.stop();
    qor::installUiServices(fixture);

    EXPECT_FALSE(stillOpen) << qPrintable(messages.join('\n'));
    EXPECT_EQ(shownFilter, u"客户端报表（*.rep）");
    EXPECT_TRUE(QFileInfo(png).size() > 0);
    ASSERT_EQ(frame->Children().size(), 1) << qPrintable(messages.join('\n'));
    CQorsDoc* doc = frame->Children().first()->GetDocument();
    const QString rep = root + "/Alpha(001)/Monthly/Balance.rep";
    EXPECT_EQ(QFileInfo(doc->GetPathName()).canonicalFilePath(),
              QFileInfo(rep).canonicalFilePath());
    EXPECT_TRUE(QFileInfo::exists(rep));
    // The downloaded month is the report's one page.
    EXPECT_EQ(doc->GetReport()->GetPageCount(), 1);
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join('\n'));
}

// 下载或接收 over a client report the clerk has changed: it asks before the
// take-in saves over the entries; a file read before and unchanged since is
// not read again, so a value the clerk corrected stays; a changed file is
// read and the message names its period and the cells it changed.
TEST_F(ConsolFrame, TheDownloadAsksFirstAndKeepsTheClerksEntries) {
    const QString base = qortest::freshDir("consol-keep");
    qor::Registry::writeString(CAppEnvironment::kInstallKey, "CurrentInstPath", base);
    const QString server = base + "/server";
    qor::Registry::writeString(qor::ConsolidationClientStandIn::kSettingsKey, "ServerFolder", server);
    const QString root = QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir()) + "/hbbb";
    const QString rep = root + "/Alpha(001)/Monthly/Balance.rep";
    put(server + "/hbbb/样表/Monthly.xml", sample());
    put(server + "/hbbb/Alpha(001)/Monthly/download/2004-03-01.xml", download(17));
    run("下载或接收");
    files << root + "/Alpha(001)/Monthly/Balance.xml";
    run("打开客户端报表");
    ASSERT_EQ(frame->Children().size(), 1) << qPrintable(messages.join('\n'));
    qor::frames::CChildFrame* child = frame->Children().first();
    CQorsDoc* doc = child->GetDocument();
    ASSERT_TRUE(doc->IsDataState());
    EXPECT_EQ(frametest::StoredValue(rep, 1, 4, 2), QStringLiteral("17"));
    messages.clear();

    CQorsView* view = child->GetActiveView();
    const auto typeB4 = [&](const char* text) {
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
        for (int i = 0; i < 3; ++i) QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Right);
        for (const char* c = text; *c; ++c) {
            QWidget* w = QApplication::focusWidget();
            QTest::keyClick(w ? w : view, *c);
        }
        QWidget* w = QApplication::focusWidget();
        QTest::keyClick(w ? w : view, Qt::Key_Return);
        QApplication::processEvents();
    };
    const auto b4 = [&] {
        double v = -1;
        doc->GetNumCellValue(3, 1, &v);
        return v;
    };
    typeB4("99");
    ASSERT_EQ(b4(), 99);
    ASSERT_TRUE(doc->IsModified());

    // Cancel: the report is left as the clerk has it, and the message says so.
    answers = {qor::MsgAnswer::Cancel};
    run("下载或接收");
    ASSERT_GE(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Balance.rep"))) << qPrintable(messages[0]);
    EXPECT_TRUE(messages.last().contains(LoadErrorText(qor::str::kDownloadNotTakenIn).arg("Balance.rep")))
        << qPrintable(messages.last());
    EXPECT_EQ(b4(), 99);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(frametest::StoredValue(rep, 1, 4, 2), QStringLiteral("17"));
    messages.clear();

    // Save first: the entry is kept, and the March file, read before and
    // unchanged, does not put 17 back.
    answers = {qor::MsgAnswer::Yes};
    run("下载或接收");
    EXPECT_EQ(b4(), 99);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(frametest::StoredValue(rep, 1, 4, 2), QStringLiteral("99"));
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_TRUE(messages.last().contains(LoadErrorText(qor::str::kDownloadNothingNew).arg(1)))
        << qPrintable(messages.last());
    messages.clear();

    // The server sends March anew: that file is read, and told.
    put(server + "/hbbb/Alpha(001)/Monthly/download/2004-03-01.xml", download(21));
    run("下载或接收");
    EXPECT_EQ(b4(), 21);
    EXPECT_EQ(frametest::StoredValue(rep, 1, 4, 2), QStringLiteral("21"));
    ASSERT_EQ(messages.size(), 1) << qPrintable(messages.join('\n'));
    EXPECT_TRUE(messages[0].contains(LoadErrorText(qor::str::kDownloadTakenInPeriods)
                                         .arg(1)
                                         .arg(QStringLiteral("2004-03"))
                                         .arg(1)))
        << qPrintable(messages[0]);
    messages.clear();

    // Discard: the report comes back as last saved, then takes in.
    typeB4("50");
    answers = {qor::MsgAnswer::No};
    run("下载或接收");
    ASSERT_EQ(frame->Children().size(), 1);
    EXPECT_EQ(frame->Children().first()->GetDocument(), doc);
    EXPECT_EQ(b4(), 21);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(frametest::StoredValue(rep, 1, 4, 2), QStringLiteral("21"));
}

// 上报 with entries typed and not saved: it asks first, as 下载或接收 does;
// the upload then sends what the clerk chose, never silently the figures
// saved before.
TEST_F(ConsolFrame, TheUploadAsksFirstAboutUnsavedEntries) {
    const QString base = qortest::freshDir("consol-upload-ask");
    qor::Registry::writeString(CAppEnvironment::kInstallKey, "CurrentInstPath", base);
    const QString server = base + "/server";
    qor::Registry::writeString(qor::ConsolidationClientStandIn::kSettingsKey, "ServerFolder", server);
    const QString root = QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir()) + "/hbbb";
    const QString rep = root + "/Alpha(001)/Monthly/Balance.rep";
    const QString sent = server + "/hbbb/Alpha(001)/Monthly/upload/2004-03-01.xml";
    put(server + "/hbbb/样表/Monthly.xml", sample());
    put(server + "/hbbb/Alpha(001)/Monthly/download/2004-03-01.xml", download(43));
    run("下载或接收");
    files << root + "/Alpha(001)/Monthly/Balance.xml";
    run("打开客户端报表");
    ASSERT_EQ(frame->Children().size(), 1) << qPrintable(messages.join('\n'));
    CQorsDoc* doc = frame->Children().first()->GetDocument();
    CQorsView* view = frame->Children().first()->GetActiveView();
    const auto typeB4 = [&](const char* text) {
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
        for (int i = 0; i < 3; ++i) QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Right);
        for (const char* c = text; *c; ++c) {
            QWidget* w = QApplication::focusWidget();
            QTest::keyClick(w ? w : view, *c);
        }
        QWidget* w = QApplication::focusWidget();
        QTest::keyClick(w ? w : view, Qt::Key_Return);
        QApplication::processEvents();
    };
    const auto cash = [&] {
        return QString::fromUtf8(
                   qortest::run("xmllint", {"--xpath", "string(//Cash)", sent}).out)
            .trimmed();
    };
    typeB4("77");
    ASSERT_TRUE(doc->IsModified());
    messages.clear();

    // Cancel: nothing is sent and the entry stays as typed.
    answers = {qor::MsgAnswer::Cancel};
    run("上报");
    ASSERT_EQ(messages.size(), 1) << qPrintable(messages.join('\n'));
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Balance.rep"))) << qPrintable(messages[0]);
    EXPECT_FALSE(QFileInfo::exists(sent));
    EXPECT_TRUE(doc->IsModified());
    messages.clear();

    // Save first: the entry is what goes up.
    answers = {qor::MsgAnswer::Yes};
    run("上报");
    ASSERT_EQ(messages.size(), 2) << qPrintable(messages.join('\n'));
    EXPECT_TRUE(messages[1].startsWith(QStringLiteral("上报完成"))) << qPrintable(messages[1]);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(frametest::StoredValue(rep, 1, 4, 2), QStringLiteral("77"));
    ASSERT_TRUE(QFileInfo::exists(sent));
    EXPECT_TRUE(cash().startsWith(QStringLiteral("77"))) << qPrintable(cash());
    messages.clear();

    // Discard: the screen comes back to what is saved, which is what goes up.
    typeB4("55");
    answers = {qor::MsgAnswer::No};
    run("上报");
    ASSERT_EQ(messages.size(), 2) << qPrintable(messages.join('\n'));
    EXPECT_FALSE(doc->IsModified());
    double b4 = -1;
    doc->GetNumCellValue(3, 1, &b4);
    EXPECT_EQ(b4, 77);
    EXPECT_TRUE(cash().startsWith(QStringLiteral("77"))) << qPrintable(cash());

    // Nothing unsaved: no question.
    messages.clear();
    run("上报");
    EXPECT_EQ(messages.size(), 1) << qPrintable(messages.join('\n'));
}

// A caption the sample gives an alias's cell is made a number cell when the
// sample is read. With the report open on a page of three variable lines,
// the alias after the area is found as a table cell, never as the page row
// of that number, which holds another caption.
TEST_F(ConsolFrame, AnOpenPageWithVariableLinesKeepsItsCaptions) {
    const QString base = qortest::freshDir("consol-caption-lines");
    qor::Registry::writeString(CAppEnvironment::kInstallKey, "CurrentInstPath", base);
    const QString server = base + "/server";
    qor::Registry::writeString(qor::ConsolidationClientStandIn::kSettingsKey, "ServerFolder", server);
    const QString root = QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir()) + "/hbbb";
    QByteArray withCaption = sample();
    withCaption.replace("ss:ExpandedRowCount=\"5\"/>",
                        "ss:ExpandedRowCount=\"8\"><Row ss:Index=\"4\"><Cell ss:Index=\"2\">"
                        "<Data ss:Type=\"String\">小计</Data></Cell></Row></Table>");
    withCaption.replace("Balance!B4", "Balance!B6");
    put(server + "/hbbb/样表/Monthly.xml", withCaption);
    put(server + "/hbbb/Alpha(001)/Monthly/download/2004-03-01.xml", download(5));
    run("下载或接收");
    files << root + "/Alpha(001)/Monthly/Balance.xml";
    run("打开客户端报表");
    ASSERT_EQ(frame->Children().size(), 1) << qPrintable(messages.join('\n'));
    CQorsDoc* doc = frame->Children().first()->GetDocument();
    CReportHandle* report = doc->GetReport();
    ASSERT_TRUE(doc->EnterFormatState());
    int kind = 1, start = 3, extent = 4;
    ASSERT_EQ(report->AccessVarArea(1, &kind, &start, &extent), 0);
    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_TRUE(doc->SetCurrentPage(1));
    ASSERT_EQ(report->InsertVarLines(2, 2), 0);
    ASSERT_EQ(report->GetCellText(6, 2, 1), QStringLiteral("小计"));
    ASSERT_TRUE(frame->SaveDocument(frame->Children().first(), false));
    messages.clear();

    put(server + "/hbbb/Alpha(001)/Monthly/download/2004-03-01.xml", download(9));
    run("下载或接收");
    EXPECT_EQ(report->GetCellText(6, 2, 1), QStringLiteral("小计")) << qPrintable(messages.join('\n'));
    double v = 0;
    EXPECT_TRUE(doc->GetNumCellValue(7, 1, &v));
    EXPECT_EQ(v, 9);
}
