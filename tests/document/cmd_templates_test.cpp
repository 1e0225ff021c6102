// Template and pivot commands.
#include "document/cmd_templates.h"

#include <gtest/gtest.h>

#include "document/doc_commandhook.h"
#include "engine/messages.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;

TEST(CmdTemplates, BrowseCommandFromThePivotDialog) {
    MultiPivotDlgMembers m;
    m.areas = QStringLiteral(" a1:c3, ,E5:G7,b2");
    EXPECT_EQ(BuildBrowseCommand(m), QStringLiteral("BROWSE A1:C3,E5:G7,B2"));
    m.labels = QStringLiteral("北京,\"上海\"");
    EXPECT_EQ(BuildBrowseCommand(m),
              QStringLiteral("BROWSE A1:C3,E5:G7,B2 LABELS \"北京,\"\"上海\"\"\""));
    QString bad;
    m.areas = QStringLiteral("A1:C3,E5:");
    EXPECT_EQ(BuildBrowseCommand(m, &bad), QString());
    EXPECT_EQ(bad, QStringLiteral("E5:"));

    auto doc = newDoc();
    UiRecorder ui;
    QStringList lines;
    SetCommandRunner([&lines](CQorsDoc*, const QString& line, int) {
        lines << line;
        return 0;
    });
    EXPECT_NE(ApplyMultiPivotDlg(*doc, m), 0);
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kBadArea)});
    m.areas = QStringLiteral("A1");
    m.labels.clear();
    EXPECT_EQ(ApplyMultiPivotDlg(*doc, m), 0);
    EXPECT_EQ(lines, QStringList{QStringLiteral("BROWSE A1")});
    SetCommandRunner({});
}

TEST(CmdTemplates, AMissingTemplateChangesNothing) {
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    ReportTemplateDlgMembers m;
    m.chosenPath = testDir() + "/none.rep";
    EXPECT_NE(ApplyReportTemplateDlg(*doc, m), 0);
    EXPECT_FALSE(ui.messages.isEmpty());
    EXPECT_EQ(doc->GetReport()->GetColCount(), 6);
    EXPECT_FALSE(doc->IsModified());
}
