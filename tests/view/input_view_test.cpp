// The sheet view driven by mouse and key events over a real document: drag
// selections, header clicks, border drags, keys over a variable area and
// combined cells, and typing through the in-cell editor and formula bar.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>

#include "document/cmd_edit.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "platform/uiservices.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "view/celleditor.h"
#include "view/cqorsview.h"
#include "view/formulabar.h"
#include "view/input_edit.h"

using namespace qor::cmd_ids;
using namespace qor::view;

namespace {

class InputView : public ::testing::Test {
protected:
    void SetUp() override {
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
        qor::installUiServices(previous);
    }

    QPoint cellPoint(int row, int col) const {
        Rect r{col, row, col, row};
        view->Geometry().CellRangeToDocRect(r);
        view->Geometry().DocToClient(r);
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    Rect cellRect(int row, int col) const {
        Rect r{col, row, col, row};
        view->Geometry().CellRangeToDocRect(r);
        view->Geometry().DocToClient(r);
        return r;
    }
    void mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(p), QPointF(view->mapToGlobal(p)), button, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(view.get(), &e);
    }
    void press(QPoint p) { mouse(QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton); }
    void drag(QPoint p) { mouse(QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }
    void release(QPoint p) { mouse(QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton); }
    void key(QWidget* w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier,
             const QString& text = QString()) {
        QKeyEvent down(QEvent::KeyPress, k, mods, text);
        QApplication::sendEvent(w, &down);
        QKeyEvent up(QEvent::KeyRelease, k, mods, text);
        QApplication::sendEvent(w, &up);
    }
    // The first character goes to the sheet, which opens the editor; the
    // rest to the editor, which then has the focus.
    void type(const QString& text) {
        for (int i = 0; i < text.size(); ++i)
            key(i == 0 ? static_cast<QWidget*>(view.get()) : view->CellEdit().CellEditor(), 0,
                Qt::NoModifier, text.mid(i, 1));
    }
    void combine(int r1, int c1, int r2, int c2) {  // 0-based
        const CellArea a = CellArea::area(r1 + 1, c1 + 1, r2 + 1, c2 + 1);
        ASSERT_EQ(doc.GetReport()->CombineCells(&a), 0);
        doc.UpdateAllViews(CQorsDoc::kHintLayout);
    }

    QStringList messages;
    qor::UiServices previous;
    CQorsDoc doc;
    CFormulaBar bar;
    QLineEdit reference;
    std::unique_ptr<CQorsView> view;
};

}  // namespace

TEST_F(InputView, DragSelectsAndTakesCombinedCellsWhole) {
    press(cellPoint(1, 1));
    EXPECT_EQ(view->CurrentSelection().area, CellArea::cell(1, 1));
    drag(cellPoint(3, 4));
    release(cellPoint(3, 4));
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(1, 1, 3, 4));
    EXPECT_EQ(view->CurrentSelection().curRow, 1);
    EXPECT_EQ(view->CurrentSelection().curCol, 1);
    EXPECT_EQ(reference.text(), "B2:E4");

    combine(5, 2, 6, 4);
    press(cellPoint(4, 0));
    drag(cellPoint(5, 1));
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(4, 0, 5, 1));
    drag(cellPoint(5, 2));  // into the combined cell: all of it
    release(cellPoint(5, 2));
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(4, 0, 6, 4));

    // A click on the combined cell selects the whole area.
    press(cellPoint(6, 3));
    release(cellPoint(6, 3));
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(5, 2, 6, 4));
}

