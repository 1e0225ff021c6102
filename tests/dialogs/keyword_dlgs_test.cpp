// The keyword, variable-area and rounding-balance dialogs: the custom
// name's rules, the dates against an injected today, the offsets' and
// formula's limits, and the set and enter dialogs driven from their
// commands on a real report.
#include "dialogs/keyword_dlgs.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>
#include <functional>

#include "dialogs/dlgbuild.h"
#include "dialogs/keyword_logic.h"
#include "document/cmd_keywords.h"
#include "engine/messages.h"
#include "engine/reportlayout.h"
#include "tests/dialogs/dialog_answers.h"
#include "tests/document/doc_fixture.h"

using namespace qor;
using doctest::newDoc;
using doctest::UiRecorder;
using qortest::ModalAnswer;
using qortest::RegisteredDialogs;

namespace {

// Today is fixed while it lives.
class FixedToday {
public:
    explicit FixedToday(QDate day) : m_previous(SetKeywordClock([day] { return day; })) {}
    ~FixedToday() { SetKeywordClock(m_previous); }

private:
    KeywordClock m_previous;
};

QLineEdit* edit(CQorDialog& d, int id) { return qobject_cast<QLineEdit*>(d.GetDlgItem(id)); }

}  // namespace

TEST(KeywordLogic, CustomNameRules) {
    EXPECT_EQ(CheckCustomKeywordName(QStringLiteral("年")).messageId, qor::str::kKeywordIsYear);
    EXPECT_EQ(CheckCustomKeywordName(QStringLiteral("单位编号")).messageId,
              qor::str::kKeywordIsUnitCode);
    EXPECT_EQ(CheckCustomKeywordName(QStringLiteral("部门＃")).messageId,
              qor::str::kKeywordNameHash);
    // Checked in a fixed order: "#" before "%".
    EXPECT_EQ(CheckCustomKeywordName(QStringLiteral("a%b#")).messageId, qor::str::kKeywordNameHash);
    EXPECT_EQ(CheckCustomKeywordName(QStringLiteral("a%b")).messageId,
              qor::str::kKeywordNamePercent);
    EXPECT_EQ(CheckCustomKeywordName(QStringLiteral(" ")).messageId, qor::str::kKeywordNameEmpty);
    const DlgRefusal tooLong = CheckCustomKeywordName(QString(15, u'周'));
    EXPECT_EQ(tooLong.messageId, qor::str::kKeywordNameTooLong);
    EXPECT_EQ(tooLong.focusId, 1281);
    EXPECT_TRUE(CheckCustomKeywordName(QString(14, u'周')).accepted());
    // Every refusal names what it refuses.
    const QString refused[] = {"#",  "￥", "％", "＊", "~",  "!", "@", "$", "^", "&", "'",
                               "\"", "<",  ">",  "/",  "\\", "|", "%", "*", "(", ")"};
    for (const QString& c : refused) {
        const DlgRefusal r = CheckCustomKeywordName(QStringLiteral("x") + c);
        EXPECT_FALSE(r.accepted()) << qPrintable(c);
        EXPECT_TRUE(r.text().endsWith(c)) << qPrintable(r.text());
    }
    for (const QString& n : {QStringLiteral("单位名称"), QStringLiteral("季"), QStringLiteral("月"),
                             QStringLiteral("日")})
        EXPECT_TRUE(CheckCustomKeywordName(n).text().contains(u'<' + n + u'>')) << qPrintable(n);
}

