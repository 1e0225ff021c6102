// What a user's edits do to the values: a text typed for a number cell is
// refused and the number stays; a formula changed in format state shows
// (and saves) its new results once the report shows data again.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "cmdlang/enginehooks.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"
#include "view/celleditor.h"
#include "view/cqorsview.h"
#include "view/formulabar.h"
#include "view/input_edit.h"

using namespace qor::view;

namespace {

class EditValues : public ::testing::Test {
protected:
    void SetUp() override {
        qor::cmd::InstallEngineHooks();
        qor::UiServices s;
        s.messageBox = [this](const qor::MessageRequest& r) {
            messages << r.text;
            return r.defaultAnswer;
        };
        previous = qor::installUiServices(s);
        ASSERT_TRUE(doc.Files().OnNewDocument());  // 50 x 7, format state
        view = std::make_unique<CQorsView>(&doc);
        view->resize(800, 600);
        view->OnInitialUpdate();
        view->CellEdit().AttachFormulaBar(&bar, &reference);
        view->show();
    }
    void TearDown() override {
        view.reset();
        doc.Files().OnCloseDocument();
        qor::installUiServices(previous);
    }
    void key(QWidget* w, int k, const QString& text = QString()) {
        QKeyEvent down(QEvent::KeyPress, k, Qt::NoModifier, text);
        QApplication::sendEvent(w, &down);
        QKeyEvent up(QEvent::KeyRelease, k, Qt::NoModifier, text);
        QApplication::sendEvent(w, &up);
    }
    double number(int row, int col) {
        double v = -1;
        EXPECT_TRUE(doc.GetNumCellValue(row, col, &v)) << row << "," << col;
        return v;
    }
    void setFormula(int row, int col, const QString& text) {  // 0-based, format state
        CellArea a = CellArea::cell(row + 1, col + 1);
        ASSERT_EQ(doc.GetReport()->SetAreaFormula(&a, text), 0);
    }

    QStringList messages;
    qor::UiServices previous;
    CQorsDoc doc;
    CFormulaBar bar;
    QLineEdit reference;
    std::unique_ptr<CQorsView> view;
};

TEST_F(EditValues, TextForANumberCellIsRefusedAndTheNumberStays) {
    ASSERT_TRUE(doc.EnterDataState());
    view->SetCurrentAndSelection(1, 1, 1, 1, 1, 1);
    ASSERT_EQ(doc.SetCellText("5100000.50", CQorsDoc::kEntryNumber), 0);

    // Through the formula bar, which takes any text.
    bar.clear();
    for (QChar ch : QStringLiteral("收入")) key(&bar, 0, QString(ch));
    bar.setText(QStringLiteral("收入"));
    ASSERT_EQ(bar.m_nMode, kEditNumber);
    key(&bar, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(number(1, 1), 5100000.50);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("请输入数值"))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("收入"))) << messages[0].toStdString();
    // The entry stays in the bar to be mended.
    EXPECT_EQ(bar.text(), QStringLiteral("收入"));
    EXPECT_EQ(bar.m_nMode, kEditNumber);
    key(&bar, Qt::Key_Escape);

    // The document refuses it whoever asks; a number written as text, with
    // blanks around it, is still a number.
    view->SetCurrentAndSelection(1, 1, 1, 1, 1, 1);
    EXPECT_NE(doc.SetCellText("12abc", CQorsDoc::kEntryNumber), 0);
    EXPECT_DOUBLE_EQ(number(1, 1), 5100000.50);
    EXPECT_NE(doc.SetCellText("nan", CQorsDoc::kEntryNumber), 0);
    EXPECT_NE(doc.SetCellText("inf", CQorsDoc::kEntryNumber), 0);
    EXPECT_DOUBLE_EQ(number(1, 1), 5100000.50);
    EXPECT_EQ(doc.SetCellText(" 42.5 ", CQorsDoc::kEntryNumber), 0);
    EXPECT_DOUBLE_EQ(number(1, 1), 42.5);
}