TEST_F(InputView, HeaderAndCornerClicks) {
    const int hw = view->Display().CurrentViewState().headerWidth,
              hh = view->Display().CurrentViewState().headerHeight;
    combine(4, 0, 4, 1);
    press(QPoint(hw / 2, cellPoint(4, 0).y()));
    release(QPoint(hw / 2, cellPoint(4, 0).y()));
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(4, 0, 4, 6));
    EXPECT_EQ(view->CurrentSelection().curCol, 2);  // the first cell outside combined cells
    EXPECT_TRUE(doc.Selection().WholeRows());
    EXPECT_FALSE(doc.Selection().WholeColumns());

    // Dragging down the row header takes whole rows.
    press(QPoint(hw / 2, cellPoint(1, 0).y()));
    drag(QPoint(hw / 2, cellPoint(3, 0).y()));
    release(QPoint(hw / 2, cellPoint(3, 0).y()));
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(1, 0, 3, 6));

    press(QPoint(cellPoint(0, 2).x(), hh / 2));
    release(QPoint(cellPoint(0, 2).x(), hh / 2));
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(0, 2, 49, 2));
    EXPECT_TRUE(doc.Selection().WholeColumns());

    press(QPoint(hw / 2, hh / 2));
    release(QPoint(hw / 2, hh / 2));
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(0, 0, 49, 6));
    EXPECT_TRUE(doc.Selection().WholeRows() && doc.Selection().WholeColumns());
    // A key clears both flags.
    key(view.get(), Qt::Key_Down);
    EXPECT_FALSE(doc.Selection().WholeRows() || doc.Selection().WholeColumns());
}

TEST_F(InputView, RowBorderDragSetsHeight) {
    const int hw = view->Display().CurrentViewState().headerWidth;
    const Rect row2 = cellRect(2, 0);
    const int shown = view->Geometry().GetRowHeightPixels(2);
    const uint16_t before = doc.GetRowHeight(0, 2);
    const QPoint border(hw / 2, row2.bottom - 1);

    // A click on the border without a drag leaves the height alone.
    press(border);
    EXPECT_EQ(view->HitCode(), kTargetRowBorder + 2);
    release(border);
    EXPECT_EQ(doc.GetRowHeight(0, 2), before);
    EXPECT_FALSE(doc.IsModified());

    press(border);
    drag(border + QPoint(0, 14));
    EXPECT_TRUE(view->SizingLine().has_value());
    release(border + QPoint(0, 14));
    EXPECT_EQ(doc.GetRowHeight(0, 2),
              DraggedSize(shown, 14, view->Display().CurrentViewState().scale, kMaxRowHeight));
    EXPECT_FALSE(view->SizingLine().has_value());
    EXPECT_EQ(view->HitCode(), kTargetNone);

    // Dragged up past its top: hidden.
    const Rect again = cellRect(2, 0);
    press(QPoint(hw / 2, again.bottom - 1));
    release(QPoint(hw / 2, again.top - 30));
    EXPECT_EQ(doc.GetRowHeight(0, 2), 0);

    // A column far wider than allowed is stored as 640.
    const Rect col1 = cellRect(0, 1);
    const QPoint cborder(col1.right - 1, view->Display().CurrentViewState().headerHeight / 2);
    press(cborder);
    release(cborder + QPoint(2000, 0));
    EXPECT_EQ(doc.GetColumnWidth(1, 0), 640);
}

