// 导出报表 then 导入 from qorview's commands: the cells of every page come
// back in a new report window.
#include <QDir>
#include <QLineEdit>
#include <QListWidget>

#include "dialogs/cqordialog.h"
#include "dialogs/exchange_dlgs.h"
#include "engine/creporthandle.h"
#include "engine/paths.h"
#include "frame_fixture.h"
#include "platform/registry.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"

using namespace qor::cmd_ids;
using frametest::FrameFixture;

namespace {

class TextExchangeFrame : public FrameFixture {};

TEST_F(TextExchangeFrame, ExportThenImportFromTheMenusRoundTripsTheReport) {
    // The export goes to the import folder of the settings: a test folder.
    const QString dir = qortest::freshDir("frame-textexchange");
    const QString key = QStringLiteral("Software\\Vantix\\QX\\V8.610");
    ASSERT_TRUE(qor::Registry::writeString(key, "ZWQORImportPath", dir));
    const QString exportDir = GetImportPath();
    ASSERT_EQ(exportDir, dir);
    const QString name = QStringLiteral("frame-export.txt");
    qor::frames::CChildFrame* child = frame->NewDocument();
    ASSERT_TRUE(child);
    CQorsDoc* doc = child->GetDocument();
    ASSERT_TRUE(doc->EnterDataState());
    CReportHandle* rep = doc->GetReport();
    ASSERT_EQ(rep->AppendRowColPage(1, 2), 0);
    ASSERT_EQ(rep->SetCellValue(CellValue::ofNumber(12.5), 2, 3, 1), 0);
    ASSERT_EQ(rep->SetCellValue(CellValue::ofNumber(-7), 4, 1, 2), 0);

    CQorDialog::SetModalHook([&](CQorDialog& d) {
        if (d.TemplateId() == CExportDlg::IDD) {
            qobject_cast<QLineEdit*>(d.GetDlgItem(CExportDlg::IDC_NAME))->setText(name);
            d.OnOK();
        } else if (d.TemplateId() == CImportDlg::IDD) {
            d.OnOK();
        }
    });
    ASSERT_TRUE(frame->Router().Query(kCmdExportText).enabled);
    frame->Router().Execute(kCmdExportText);
    const QString text = QDir(exportDir).filePath(name);
    ASSERT_TRUE(QFileInfo::exists(text)) << messages.join('|').toStdString();

    doc->SetModifiedFlag(false);
    const int before = frame->Children().size();
    files = {QFileInfo(text).absolutePath() + "/" + QFileInfo(text).completeBaseName() + ".ini"};
    ASSERT_TRUE(frame->Router().Query(kCmdImportByIni).enabled);
    frame->Router().Execute(kCmdImportByIni);
    CQorDialog::SetModalHook({});
    ASSERT_EQ(frame->Children().size(), before + 1) << messages.join('|').toStdString();
    CReportHandle* back = frame->ActiveDocument()->GetReport();
    ASSERT_EQ(back->GetPageCount(), 2);
    CellValue v;
    ASSERT_EQ(back->GetCellValue(&v, 2, 3, 1), 0);
    EXPECT_DOUBLE_EQ(v.number, 12.5);
    ASSERT_EQ(back->GetCellValue(&v, 4, 1, 2), 0);
    EXPECT_DOUBLE_EQ(v.number, -7);
    for (qor::frames::CChildFrame* c : frame->Children()) c->GetDocument()->SetModifiedFlag(false);
    qor::Registry::deleteValue(key, "ZWQORImportPath");
}

}  // namespace