TEST(KeywordLogic, DatesAgainstToday) {
    const QDate today(2003, 8, 15);
    EnterKeywordDlgMembers m;
    m.enableYear = m.enableMonth = m.enableDay = 1;
    EnterKeywordTexts t{"2000", "", "2", "29", "", "", ""};
    EXPECT_TRUE(CheckEnterKeyword(t, {}, today, &m).accepted());
    t.year = "2004";
    EXPECT_TRUE(CheckEnterKeyword(t, {}, today, &m).accepted());
    t.year = "2003";
    const DlgRefusal feb = CheckEnterKeyword(t, {}, today, &m);
    EXPECT_EQ(feb.messageId, qor::str::kDayRange);
    EXPECT_EQ(feb.focusId, 1050);
    EXPECT_TRUE(feb.text().contains(QStringLiteral("1~28")));

    // Without the year, today's year decides February; without the month,
    // any day up to 31 passes.
    EnterKeywordDlgMembers noYear;
    noYear.enableMonth = noYear.enableDay = 1;
    EnterKeywordTexts t2{"", "", "2", "29", "", "", ""};
    EXPECT_EQ(CheckEnterKeyword(t2, {}, today, &noYear).messageId, qor::str::kDayRange);
    EXPECT_TRUE(CheckEnterKeyword(t2, {}, QDate(2004, 1, 1), &noYear).accepted());
    EnterKeywordDlgMembers dayOnly;
    dayOnly.enableDay = 1;
    EXPECT_TRUE(CheckEnterKeyword({"", "", "", "31", "", "", ""}, {}, today, &dayOnly).accepted());

    // The custom value's range follows its name.
    EnterKeywordDlgMembers custom;
    custom.enableCustom = 1;
    EnterKeywordTexts c{"", "", "", "", "37", "", ""};
    EXPECT_EQ(CheckEnterKeyword(c, QStringLiteral("旬"), today, &custom).messageId,
              qor::str::kTenDayRange);
    c.custom = "54";
    EXPECT_EQ(CheckEnterKeyword(c, QStringLiteral("周"), today, &custom).messageId,
              qor::str::kWeekRange);
    EXPECT_TRUE(CheckEnterKeyword(c, QStringLiteral("批次"), today, &custom).accepted());
    EXPECT_EQ(custom.customNumber, 54);

    // Zero dates open as today.
    const EnterKeywordDlgMembers shown = EnterKeywordShown(EnterKeywordDlgMembers{}, today);
    EXPECT_EQ(shown.year, 2003);
    EXPECT_EQ(shown.quarter, 3);
    EXPECT_EQ(shown.month, 8);
    EXPECT_EQ(shown.day, 15);
    EXPECT_EQ(shown.customNumber, 1);
}

TEST(KeywordLogic, RoundBalanceLimits) {
    RoundBalanceDlgMembers typed, out;
    typed.formula = QString(3745, u'x');
    EXPECT_TRUE(CheckRoundBalance("8", typed, &out).accepted());
    EXPECT_EQ(out.digits, 8);
    for (const char* d : {"0", "9", "x"}) {
        const DlgRefusal r = CheckRoundBalance(d, typed, &out);
        EXPECT_EQ(r.messageId, qor::str::kRoundingDigitsRange) << d;
        EXPECT_EQ(r.focusId, 1036);
    }
    typed.formula += u'x';
    const DlgRefusal longFormula = CheckRoundBalance("2", typed, &out);
    EXPECT_EQ(longFormula.focusId, 1050);
    EXPECT_TRUE(longFormula.text().endsWith(LoadErrorText(qor::str::kOverLimitSetAgain)));
    EXPECT_TRUE(longFormula.text().startsWith(LoadErrorText(qor::str::kRoundingFormulaCapacity)));
    typed.formula.clear();
    typed.tableName = QString(256, u't');
    EXPECT_EQ(CheckRoundBalance("2", typed, &out).messageId, qor::str::kTableNameTooLong);
}

TEST(KeywordDialogs, OffsetsAndSizeStepFromWhatIsShown) {
    UiRecorder ui;
    CKeywordOffsetDlg off;
    off.offsets[2] = 298;
    off.offsets[3] = -299;
    off.enableYear = off.enableQuarter = 1;
    off.OnInitDialog();
    for (int i = 0; i < 4; ++i) {
        PressSpin(off.GetDlgItem(CKeywordOffsetDlg::IDC_SPINS[2]), -1);
        PressSpin(off.GetDlgItem(CKeywordOffsetDlg::IDC_SPINS[3]), 1);
    }
    EXPECT_EQ(edit(off, 1036)->text(), QStringLiteral("300"));
    EXPECT_EQ(edit(off, 1050)->text(), QStringLiteral("-300"));
    EXPECT_FALSE(edit(off, 1000)->isEnabled());  // unit name not placed
    off.OnOK();
    EXPECT_EQ(off.offsets[2], 300);
    EXPECT_EQ(off.offsets[3], -300);

    CResetVarAreaDlg size;
    size.ResetVarAreaDlgMembers::size = 5;
    size.OnInitDialog();
    PressSpin(size.GetDlgItem(CResetVarAreaDlg::IDC_SPIN), -1);
    EXPECT_EQ(edit(size, 1000)->text(), QStringLiteral("6"));
    edit(size, 1000)->setText("9999");
    size.OnOK();
    EXPECT_EQ(size.Result(), 0);
    EXPECT_EQ(ui.messages.size(), 1);
}

