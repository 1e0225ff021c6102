// The insert-count, swap, delete and condition dialogs: captions by mode,
// the count limits, the list checks that keep a dialog open, and what each
// hands back to the document's commands.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <utility>

#include "dialogs/dlgbuild.h"
#include "dialogs/rowcolpage_dlgs.h"
#include "dialogs/rowcolpage_logic.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "resources/stringids.h"
#include "tests/dialogs/dialog_answers.h"

using namespace qor;

namespace {

template <class D>
void onModal(std::function<void(D*)> body) {
    QTimer::singleShot(0, [body] {
        auto* dlg = qobject_cast<D*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        body(dlg);
    });
}

template <class W>
W* ctl(QDialog* dlg, int id) {
    auto* w = dlg->findChild<W*>(QStringLiteral("ctl%1").arg(id));
    EXPECT_NE(w, nullptr);
    return w;
}

void click(QDialog* dlg, int id) { ctl<QAbstractButton>(dlg, id)->click(); }

// Records every message box; the dialogs run as the commands run them.
class RowColPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        UiServices s;
        s.messageBox = [this](const MessageRequest& r) {
            messages << r.text;
            return MsgAnswer::Ok;
        };
        previous = installUiServices(s);
    }
    void TearDown() override { installUiServices(previous); }
    QStringList messages;
    UiServices previous;
    qortest::RegisteredDialogs dialogs;
};

}  // namespace

TEST_F(RowColPageTest, CountCaptionsAndLimitsFollowTheMode) {
    struct Case {
        int32_t mode;
        const char* caption;
        const char* label;
        int32_t maximum;
    };
    const Case cases[] = {{kAppendRows, "追加行", "追加行数量:", 9998},
                          {kAppendCols, "追加列", "追加列数量:", 254},
                          {kAppendPages, "追加表页", "追加表页数量:", 99998},
                          {kInsertRows, "插入行", "插入行数量:", 9998},
                          {kInsertCols, "插入列", "插入列数量:", 254},
                          {kInsertPages, "插入表页", "插入表页数量:", 99998}};
    for (const Case& c : cases) {
        CInsertCountDlg dlg;
        dlg.mode = c.mode;
        dlg.OnInitDialog();
        EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8(c.caption)) << c.mode;
        EXPECT_EQ(ctl<QLabel>(&dlg, CInsertCountDlg::IDC_LABEL)->text(),
                  QString::fromUtf8(c.label));
        EXPECT_EQ(InsertCountModeOf(c.mode).maximum, c.maximum);
    }
    // Other modes take any positive count.
    EXPECT_EQ(InsertCountModeOf(0).maximum, 0);
}

// What is typed is what is read: 0, a count past the mode's maximum and a
// text are refused naming the range, the dialog staying open with the
// count selected; the arrows never leave the range.
TEST_F(RowColPageTest, CountDialogRefusesACountOutsideItsRangeAndStaysOpen) {
    onModal<CInsertCountDlg>([this](CInsertCountDlg* dlg) {
        auto* edit = ctl<QLineEdit>(dlg, CInsertCountDlg::IDC_COUNT);
        EXPECT_EQ(edit->text(), QStringLiteral("3"));
        const QString range = QStringLiteral("“请填入一个在1和254之间的整数。”");
        for (const char* typed : {"0", "255", "-1"}) {
            messages.clear();
            edit->setText(QString::fromLatin1(typed));
            click(dlg, kIdOk);
            EXPECT_TRUE(dlg->isVisible()) << typed;
            EXPECT_EQ(messages, QStringList{range}) << typed;
            EXPECT_EQ(edit->selectedText(), QString::fromLatin1(typed));
        }
        messages.clear();
        edit->setText(QStringLiteral("2x"));
        click(dlg, kIdOk);
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(messages.size(), 1);
        edit->setText(QStringLiteral("254"));
        PressSpin(dlg->GetDlgItem(CInsertCountDlg::IDC_SPIN), -1);
        EXPECT_EQ(edit->text(), QStringLiteral("254"));
        edit->setText(QStringLiteral("1"));
        PressSpin(dlg->GetDlgItem(CInsertCountDlg::IDC_SPIN), 1);
        EXPECT_EQ(edit->text(), QStringLiteral("1"));
        PressSpin(dlg->GetDlgItem(CInsertCountDlg::IDC_SPIN), -1);
        EXPECT_EQ(edit->text(), QStringLiteral("2"));
        click(dlg, kIdOk);
    });
    const auto result = Ask(InsertCountDlgMembers{3, kAppendCols});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->count, 2);
    EXPECT_EQ(result->mode, kAppendCols);

    onModal<CInsertCountDlg>([](CInsertCountDlg* dlg) {
        ctl<QLineEdit>(dlg, CInsertCountDlg::IDC_COUNT)->setText(QStringLiteral("0"));
        click(dlg, kIdCancel);
    });
    EXPECT_FALSE(Ask(InsertCountDlgMembers{1, kInsertRows}));
}

