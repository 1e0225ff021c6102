// 文件 › 合并报表客户端 in the main window, run through the stand-in client.
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
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
    EXPECT_EQ(messages,
              QStringList{LoadErrorText(qor::str::kDownloadReceived).arg(3).arg(shownRoot) + u'\n' +
                          LoadErrorText(qor::str::kDownloadTakenIn).arg(1)});
    messages.clear();

    ASSERT_TRUE(frame->SaveDocument(frame->Children().first(), false));
    run("上报");
    EXPECT_TRUE(QFileInfo::exists(server + "/hbbb/Alpha(001)/Monthly/upload/2004-04-01.xml"));
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join('\n'));
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