TEST_F(EditValues, AChangedFormulaShowsAndSavesItsNewResults) {
    // B5 = B3 - B4; C5 reads B5; on two pages.
    setFormula(4, 1, "B3-B4");
    setFormula(4, 2, "B5*2");
    ASSERT_TRUE(doc.EnterDataState());
    ASSERT_EQ(doc.GetReport()->AppendRowColPage(1, 2), 0);
    for (int page = 1; page <= 2; ++page) {
        ASSERT_TRUE(doc.SetCurrentPage(page));
        view->SetCurrentAndSelection(2, 1, 2, 1, 2, 1);
        ASSERT_EQ(doc.SetCellText(QString::number(1000 * page), CQorsDoc::kEntryNumber), 0);
        view->SetCurrentAndSelection(3, 1, 3, 1, 3, 1);
        ASSERT_EQ(doc.SetCellText("400", CQorsDoc::kEntryNumber), 0);
    }
    EXPECT_DOUBLE_EQ(number(4, 1), 1600);
    EXPECT_DOUBLE_EQ(number(4, 2), 3200);

    ASSERT_TRUE(doc.EnterFormatState());
    setFormula(4, 1, "B3-B4-100");
    ASSERT_TRUE(doc.EnterDataState());
    // The page shown and every other page, the formula's readers too.
    ASSERT_TRUE(doc.SetCurrentPage(2));
    EXPECT_DOUBLE_EQ(number(4, 1), 1500);
    EXPECT_DOUBLE_EQ(number(4, 2), 3000);
    ASSERT_TRUE(doc.SetCurrentPage(1));
    EXPECT_DOUBLE_EQ(number(4, 1), 500);
    EXPECT_DOUBLE_EQ(number(4, 2), 1000);

    const QString path = qortest::freshDir("edit-values") + "/saved.rep";
    ASSERT_TRUE(doc.Files().OnSaveDocument(path));
    doc.Files().OnCloseDocument();
    CReportHandle saved(path, CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(saved.IsOpen());
    if (saved.IsFormatState()) {
        ASSERT_EQ(saved.EnterDataState(), 0);
    }
    CellValue v;
    ASSERT_EQ(saved.GetCellValue(&v, 5, 2, 1), 0);
    EXPECT_DOUBLE_EQ(v.number, 500);
    ASSERT_EQ(saved.GetCellValue(&v, 5, 3, 2), 0);
    EXPECT_DOUBLE_EQ(v.number, 3000);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

// Saved while still in format state: the file holds what the changed
// formula computes, and the view is back in format state.
TEST_F(EditValues, AFormulaChangedAndSavedInFormatStateSavesItsResults) {
    setFormula(4, 1, "B3-B4");
    ASSERT_TRUE(doc.EnterDataState());
    view->SetCurrentAndSelection(2, 1, 2, 1, 2, 1);
    ASSERT_EQ(doc.SetCellText("1000", CQorsDoc::kEntryNumber), 0);
    ASSERT_DOUBLE_EQ(number(4, 1), 1000);
    ASSERT_TRUE(doc.EnterFormatState());
    setFormula(4, 1, "B3-B4-100");

    const QString path = qortest::freshDir("edit-values-format") + "/saved.rep";
    ASSERT_TRUE(doc.Files().OnSaveDocument(path));
    EXPECT_FALSE(doc.IsDataState());
    EXPECT_TRUE(doc.GetReport()->IsFormatState());
    doc.Files().OnCloseDocument();
    CReportHandle saved(path, CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(saved.IsOpen());
    if (saved.IsFormatState()) {
        ASSERT_EQ(saved.EnterDataState(), 0);
    }
    CellValue v;
    ASSERT_EQ(saved.GetCellValue(&v, 5, 2, 1), 0);
    EXPECT_DOUBLE_EQ(v.number, 900);
}

}  // namespace