TEST_F(RowColPageTest, SwapRefusesListsOfDifferentLengthAndStaysOpen) {
    onModal<CSwapDlg>([this](CSwapDlg* dlg) {
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("交换行"));
        ctl<QLineEdit>(dlg, CSwapDlg::IDC_SOURCE)->setText("1,3");
        ctl<QLineEdit>(dlg, CSwapDlg::IDC_TARGET)->setText("5");
        click(dlg, kIdOk);
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(messages, QStringList{QStringLiteral("输入的源与目标数应该一一对应")});
        ctl<QLineEdit>(dlg, CSwapDlg::IDC_TARGET)->setText("5,6");
        click(dlg, kIdOk);
    });
    const auto result = Ask(SwapDlgMembers{{}, {}, 1});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->source, "1,3");
    EXPECT_EQ(result->target, "5,6");
}

TEST_F(RowColPageTest, SwapColumnsTakesLettersAndItsOwnTexts) {
    onModal<CSwapDlg>([](CSwapDlg* dlg) {
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("交换列"));
        ctl<QLineEdit>(dlg, CSwapDlg::IDC_SOURCE)->setText("A,c");
        ctl<QLineEdit>(dlg, CSwapDlg::IDC_TARGET)->setText("D,E");
        click(dlg, kIdOk);
    });
    ASSERT_TRUE(Ask(SwapDlgMembers{{}, {}, 2}));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(SwapTextsOf(3).sourceLabel, QStringLiteral("源页号:"));
    // A malformed list is told by the list parser alone.
    EXPECT_FALSE(SwapListsAccepted({"1;2", "3,4", 1}));
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(RowColPageTest, DeleteListChecks) {
    const auto typed = [](const char* list) {
        DeleteDlgMembers m;
        m.mode = 3;
        m.total = 20;
        m.list = QString::fromLatin1(list);
        return m;
    };
    EXPECT_TRUE(DeleteListAccepted(typed("1,8,14")));
    EXPECT_TRUE(DeleteListAccepted(typed("")));
    EXPECT_TRUE(messages.isEmpty());
    for (const char* bad : {"1 8", ",1", "1;2"}) {
        messages.clear();
        EXPECT_FALSE(DeleteListAccepted(typed(bad))) << bad;
        EXPECT_EQ(messages, QStringList{QStringLiteral("输入错误！标准输入如：1,8,14")}) << bad;
    }
}

namespace {

// Answers the condition step with a fixed condition.
struct FixedCondition {
    DefineCondDlgMembers seen;
    ScopedDialog<DefineCondDlgMembers> answer{[this](const DefineCondDlgMembers& m) {
        seen = m;
        DefineCondDlgMembers out = m;
        out.condition = "年=2024";
        return std::optional(out);
    }};
};

}  // namespace

TEST_F(RowColPageTest, DeleteDialogHandsBackListAndCondition) {
    std::optional<FixedCondition> conditions(std::in_place);
    DeleteDlgMembers preset;
    preset.mode = 3;
    preset.keywordFlags = {0, 0, 1, 0, 0, 0};
    preset.values.years = {"2023", "2024", "0"};
    onModal<CDeleteDlg>([this](CDeleteDlg* dlg) {
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("删除表页"));
        ctl<QLineEdit>(dlg, CDeleteDlg::IDC_LIST)->setText("1 8");
        click(dlg, kIdOk);
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(messages.size(), 1);
        ctl<QLineEdit>(dlg, CDeleteDlg::IDC_LIST)->setText("1,8,14");
        click(dlg, CDeleteDlg::IDC_DEFINE_CONDITION);
        EXPECT_EQ(ctl<QLineEdit>(dlg, CDeleteDlg::IDC_CONDITION)->text(), "年=2024");
        click(dlg, kIdOk);
    });
    const auto result = Ask(preset);
    const DefineCondDlgMembers seen = conditions->seen;
    conditions.reset();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->list, "1,8,14");
    EXPECT_EQ(result->condition, "年=2024");
    EXPECT_EQ(seen.keywordFlags, preset.keywordFlags);
    EXPECT_EQ(seen.values, preset.values);

    onModal<CDeleteDlg>([](CDeleteDlg* dlg) { click(dlg, kIdCancel); });
    EXPECT_FALSE(Ask(preset));
}

