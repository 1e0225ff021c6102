// The consolidation wizards driven step by step, as a user would, and run
// through the document's dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "dialogs/ctabhuizongwizardsheet.h"
#include "dialogs/cvhuizongwizardsheet.h"
#include "document/cmd_consolidate.h"
#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "tests/dialogs/dialog_answers.h"

using namespace qor;

namespace {

// Collects message boxes instead of showing them.
struct MessageLog {
    QList<MessageRequest> shown;
    UiServices previous;
    MessageLog() {
        UiServices s;
        s.messageBox = [this](const MessageRequest& r) {
            shown << r;
            return MsgAnswer::Ok;
        };
        previous = installUiServices(s);
    }
    ~MessageLog() { installUiServices(previous); }
};

struct CustomName {
    QString previous = ::CustomKeywordName;
    explicit CustomName(const QString& name) { ::CustomKeywordName = name; }
    ~CustomName() { ::CustomKeywordName = previous; }
};

template <class T>
T* item(qor::consol::WizardSheet& sheet, int id) {
    return qobject_cast<T*>(sheet.GetActivePage()->GetDlgItem(id));
}

void pick(QComboBox* combo, const QString& text) {
    ASSERT_NE(combo, nullptr);
    const int i = combo->findText(text);
    ASSERT_GE(i, 0) << text.toStdString();
    combo->setCurrentIndex(i);
}

QStringList entries(const QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
    return out;
}

bool enabled(const qor::consol::WizardSheet& sheet, int id) {
    return sheet.GetDlgItem(id)->isEnabled();
}

void presetReport(TabHuiZongWizardMembers* m, int kind, int extent) {
    m->varKind = kind;
    m->varExtent = extent;
    m->keywordFlags = {1, 0, 1, 0, 0, 0, 0};
    m->values.years = {QStringLiteral("2004"), QStringLiteral("2005")};
    m->values.unitNames = {QStringLiteral("Alpha")};
}

using Sheet = CTabHuiZongWizardSheet;

}  // namespace

TEST(ConsolWizard, FinishingWithDefaultsConsolidatesEverything) {
    Sheet sheet;
    presetReport(&sheet, 1, 3);
    sheet.AddWizardPages();
    sheet.Start();
    EXPECT_FALSE(enabled(sheet, Sheet::ID_WIZBACK));
    EXPECT_TRUE(sheet.PressFinish());
    EXPECT_EQ(sheet.result(), Sheet::ID_WIZFINISH);
    EXPECT_EQ(BuildTotalCommand(sheet), QStringLiteral("TOTAL "));
}

TEST(ConsolWizard, PageWizardThroughAllSteps) {
    MessageLog log;
    Sheet sheet;
    presetReport(&sheet, 1, 3);
    sheet.AddWizardPages();
    sheet.Start();

    // Direction: a new report needs its name.
    auto* name = item<QLineEdit>(sheet, CTabHuiZongWizardPage1::IDC_NEW_REPORT_NAME);
    EXPECT_FALSE(name->isEnabled());
    item<QRadioButton>(sheet, CTabHuiZongWizardPage1::IDC_TO_NEW_REPORT)->click();
    EXPECT_TRUE(name->isEnabled());
    EXPECT_FALSE(sheet.PressNext());
    ASSERT_EQ(log.shown.size(), 1);
    EXPECT_EQ(log.shown[0].text, QStringLiteral("汇总的新报表名称为输入"));
    EXPECT_EQ(sheet.GetActiveIndex(), 0);
    name->setText(QStringLiteral("sum"));
    ASSERT_TRUE(sheet.PressNext());

    // Condition: the combos' term is taken when the edit is left empty.
    EXPECT_TRUE(enabled(sheet, Sheet::ID_WIZBACK));
    EXPECT_TRUE(enabled(sheet, Sheet::ID_WIZNEXT));
    auto* keyword = item<QComboBox>(sheet, 1198);
    EXPECT_EQ(entries(keyword), (QStringList{QStringLiteral("单位名称"), QStringLiteral("年")}));
    pick(keyword, QStringLiteral("年"));
    auto* value = item<QComboBox>(sheet, 1200);
    EXPECT_EQ(entries(value), (QStringList{QStringLiteral("2004"), QStringLiteral("2005")}));
    pick(item<QComboBox>(sheet, 1199), QStringLiteral("="));
    pick(value, QStringLiteral("2004"));
    ASSERT_TRUE(sheet.PressNext());
    EXPECT_EQ(sheet.pageCondition, QStringLiteral("年=2004"));

    // Position: by key value needs a key.
    EXPECT_FALSE(enabled(sheet, Sheet::ID_WIZNEXT));
    auto* key = item<QComboBox>(sheet, CTabHuiZongWizardPage3::IDC_KEY);
    EXPECT_EQ(entries(key),
              (QStringList{QStringLiteral("V_A"), QStringLiteral("V_B"), QStringLiteral("V_C")}));
    item<QRadioButton>(sheet, CTabHuiZongWizardPage3::IDC_BY_KEY)->click();
    EXPECT_FALSE(sheet.PressFinish());
    ASSERT_EQ(log.shown.size(), 2);
    EXPECT_EQ(log.shown[1].text, QStringLiteral("按关键字汇总！请选择关键值！"));
    EXPECT_EQ(log.shown[1].caption, LoadErrorText(qor::str::kAppTitle));
    pick(key, QStringLiteral("V_A"));
    ASSERT_TRUE(sheet.PressFinish());
    EXPECT_EQ(BuildTotalCommand(sheet), QStringLiteral("TOTAL TO \"sum\"  KEY V_A FOR 年=2004"));
}

