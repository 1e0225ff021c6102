// The frame's exchange commands: the own XML format into a new report
// (and nothing else), and many reports to HTML pages beside each source.
#include <QDir>
#include <QFile>
#include <QLineEdit>

#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "platform/datadir.h"
#include "reader/creaderapp.h"
#include "frame_fixture.h"
#include "frames/cmyfiledlg.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"

using namespace qor::cmd_ids;
using namespace qor::frames;
using frametest::FrameFixture;

namespace {

using ExchangeCommands = FrameFixture;

// A one-page report holding value in A1, saved at path and closed.
void makeReport(FrameFixture* f, CMainFrame* frame, const QString& path, const QString& value) {
    CChildFrame* made = frame->NewDocument();
    ASSERT_NE(made, nullptr);
    CQorsDoc* doc = made->GetDocument();
    ASSERT_TRUE(doc->EnterDataState());
    doc->Selection().SetCurrentCell(0, 0);
    ASSERT_EQ(doc->SetCellText(value, 1), 0);
    ASSERT_TRUE(doc->Files().OnSaveDocument(path));
    doc->SetModifiedFlag(false);
    made->close();
    QApplication::processEvents();
    (void)f;
}

TEST_F(ExchangeCommands, OwnXmlImportMakesAReportAndRefusesOtherRoots) {
    const QString dir = qortest::freshDir("frames-ownxml");
    makeReport(this, frame.get(), dir + "/own.xml", QStringLiteral("56"));
    ASSERT_TRUE(frame->Children().isEmpty());
    files = {dir + "/own.xml"};
    ASSERT_TRUE(frame->Router().Execute(kCmdImportOwnXml));
    ASSERT_EQ(frame->Children().size(), 1) << messages.join(u'|').toStdString();
    double v = 0;
    ASSERT_TRUE(frame->ActiveDocument()->GetNumCellValue(0, 0, &v));
    EXPECT_EQ(v, 56);
    EXPECT_EQ(fileFilters.last(), qor::QtFileFilter(QStringLiteral("(*.xml)|*.xml||")));

    // Any other root is refused before a report is made.
    QFile other(dir + "/rep.xml");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("<?xml version=\"1.0\"?><rep><a/></rep>");
    other.close();
    messages.clear();
    files = {dir + "/rep.xml", dir + "/none.xml"};
    ASSERT_TRUE(frame->Router().Execute(kCmdImportOwnXml));
    ASSERT_TRUE(frame->Router().Execute(kCmdImportOwnXml));
    EXPECT_EQ(messages, (QStringList{LoadErrorText(qor::str::kUnsupportedXml),
                                     LoadErrorText(qor::str::kUnsupportedXml)}));
    EXPECT_EQ(frame->Children().size(), 1);
}

TEST_F(ExchangeCommands, HtmlConversionWritesBesideEachSourceAndNamesFailures) {
    const QString root = qortest::freshDir("frames-html");
    QDir().mkpath(root + "/a");
    QDir().mkpath(root + "/b");
    makeReport(this, frame.get(), root + "/a/one.rep", QStringLiteral("1"));
    makeReport(this, frame.get(), root + "/b/two.rep", QStringLiteral("2"));
    QFile bad(root + "/b/bad.rep");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a report");
    bad.close();

    // Chosen from the multiple-selection dialog as a typed list.
    CFileFolderDialog::SetModalHook([&](CFileFolderDialog& d) {
        d.setDirectory(root);
        d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("\"a/one.rep\" \"b/bad.rep\" \"b/two.rep\""));
        d.accept();
    });
    messages.clear();
    ASSERT_TRUE(frame->Router().Execute(kCmdConvertToHtml));
    CFileFolderDialog::SetModalHook({});
    EXPECT_TRUE(QFileInfo(root + "/a/html/one_1.html").isFile());
    EXPECT_TRUE(QFileInfo(root + "/b/html/two_1.html").isFile());
    ASSERT_FALSE(messages.isEmpty());
    // One closing message, naming the file that failed and nothing else.
    const QString last = messages.last();
    EXPECT_TRUE(last.contains(QStringLiteral("bad.rep"))) << last.toStdString();
    EXPECT_FALSE(last.contains(QStringLiteral("two.rep")));
    EXPECT_NE(last, LoadErrorText(qor::str::kFileConverted));