TEST_F(RowColPageTest, ConditionTextAndJoint) {
    const ConditionTriple year{"年", ">=", "2020"};
    const ConditionTriple unit{"单位名称", "=", "总公司"};
    EXPECT_EQ(BuildCondition(year, 1, unit), "年>=2020 AND 单位名称=\"总公司\"");
    EXPECT_EQ(BuildCondition(year, 0, {"单位编号", "<>", "01"}), "年>=2020 OR 单位编号<>\"01\"");
    EXPECT_EQ(BuildCondition(year, -1, unit), "年>=2020");
    // A joint without a complete right side, or no left side: stays open.
    EXPECT_EQ(BuildCondition(year, 1, {"月", "=", ""}), "");
    EXPECT_EQ(BuildCondition({"", "=", "1"}, -1, {}), "");

    EXPECT_EQ(ToggleJoint(-1, 1), 1);
    EXPECT_EQ(ToggleJoint(1, 1), -1);
    EXPECT_EQ(ToggleJoint(1, 0), 0);

    KeywordValueLists values;
    values.unitNames = {"甲", "乙", "错误", "丙"};
    values.months = {"1", "2", "0", "3"};
    EXPECT_EQ(ConditionKeywordValues(values, "单位名称"), (QStringList{"甲", "乙"}));
    EXPECT_EQ(ConditionKeywordValues(values, "月"), (QStringList{"1", "2"}));
    EXPECT_EQ(DefinedConditionKeywords({1, 0, 1, 0, 0, 1}), (QStringList{"单位名称", "年", "日"}));
}

TEST_F(RowColPageTest, ConditionDialogBuildsFromItsCombos) {
    DefineCondDlgMembers preset;
    preset.keywordFlags = {1, 0, 1, 0, 0, 0};
    preset.values.years = {"2023", "2024", "0"};
    preset.values.unitNames = {"总公司", "错误"};
    onModal<CDefineCondDlg>([](CDefineCondDlg* dlg) {
        auto* leftKey = ctl<QComboBox>(dlg, CDefineCondDlg::IDC_LEFT_KEYWORD);
        ASSERT_EQ(leftKey->count(), 2);
        leftKey->setCurrentText("年");
        auto* leftValue = ctl<QComboBox>(dlg, CDefineCondDlg::IDC_LEFT_VALUE);
        EXPECT_EQ(leftValue->count(), 2);
        leftValue->setCurrentIndex(1);
        ctl<QComboBox>(dlg, CDefineCondDlg::IDC_LEFT_RELATION)->setCurrentText("=");
        click(dlg, CDefineCondDlg::IDC_AND);
        click(dlg, kIdOk);
        EXPECT_TRUE(dlg->isVisible());  // the right side is missing
        ctl<QComboBox>(dlg, CDefineCondDlg::IDC_RIGHT_KEYWORD)->setCurrentText("单位名称");
        ctl<QComboBox>(dlg, CDefineCondDlg::IDC_RIGHT_RELATION)->setCurrentText("<>");
        ctl<QComboBox>(dlg, CDefineCondDlg::IDC_RIGHT_VALUE)->setCurrentIndex(0);
        click(dlg, kIdOk);
    });
    const auto result = Ask(preset);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->joint, 1);
    EXPECT_EQ(result->condition, "年=2024 AND 单位名称<>\"总公司\"");
}

TEST_F(RowColPageTest, RowsAndColumnsOfferNoConditionAndEveryButtonSpeaksChinese) {
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        DeleteDlgMembers preset;
        preset.mode = mode;
        preset.keywordFlags = {0, 0, 1, 0, 0, 0};
        preset.values.years = {"2024", "0"};
        preset.condition = "年=2024";  // whatever a caller left there
        onModal<CDeleteDlg>([](CDeleteDlg* dlg) {
            EXPECT_FALSE(ctl<QPushButton>(dlg, CDeleteDlg::IDC_DEFINE_CONDITION)->isEnabled());
            EXPECT_FALSE(ctl<QLineEdit>(dlg, CDeleteDlg::IDC_CONDITION)->isEnabled());
            EXPECT_EQ(ctl<QPushButton>(dlg, kIdOk)->text(), QStringLiteral("确定"));
            EXPECT_EQ(ctl<QPushButton>(dlg, kIdCancel)->text(), QStringLiteral("取消"));
            ctl<QLineEdit>(dlg, CDeleteDlg::IDC_LIST)->setText("2");
            click(dlg, kIdOk);
        });
        const auto result = Ask(preset);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->list, "2");
        EXPECT_TRUE(result->condition.isEmpty()) << "a row or column delete takes no condition";
    }
    DeleteDlgMembers pages;
    pages.mode = 3;
    onModal<CDeleteDlg>([](CDeleteDlg* dlg) {
        EXPECT_TRUE(ctl<QPushButton>(dlg, CDeleteDlg::IDC_DEFINE_CONDITION)->isEnabled());
        EXPECT_EQ(ctl<QPushButton>(dlg, CDeleteDlg::IDC_DEFINE_CONDITION)->text(),
                  QStringLiteral("条件..."));
        click(dlg, kIdCancel);
    });
    EXPECT_FALSE(Ask(pages));

    InsertCountDlgMembers count;
    count.mode = 11;
    onModal<CInsertCountDlg>([](CInsertCountDlg* dlg) {
        EXPECT_EQ(ctl<QPushButton>(dlg, kIdOk)->text(), QStringLiteral("确定"));
        EXPECT_EQ(ctl<QPushButton>(dlg, kIdCancel)->text(), QStringLiteral("取消"));
        click(dlg, kIdCancel);
    });
    EXPECT_FALSE(Ask(count));
    SwapDlgMembers swap;
    swap.mode = 1;
    onModal<CSwapDlg>([](CSwapDlg* dlg) {
        EXPECT_EQ(ctl<QPushButton>(dlg, kIdOk)->text(), QStringLiteral("确定"));
        click(dlg, kIdCancel);
    });
    EXPECT_FALSE(Ask(swap));
    onModal<CDefineCondDlg>([](CDefineCondDlg* dlg) {
        EXPECT_EQ(ctl<QPushButton>(dlg, kIdCancel)->text(), QStringLiteral("取消"));
        click(dlg, kIdCancel);
    });
    EXPECT_FALSE(Ask(DefineCondDlgMembers{}));
}