TEST(ConsolWizard, TypedConditionIsKeptAndBackStoresIt) {
    Sheet sheet;
    presetReport(&sheet, 0, 0);
    sheet.AddWizardPages();
    sheet.Start();
    ASSERT_TRUE(sheet.PressNext());
    pick(item<QComboBox>(sheet, 1198), QStringLiteral("单位名称"));
    pick(item<QComboBox>(sheet, 1199), QStringLiteral("<>"));
    pick(item<QComboBox>(sheet, 1200), QStringLiteral("Alpha"));
    auto* edit = item<QLineEdit>(sheet, 1203);
    edit->setText(QStringLiteral("月>3"));
    ASSERT_TRUE(sheet.PressBack());
    EXPECT_EQ(sheet.pageCondition, QStringLiteral("月>3"));
    ASSERT_TRUE(sheet.PressNext());
    // The buttons build on what is there.
    qobject_cast<QPushButton*>(sheet.GetActivePage()->GetDlgItem(1201))->click();
    qobject_cast<QPushButton*>(sheet.GetActivePage()->GetDlgItem(1204))->click();
    EXPECT_EQ(edit->text(), QStringLiteral("月>3 AND 单位名称<>\"Alpha\""));
    ASSERT_TRUE(sheet.PressNext());

    // No variable area: the key combo says so, and by key is by position.
    auto* key = item<QComboBox>(sheet, CTabHuiZongWizardPage3::IDC_KEY);
    EXPECT_EQ(entries(key), QStringList{QStringLiteral("不存在可变区！")});
    item<QRadioButton>(sheet, CTabHuiZongWizardPage3::IDC_BY_KEY)->click();
    ASSERT_TRUE(sheet.PressFinish());
    EXPECT_EQ(sheet.byPosition, 1);
    EXPECT_EQ(BuildTotalCommand(sheet), QStringLiteral("TOTAL  FOR 月>3 AND 单位名称<>\"Alpha\""));
}

TEST(ConsolWizard, CustomKeywordIsTheSeventhName) {
    CustomName custom(QStringLiteral("部门"));
    Sheet sheet;
    presetReport(&sheet, 0, 0);
    sheet.keywordFlags = {1, 1, 1, 1, 1, 1, 1};
    sheet.values.custom = {QStringLiteral("销售")};
    sheet.AddWizardPages();
    sheet.Start();
    ASSERT_TRUE(sheet.PressNext());
    auto* keyword = item<QComboBox>(sheet, 1198);
    ASSERT_EQ(keyword->count(), 7);
    pick(keyword, QStringLiteral("部门"));
    EXPECT_EQ(entries(item<QComboBox>(sheet, 1200)), QStringList{QStringLiteral("销售")});
}

TEST(ConsolWizard, VariableAreaWizard) {
    CVHuiZongWizardSheet sheet;
    sheet.varKind = 1;
    sheet.varExtent = 2;
    sheet.AddWizardPages();
    sheet.Start();
    EXPECT_FALSE(enabled(sheet, Sheet::ID_WIZBACK));
    EXPECT_TRUE(enabled(sheet, Sheet::ID_WIZNEXT));
    ASSERT_TRUE(sheet.PressNext());
    EXPECT_TRUE(sheet.pageCondition.isEmpty());
    EXPECT_TRUE(enabled(sheet, Sheet::ID_WIZBACK));
    EXPECT_FALSE(enabled(sheet, Sheet::ID_WIZNEXT));
    auto* line = item<QComboBox>(sheet, 1019);
    EXPECT_EQ(entries(line), (QStringList{QStringLiteral("V_A"), QStringLiteral("V_B")}));
    pick(line, QStringLiteral("V_A"));
    pick(item<QComboBox>(sheet, 1012), QStringLiteral(">"));
    item<QComboBox>(sheet, 1020)->setEditText(QStringLiteral("100"));
    ASSERT_TRUE(sheet.PressFinish());
    EXPECT_EQ(BuildGTotalCommand(sheet), QStringLiteral("GTOTAL FOR ; V_A>100"));
}

TEST(ConsolWizard, DocumentDialogsRunTheWizardsModally) {
    qortest::RegisteredDialogs dialogs;
    // Presets the caller never keeps: the wizard starts into this report,
    // by position.
    TabHuiZongWizardMembers preset;
    presetReport(&preset, 1, 3);
    preset.toNewReport = 1;
    preset.byPosition = 0;

    auto press = [](int id) {
        QTimer::singleShot(0, [id] {
            auto* sheet =
                qobject_cast<qor::consol::WizardSheet*>(QApplication::activeModalWidget());
            ASSERT_NE(sheet, nullptr);
            sheet->GetDlgItem(id)->click();
        });
    };
    press(Sheet::ID_WIZFINISH);
    const auto done = Ask(preset);
    ASSERT_TRUE(done.has_value());
    EXPECT_EQ(done->toNewReport, 0);
    EXPECT_EQ(done->byPosition, 1);
    EXPECT_EQ(done->values, preset.values);
    EXPECT_EQ(BuildTotalCommand(*done), QStringLiteral("TOTAL "));

    press(Sheet::IDCANCEL);
    EXPECT_FALSE(Ask(VHuiZongWizardMembers{}).has_value());
    press(Sheet::ID_WIZFINISH);
    EXPECT_TRUE(Ask(VHuiZongWizardMembers{}).has_value());
}