TEST_F(InputView, KeysOverVariableAreaAndCombinedCells) {
    int kind = 1, start = 4, extent = 4;  // rows 3..6 from 0
    ASSERT_EQ(doc.GetReport()->AccessVarArea(1, &kind, &start, &extent), 0);
    doc.UpdateAllViews(CQorsDoc::kHintLayout);
    view->SetCurrentAndSelection(2, 0, 2, 0, 2, 0);
    key(view.get(), Qt::Key_Down);
    EXPECT_EQ(view->CurrentSelection().curRow, 3);
    key(view.get(), Qt::Key_Down);  // over the hidden band
    EXPECT_EQ(view->CurrentSelection().curRow, 7);
    EXPECT_EQ(doc.Selection().CurrentRow(), 4);  // the document counts without the band
    key(view.get(), Qt::Key_Up);
    EXPECT_EQ(view->CurrentSelection().curRow, 3);
    // Shift+Down grows past the band too.
    key(view.get(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(3, 0, 7, 0));

    combine(6, 1, 7, 2);  // document rows: view rows 9..10 after the band
    view->SetCurrentAndSelection(8, 1, 8, 1, 8, 1);
    key(view.get(), Qt::Key_Down);
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(9, 1, 10, 2));
    key(view.get(), Qt::Key_Return);  // Enter moves down, from the area's bottom
    EXPECT_EQ(view->CurrentSelection().curRow, 11);
    key(view.get(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(11, 1, 11, 2));
    key(view.get(), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(9, 1, 11, 2));

    key(view.get(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view->CurrentSelection().curCol, 6);
    key(view.get(), Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view->CurrentSelection().area, CellArea::cell(0, 0));
    EXPECT_EQ(view->FirstRow(), 0);
    key(view.get(), Qt::Key_PageDown);
    EXPECT_GT(view->FirstRow(), 0);
    EXPECT_EQ(view->CurrentSelection().curRow, view->FirstRow());
}

TEST_F(InputView, CommandKeys) {
    QList<int> commands;
    QObject::connect(view.get(), &CQorsView::commandRequested,
                     [&commands](int id) { commands << id; });
    key(view.get(), Qt::Key_D, Qt::ControlModifier);
    ASSERT_EQ(commands, QList<int>{kCmdSwitchState});
    // Ctrl+Delete clears and switches nothing.
    ASSERT_EQ(doc.GetReport()->SetCellValue(CellValue{kCellLabel, 0, "x"}, 1, 1, 0), 0);
    key(view.get(), Qt::Key_Delete, Qt::ControlModifier);
    QString text;
    EXPECT_FALSE(doc.GetStyleCellText(0, 0, &text) && !text.isEmpty());
    EXPECT_EQ(commands.size(), 1);
    EXPECT_FALSE(doc.IsDataState());
}

TEST_F(InputView, TypingANumberInDataState) {
    ASSERT_TRUE(doc.EnterDataState());
    press(cellPoint(1, 1));
    release(cellPoint(1, 1));
    EXPECT_EQ(reference.text(), QStringLiteral("B2@") + QString::number(doc.ViewState().curPage));
    type("12x");  // the letter is refused by the numeric entry
    ASSERT_TRUE(view->CellEdit().CellEditor()->isVisible());
    EXPECT_EQ(view->CellEdit().CellEditor()->m_nMode, kEditNumber);
    EXPECT_EQ(view->CellEdit().CellEditor()->text(), "12");
    EXPECT_EQ(bar.text(), "12");  // mirrored
    key(view->CellEdit().CellEditor(), Qt::Key_Return);
    double v = 0;
    ASSERT_TRUE(doc.GetNumCellValue(1, 1, &v));
    EXPECT_EQ(v, 12.0);
    EXPECT_EQ(view->CurrentSelection().curRow, 2);  // Enter moved on
    EXPECT_FALSE(view->CellEdit().CellEditor()->isVisible());
    EXPECT_EQ(bar.m_nMode, kEditNone);

    // A press elsewhere stores the entry into the cell it was typed for.
    type("7");
    press(cellPoint(5, 5));
    release(cellPoint(5, 5));
    ASSERT_TRUE(doc.GetNumCellValue(2, 1, &v));
    EXPECT_EQ(v, 7.0);
    EXPECT_FALSE(doc.GetNumCellValue(5, 5, &v) && v != 0);
    EXPECT_EQ(view->CurrentSelection().area, CellArea::cell(5, 5));
}

TEST_F(InputView, TypingTextInFormatStateMakesALabel) {
    combine(3, 2, 4, 3);
    view->SetCurrentAndSelection(4, 3, 4, 3, 4, 3);  // inside the area
    type(QStringLiteral("合计a"));
    EXPECT_EQ(view->CellEdit().CellEditor()->m_nMode, kEditText);
    key(view->CellEdit().CellEditor(), Qt::Key_Return);
    QString text;
    ASSERT_TRUE(doc.GetStyleCellText(3, 2, &text));  // stored in the area's first cell
    EXPECT_EQ(text, QStringLiteral("合计a"));
    EXPECT_EQ(doc.GetCellKind(3, 2), kCellLabel);
    EXPECT_EQ(view->CurrentSelection().curRow, 5);

    view->SetCurrentAndSelection(3, 2, 3, 2, 3, 2);
    EXPECT_EQ(bar.text(), QStringLiteral("合计a"));
}

TEST_F(InputView, EscCancels) {
    ASSERT_TRUE(doc.EnterDataState());
    view->SetCurrentAndSelection(2, 2, 2, 2, 2, 2);
    type("55");
    key(view->CellEdit().CellEditor(), Qt::Key_Escape);
    double v = 0;
    EXPECT_FALSE(doc.GetNumCellValue(2, 2, &v) && v != 0);
    EXPECT_EQ(view->CurrentSelection().curRow, 2);
    EXPECT_FALSE(view->CellEdit().CellEditor()->isVisible());
    EXPECT_EQ(view->CellEdit().CellEditor()->text(), "");
    EXPECT_EQ(bar.m_nMode, kEditNone);
}

TEST_F(InputView, FormulaBarShowsFormulaAndFormulaCellsRefuseTyping) {
    CellArea f = CellArea::cell(4, 2);  // B4
    ASSERT_EQ(doc.GetReport()->SetAreaFormula(&f, QStringLiteral("A1+A2")), 0);
    view->SetCurrentAndSelection(3, 1, 3, 1, 3, 1);
    EXPECT_EQ(bar.text(), "=A1+A2");
    ASSERT_TRUE(doc.EnterDataState());
    view->SetCurrentAndSelection(3, 1, 3, 1, 3, 1);
    type("5");
    EXPECT_FALSE(view->CellEdit().CellEditor()->isVisible());
    view->OnLButtonDblClk(cellPoint(3, 1));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QStringLiteral("当前单元有公式存在，请删除公式再修改"));
}

TEST_F(InputView, DoubleClickLoadsTheCellAndArrowsMoveTheCaret) {
    ASSERT_TRUE(doc.EnterDataState());
    view->SetCurrentAndSelection(1, 0, 1, 0, 1, 0);
    ASSERT_EQ(doc.SetCellText("3.5", CQorsDoc::kEntryNumber), 0);
    view->OnLButtonDblClk(cellPoint(1, 0));
    ASSERT_TRUE(view->CellEdit().CellEditor()->isVisible());
    EXPECT_FALSE(view->CellEdit().CellEditor()->text().isEmpty());
    EXPECT_TRUE(view->CellEdit().CellEditor()->m_bClicked);
    key(view->CellEdit().CellEditor(), Qt::Key_Left);
    EXPECT_EQ(view->CurrentSelection().curRow, 1);  // the caret moved, not the cell
    EXPECT_TRUE(view->CellEdit().CellEditor()->isVisible());
}

TEST_F(InputView, EntryInTheFormulaBar) {
    ASSERT_TRUE(doc.EnterDataState());
    view->SetCurrentAndSelection(0, 3, 0, 3, 0, 3);
    bar.clear();
    for (QChar ch : QStringLiteral("4.25")) key(&bar, 0, Qt::NoModifier, QString(ch));
    EXPECT_EQ(bar.m_nMode, kEditNumber);
    key(&bar, Qt::Key_Return);
    double v = 0;
    ASSERT_TRUE(doc.GetNumCellValue(0, 3, &v));
    EXPECT_DOUBLE_EQ(v, 4.25);
    EXPECT_EQ(view->CurrentSelection().curRow, 1);

    // A formula cell takes no entry from the bar either.
    ASSERT_TRUE(doc.SwitchToFormatState());
    CellArea f = CellArea::cell(3, 4);
    ASSERT_EQ(doc.GetReport()->SetAreaFormula(&f, QStringLiteral("A1")), 0);
    ASSERT_TRUE(doc.EnterDataState());
    view->SetCurrentAndSelection(2, 3, 2, 3, 2, 3);
    key(&bar, 0, Qt::NoModifier, "9");
    EXPECT_EQ(bar.m_nMode, kEditNone);
    EXPECT_EQ(bar.text(), "=A1");
}

TEST_F(InputView, ATextANumberCellRefusesStaysInTheEditorAndTheValueStays) {
    ASSERT_TRUE(doc.EnterDataState());
    view->SetCurrentAndSelection(1, 1, 1, 1, 1, 1);
    ASSERT_EQ(doc.SetCellText("1234", CQorsDoc::kEntryNumber), 0);
    double v = 0;
    auto valueB2 = [&] { return doc.GetNumCellValue(1, 1, &v) ? v : -1.0; };
    QApplication::clipboard()->setText(QStringLiteral("abc"));

    // Typed, then a pasted text: Enter is refused with a message.
    type("1");
    key(view->CellEdit().CellEditor(), Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(view->CellEdit().CellEditor()->text(), "1abc");
    key(view->CellEdit().CellEditor(), Qt::Key_Return);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("请输入数值"))) << messages[0].toStdString();
    EXPECT_EQ(valueB2(), 1234.0);
    EXPECT_TRUE(view->CellEdit().CellEditor()->isVisible());
    EXPECT_EQ(view->CellEdit().CellEditor()->text(), "1abc");
    EXPECT_EQ(bar.text(), "1abc");
    EXPECT_EQ(view->CellEdit().CellEditor()->m_nMode, kEditNumber);
    EXPECT_EQ(view->CurrentSelection().curRow, 1);  // Enter did not move on
    if (QDir().mkpath(qortest::artifactPath()))
        view->grab().save(qortest::artifactPath(QStringLiteral("refused-entry.png")));

    // The same text again is not asked about again; an arrow or a click
    // elsewhere does not leave the refused entry either.
    key(view->CellEdit().CellEditor(), Qt::Key_Return);
    key(view->CellEdit().CellEditor(), Qt::Key_Down);
    press(cellPoint(6, 4));
    release(cellPoint(6, 4));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(view->CurrentSelection().curRow, 1);
    EXPECT_EQ(view->CurrentSelection().curCol, 1);
    EXPECT_TRUE(view->CellEdit().CellEditor()->isVisible());
    EXPECT_EQ(valueB2(), 1234.0);

    // Mended to an amount written with thousands separators: stored.
    QApplication::clipboard()->setText(QStringLiteral("80,000.50"));
    key(view->CellEdit().CellEditor(), Qt::Key_A, Qt::ControlModifier);
    key(view->CellEdit().CellEditor(), Qt::Key_V, Qt::ControlModifier);
    key(view->CellEdit().CellEditor(), Qt::Key_Return);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_DOUBLE_EQ(valueB2(), 80000.5);
    EXPECT_FALSE(view->CellEdit().CellEditor()->isVisible());
    EXPECT_EQ(view->CurrentSelection().curRow, 2);

    // Esc drops a refused entry and the value stays.
    view->SetCurrentAndSelection(1, 1, 1, 1, 1, 1);
    QApplication::clipboard()->setText(QStringLiteral("x"));
    type("5");
    key(view->CellEdit().CellEditor(), Qt::Key_V, Qt::ControlModifier);
    key(view->CellEdit().CellEditor(), Qt::Key_Return);
    EXPECT_EQ(messages.size(), 2);
    key(view->CellEdit().CellEditor(), Qt::Key_Escape);
    EXPECT_FALSE(view->CellEdit().CellEditor()->isVisible());
    EXPECT_DOUBLE_EQ(valueB2(), 80000.5);

    // A frame ending the in-cell entry before a command (as it does before
    // saving) leaves the refused text pending in the bar, never an empty
    // text that would empty the cell at the next commit.
    view->SetCurrentAndSelection(1, 1, 1, 1, 1, 1);
    type("6");
    key(view->CellEdit().CellEditor(), Qt::Key_V, Qt::ControlModifier);
    key(view->CellEdit().CellEditor(), Qt::Key_Return);
    EXPECT_EQ(messages.size(), 3);
    view->CellEdit().CellEditor()->m_nMode = kEditNone;
    view->CellEdit().CellEditor()->clear();
    view->CellEdit().CellEditor()->hide();
    EXPECT_EQ(bar.text(), "6x");
    press(cellPoint(6, 4));
    release(cellPoint(6, 4));
    key(&bar, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(valueB2(), 80000.5);
    key(&bar, Qt::Key_Escape);
    EXPECT_EQ(bar.m_nMode, kEditNone);
    EXPECT_DOUBLE_EQ(valueB2(), 80000.5);
}

TEST_F(InputView, AnEntryOfRefusedKeysAloneLeavesTheCellAndErasingClearsIt) {
    ASSERT_TRUE(doc.EnterDataState());
    view->SetCurrentAndSelection(1, 1, 1, 1, 1, 1);
    ASSERT_EQ(doc.SetCellText("1234", CQorsDoc::kEntryNumber), 0);
    double v = 0;
    auto valueB2 = [&] { return doc.GetNumCellValue(1, 1, &v) ? v : -1.0; };
    CCellEdit* editor = view->CellEdit().CellEditor();

    // Loaded by a double click, erased, then only a refused key: Enter
    // keeps the value.
    view->OnLButtonDblClk(cellPoint(1, 1));
    ASSERT_TRUE(editor->isVisible());
    key(editor, Qt::Key_A, Qt::ControlModifier);
    key(editor, Qt::Key_Backspace);
    key(editor, Qt::Key_X, Qt::NoModifier, "x");
    EXPECT_EQ(editor->text(), QString());
    key(editor, Qt::Key_Return);
    EXPECT_EQ(valueB2(), 1234.0);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(bar.m_nMode, kEditNone);

    // Erased and confirmed: the user asked for an empty cell.
    view->SetCurrentAndSelection(1, 1, 1, 1, 1, 1);
    view->OnLButtonDblClk(cellPoint(1, 1));
    key(editor, Qt::Key_A, Qt::ControlModifier);
    key(editor, Qt::Key_Backspace);
    key(editor, Qt::Key_Return);
    EXPECT_FALSE(doc.GetNumCellValue(1, 1, &v) && v != 0);
    EXPECT_EQ(messages, QStringList());
}

TEST_F(InputView, TheFormulaBarKeepsARefusedEntryToMend) {
    ASSERT_TRUE(doc.EnterDataState());
    view->SetCurrentAndSelection(0, 3, 0, 3, 0, 3);
    ASSERT_EQ(doc.SetCellText("7.25", CQorsDoc::kEntryNumber), 0);
    bar.clear();
    key(&bar, 0, Qt::NoModifier, "9");
    ASSERT_EQ(bar.m_nMode, kEditNumber);
    QApplication::clipboard()->setText(QStringLiteral("abc"));
    // The chord's event may carry its letter; it pastes all the same.
    key(&bar, Qt::Key_V, Qt::ControlModifier, "v");
    key(&bar, Qt::Key_Return);
    ASSERT_EQ(messages.size(), 1);
    double v = 0;
    ASSERT_TRUE(doc.GetNumCellValue(0, 3, &v));
    EXPECT_DOUBLE_EQ(v, 7.25);
    EXPECT_EQ(bar.text(), "9abc");
    EXPECT_EQ(bar.m_nMode, kEditNumber);
    EXPECT_EQ(view->CurrentSelection().curRow, 0);

    // Mended in the bar: the digits go in, the letters come out.
    for (int i = 0; i < 3; ++i) key(&bar, Qt::Key_Backspace);
    key(&bar, Qt::Key_Return);
    ASSERT_TRUE(doc.GetNumCellValue(0, 3, &v));
    EXPECT_DOUBLE_EQ(v, 9.0);
    EXPECT_EQ(view->CurrentSelection().curRow, 1);
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(InputView, PastingTextsOverNumberCellsKeepsTheirValues) {
    ASSERT_TRUE(doc.EnterDataState());
    view->SetCurrentAndSelection(1, 1, 1, 1, 1, 1);
    ASSERT_EQ(doc.SetCellText("1234", CQorsDoc::kEntryNumber), 0);
    QMimeData data;
    data.setText(QStringLiteral("abc\t80,000.50\t 12 "));
    doc.Clipboard().PasteFromClipboard(&data);
    double v = 0;
    ASSERT_TRUE(doc.GetNumCellValue(1, 1, &v));
    EXPECT_EQ(v, 1234.0);
    ASSERT_TRUE(doc.GetNumCellValue(1, 2, &v));
    EXPECT_DOUBLE_EQ(v, 80000.5);
    ASSERT_TRUE(doc.GetNumCellValue(1, 3, &v));
    EXPECT_DOUBLE_EQ(v, 12.0);
    ASSERT_EQ(messages.size(), 1);  // one message for the block
    EXPECT_TRUE(messages[0].contains(QStringLiteral("abc"))) << messages[0].toStdString();
}

TEST_F(InputView, PendingEntriesAreStoredWhenTheViewCloses) {
    ASSERT_TRUE(doc.EnterDataState());
    // Typed into the cell, the editor open when the view goes.
    view->SetCurrentAndSelection(2, 2, 2, 2, 2, 2);
    type("42");
    ASSERT_EQ(view->CellEdit().CellEditor()->m_nMode, kEditNumber);
    view.reset();
    double v = 0;
    ASSERT_TRUE(doc.GetNumCellValue(2, 2, &v));
    EXPECT_EQ(v, 42.0);
    EXPECT_EQ(bar.View(), nullptr);
    EXPECT_EQ(bar.m_nMode, kEditNone);

    // Typed into the formula bar, which outlives the view.
    view = std::make_unique<CQorsView>(&doc);
    view->OnInitialUpdate();
    view->CellEdit().AttachFormulaBar(&bar, &reference);
    view->SetCurrentAndSelection(3, 1, 3, 1, 3, 1);
    bar.clear();
    for (QChar ch : QStringLiteral("2.5")) key(&bar, 0, Qt::NoModifier, QString(ch));
    ASSERT_EQ(bar.m_nMode, kEditNumber);
    view.reset();
    ASSERT_TRUE(doc.GetNumCellValue(3, 1, &v));
    EXPECT_DOUBLE_EQ(v, 2.5);
    // The bar has no view to type into now; keys reach nothing.
    key(&bar, Qt::Key_Return);
    EXPECT_EQ(bar.View(), nullptr);
}

TEST_F(InputView, LocateEndAndCtrlEndGoThereAsAJumpDoes) {
    // The locate command moves the current cell; the view shows it at its
    // top left, the cell alone selected.
    qor::LocateDlgMembers m;
    m.row = 45;
    m.column = 4;
    ASSERT_EQ(qor::ApplyLocateDlg(doc, m), 0);
    EXPECT_EQ(view->FirstRow(), 44);
    EXPECT_EQ(view->FirstColumn(), 3);
    EXPECT_EQ(view->CurrentSelection().area, CellArea::cell(44, 3));
    EXPECT_EQ(reference.text(), "D45");

    // End: the last column of the row, with the combined area it lies in.
    combine(2, 5, 3, 6);
    view->Scroll().GoToCell(2, 0);
    EXPECT_EQ(view->FirstRow(), 2);
    key(view.get(), Qt::Key_End);
    EXPECT_EQ(view->CurrentSelection().curRow, 2);
    EXPECT_EQ(view->CurrentSelection().curCol, 6);
    EXPECT_EQ(view->CurrentSelection().area, CellArea::area(2, 5, 3, 6));
    EXPECT_EQ(view->FirstRow(), 2) << "End scrolls sideways only";
    // Ctrl+End: the last row and column, the view at the table's end.
    key(view.get(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view->CurrentSelection().curRow, 49);
    EXPECT_EQ(view->CurrentSelection().curCol, 6);
    EXPECT_EQ(view->CurrentSelection().area, CellArea::cell(49, 6));
    EXPECT_GT(view->FirstRow(), 2);
}