TEST(KeywordDialogs, UnitNumberHoldsWhatAKeywordValueHolds) {
    CEnterKeywordDlg dlg;
    dlg.enableUnitNumber = dlg.enableUnitName = 1;
    dlg.OnInitDialog();
    edit(dlg, CEnterKeywordDlg::IDC_UNIT_NUMBER)->setText(QString(80, u'7'));
    edit(dlg, CEnterKeywordDlg::IDC_UNIT_NAME)->setText(QStringLiteral("甲\"公司"));
    dlg.OnOK();
    EXPECT_EQ(dlg.Result(), CQorDialog::IDOK);
    EXPECT_EQ(dlg.unitNumber.size(), 32);
    EXPECT_EQ(dlg.unitName, QStringLiteral("甲\"公司"));
}

TEST(KeywordDialogs, CustomWeekThenEnteringFiftyFourIsRefused) {
    FixedToday today(QDate(2004, 2, 10));
    auto doc = newDoc(10, 6);
    UiRecorder ui;
    RegisteredDialogs dialogs;
    doc->Selection().SetCurrentCell(1, 1);
    {
        ModalAnswer a([](CQorDialog& d) {
            qobject_cast<QRadioButton*>(d.GetDlgItem(CSetKeywordDlg::IDC_CUSTOM))->click();
            auto* type = qobject_cast<QComboBox*>(d.GetDlgItem(CSetKeywordDlg::IDC_TYPE));
            type->setCurrentIndex(0);  // numeric
            auto* name = qobject_cast<QComboBox*>(d.GetDlgItem(CSetKeywordDlg::IDC_NAME));
            name->setEditText(QString(15, u'周'));
            d.OnOK();
            EXPECT_EQ(d.Result(), 0);  // too long: still open
            name->setEditText(QStringLiteral("周"));
            d.OnOK();
        });
        EXPECT_EQ(OnSetKeyword(*doc), 0);
    }
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kKeywordNameTooLong)});
    EXPECT_EQ(doc->GetReport()->GetReportFile()->GetUserKeywordName(), QStringLiteral("周"));

    ASSERT_TRUE(doc->EnterDataState());
    CustomKeywordName.clear();  // as after opening another report
    int shownYear = 0;
    {
        ModalAnswer a([&](CQorDialog& d) {
            shownYear = edit(d, CEnterKeywordDlg::IDC_YEAR)->text().toInt();
            edit(d, CEnterKeywordDlg::IDC_CUSTOM)->setText("54");
            d.OnOK();
            EXPECT_EQ(d.Result(), 0);
            EXPECT_EQ(ui.messages.last(), LoadErrorText(qor::str::kWeekRange));
            edit(d, CEnterKeywordDlg::IDC_CUSTOM)->setText("53");
            d.OnOK();
        });
        EXPECT_EQ(OnEnterKeyword(*doc), 0);
    }
    EXPECT_EQ(shownYear, 2004);
    EXPECT_EQ(PresetEnterKeywordDlg(*doc).customNumber, 53);
}

TEST(KeywordDialogs, RoundBalanceKeepsTheFocusOnTheFormula) {
    UiRecorder ui;
    CRoundBalanceDlg dlg;
    dlg.OnInitDialog();
    qobject_cast<QPlainTextEdit*>(dlg.GetDlgItem(CRoundBalanceDlg::IDC_FORMULA))
        ->setPlainText(QString(3746, u'x'));
    dlg.OnOK();
    EXPECT_EQ(dlg.Result(), 0);
    EXPECT_EQ(dlg.focusWidget(), dlg.GetDlgItem(CRoundBalanceDlg::IDC_FORMULA));
}

TEST(KeywordDialogs, TheCustomNameRefusedForLengthIsToldTheLengthTheReportKeeps) {
    // The message names the limit the report keeps, not another number.
    EXPECT_TRUE(LoadErrorText(qor::str::kKeywordNameTooLong)
                    .contains(QString::number(kUserKeywordNameChars)))
        << LoadErrorText(qor::str::kKeywordNameTooLong).toStdString();
    EXPECT_FALSE(LoadErrorText(qor::str::kKeywordNameTooLong).contains(QStringLiteral("9个")));
    UiRecorder ui;
    CSetKeywordDlg dlg;
    dlg.kind = 6;
    dlg.OnInitDialog();
    auto* name = qobject_cast<QComboBox*>(dlg.GetDlgItem(CSetKeywordDlg::IDC_NAME));
    ASSERT_TRUE(name && name->lineEdit());
    bool stayed = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(dlg.isVisible());
        name->setEditText(QString(kUserKeywordNameChars + 1, u'项'));
        dlg.OnOK();
        stayed = dlg.isVisible();
        name->setEditText(QString(kUserKeywordNameChars, u'项'));
        dlg.OnOK();
    });
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_TRUE(stayed) << "a name longer than the report keeps is refused";
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kKeywordNameTooLong)});
    EXPECT_EQ(dlg.customName, QString(kUserKeywordNameChars, u'项'));
}