    // A clean run ends with the done message; past a hundred files the
    // rest are named as left out.
    QStringList many;
    for (int i = 0; i < 101; ++i) {
        const QString copy = root + QStringLiteral("/a/c%1.rep").arg(i);
        ASSERT_TRUE(QFile::copy(root + "/a/one.rep", copy));
        many << copy;
    }
    const HtmlConversion clean = ConvertReportsToHtml(many.mid(0, 3));
    EXPECT_EQ(clean.Message(), LoadErrorText(qor::str::kFileConverted));
    const HtmlConversion capped = ConvertReportsToHtml(many);
    EXPECT_EQ(capped.converted, 100);
    EXPECT_EQ(capped.leftOut, QStringList{many.last()});
    EXPECT_TRUE(capped.Message().contains(QStringLiteral("c100.rep")));
    EXPECT_FALSE(QFileInfo(root + "/a/html/c100_1.html").exists());
}

TEST_F(ExchangeCommands, CommonReportsComeFromTheFirstLanguageFolderListingTheIndustry) {
    const QString dir = qortest::freshDir("frames-models");
    CReaderApp app(dir + "/app.ini");
    app.m_strIndustryName = QStringLiteral("工业");
    // The list is the template dialogs' one, in the data directory's
    // language folders. zh-TW has no such industry; en-US lists two
    // templates (one by a bare name, one by a full path); zh-CN, tried
    // last, lists another.
    const QString lists = qor::dataDir();
    auto write = [&](const QString& lang, const QByteArray& text) {
        QDir().mkpath(lists + "/" + lang);
        QFile f(lists + "/" + lang + "/qormodel.cfg");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    write("zh-TW", "[商业]\n1=x.rep\n");
    const QString elsewhere = dir + "/elsewhere.rep";
    write("en-US", ("[工业]\n1=bs.rep\n2=" + elsewhere + "\n").toUtf8());
    write("zh-CN", "[工业]\n1=never.rep\n");
    for (const QString& t : {lists + "/en-US/bs.rep", elsewhere}) {
        CReportHandle made(t);
        uint16_t rows = 12, cols = 3;
        ASSERT_EQ(made.AccessTableSize(1, &rows, &cols), 0);
        ASSERT_EQ(made.Save(), 0);
    }
    const QString before = LanguageCode();
    SetLanguageCode(QStringLiteral("xx-XX"));

    messages.clear();
    ASSERT_TRUE(frame->Router().Execute(kCmdCommonReports));
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages.first(), LoadErrorText(qor::str::kGenerateWholeIndustry) + "(工业)" +
                                    LoadErrorText(qor::str::kTemplates));
    ASSERT_EQ(frame->Children().size(), 2) << messages.join(u'|').toStdString();
    for (CChildFrame* child : frame->Children())
        EXPECT_EQ(child->GetDocument()->GetReport()->GetRowCount(), 12);
    EXPECT_EQ(LanguageCode(), QStringLiteral("en-US"));

    // An industry no folder lists: told so, and the language stays.
    SetLanguageCode(QStringLiteral("xx-XX"));
    app.m_strIndustryName = QStringLiteral("农业");
    messages.clear();
    ASSERT_TRUE(frame->Router().Execute(kCmdCommonReports));
    EXPECT_EQ(messages.last(), LoadErrorText(qor::str::kNoRecordFound) +
                                   LoadErrorText(qor::str::kTemplates) + QStringLiteral("农业:("));
    EXPECT_EQ(frame->Children().size(), 2);
    EXPECT_EQ(LanguageCode(), QStringLiteral("xx-XX"));
    // No: nothing happens.
    answers = {qor::MsgAnswer::No};
    ASSERT_TRUE(frame->Router().Execute(kCmdCommonReports));
    EXPECT_EQ(frame->Children().size(), 2);
    // No industry set: told so, never asked about "()".
    app.m_strIndustryName.clear();
    messages.clear();
    ASSERT_TRUE(frame->Router().Execute(kCmdCommonReports));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first(), LoadErrorText(qor::str::kNoIndustry));
    EXPECT_FALSE(messages.first().contains(u"()"));
    EXPECT_EQ(frame->Children().size(), 2);
    SetLanguageCode(before);
    for (CChildFrame* child : frame->Children()) child->GetDocument()->SetModifiedFlag(false);
    for (const char* lang : {"zh-TW", "en-US", "zh-CN"})
        QFile::remove(lists + "/" + lang + "/qormodel.cfg");
}

}  // namespace