// The list is read against what the members say there is, inside the
// dialog: pages past 9,999 are named; 0 and a number past the last are
// told in the same words; in data state the area's lines in use and the
// line every page keeps. The dialog stays open on each refusal.
TEST_F(RowColPageTest, DeleteListIsReadAgainstWhatThereIsAndTheDialogStaysOpen) {
    const auto run = [this](const DeleteDlgMembers& preset, const QStringList& refused,
                            const QString& taken) {
        QStringList told;
        int open = 0;
        onModal<CDeleteDlg>([&](CDeleteDlg* dlg) {
            auto* edit = ctl<QLineEdit>(dlg, CDeleteDlg::IDC_LIST);
            for (const QString& typed : refused) {
                messages.clear();
                edit->setText(typed);
                click(dlg, kIdOk);
                told << messages;
                open += dlg->isVisible();
            }
            edit->setText(taken);
            click(dlg, kIdOk);
        });
        const auto result = Ask(preset);
        EXPECT_EQ(open, refused.size());
        EXPECT_TRUE(result && result->list == taken);
        return told;
    };
    DeleteDlgMembers pages;
    pages.mode = 3;
    pages.total = 12000;
    const QString page = LoadErrorText(str::kPageWord);
    EXPECT_EQ(
        run(pages, {"0", "10000,12001"}, "10000,11999"),
        (QStringList{LoadErrorText(str::kDeleteListOutside).arg(0).arg(page).arg(12000),
                     LoadErrorText(str::kDeleteListOutside).arg(12001).arg(page).arg(12000)}));

    DeleteDlgMembers lines;  // rows 4 to 6 are the area's lines
    lines.mode = 1;
    lines.total = 3;
    lines.first = 4;
    lines.linesKind = 1;
    const QString row = LoadErrorText(str::kWhatRow);
    EXPECT_EQ(run(lines, {"0", "7", "4,5,6"}, "5"),
              (QStringList{LoadErrorText(str::kVarLineOutside).arg(0).arg(row).arg(4).arg(6),
                           LoadErrorText(str::kVarLineOutside).arg(7).arg(row).arg(4).arg(6),
                           LoadErrorText(str::kVarLastLineKept).arg(row).arg(3)}));
}

// What fits now is the range: a count past it is told in the dialog, and
// an arrow brings a count typed past either end back to it.
TEST_F(RowColPageTest, CountDialogOffersTheRoomLeft) {
    QStringList told;
    QStringList stepped;
    onModal<CInsertCountDlg>([&](CInsertCountDlg* dlg) {
        auto* edit = ctl<QLineEdit>(dlg, CInsertCountDlg::IDC_COUNT);
        edit->setText("6");
        click(dlg, kIdOk);
        told = messages;
        EXPECT_TRUE(dlg->isVisible());
        for (const auto& [typed, delta] : {std::pair{"99999", -1}, std::pair{"99999", 1},
                                           std::pair{"-4", 1}, std::pair{"5", 1}}) {
            edit->setText(QString::fromLatin1(typed));
            PressSpin(dlg->GetDlgItem(CInsertCountDlg::IDC_SPIN), delta);
            stepped << edit->text();
        }
        click(dlg, kIdOk);
    });
    const auto result = Ask(InsertCountDlgMembers{1, kAppendRows, 5});
    EXPECT_EQ(told, QStringList{QStringLiteral("“请填入一个在1和5之间的整数。”")});
    EXPECT_EQ(stepped, (QStringList{"5", "5", "1", "4"}));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->count, 4);
}
