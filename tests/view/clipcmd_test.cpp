// The sheet view's clipboard commands over real documents and the
// application clipboard (offscreen): copy, cut, clear, paste, paste
// special and when each is enabled.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "charts/cgraphitem.h"
#include "charts/coleitem.h"
#include "document/cqorsdoc.h"
#include "document/dialogregistry.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "resources/commandids.h"
#include "view/celleditor.h"
#include "tests/view/stubclipboard.h"
#include "view/clipcmd_logic.h"
#include "view/cqorsview.h"
#include "view/formulabar.h"

using namespace qor::cmd_ids;
using namespace qor::clip;

namespace {

const QString kNative = QString::fromLatin1(CQorsDoc::kNativeFormatName);

const QMimeData* clipboardData() { return QGuiApplication::clipboard()->mimeData(); }

class ClipCommands : public ::testing::Test {
protected:
    void SetUp() override {
        qor::UiServices s;
        s.messageBox = [this](const qor::MessageRequest& r) {
            messages << r.text;
            return r.defaultAnswer;
        };
        previous = qor::installUiServices(s);
        QGuiApplication::clipboard()->clear();
        ASSERT_TRUE(doc.Files().OnNewDocument());  // 50 x 7, format state
        view = std::make_unique<CQorsView>(&doc);
        view->resize(800, 600);
        view->OnInitialUpdate();
    }
    void TearDown() override {
        view.reset();
        qor::installUiServices(previous);
    }

    // B2:C2 combined in the format; A2 1.5, D2 -4 on page 1.
    void fillSource(CQorsDoc& d) {
        CReportHandle* h = d.GetReport();
        const CellArea comb = CellArea::area(2, 2, 2, 3);
        ASSERT_EQ(h->CombineCells(&comb), 0);
        ASSERT_TRUE(d.EnterDataState());
        ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(1.5), 2, 1, 0), 0);
        ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(-4), 2, 4, 0), 0);
    }
    static double number(const CQorsDoc& d, int row, int col) {
        double v = 0;
        return d.GetNumCellValue(row, col, &v) ? v : -999;
    }

    CQorsDoc doc;
    std::unique_ptr<CQorsView> view;
    QStringList messages;
    qor::UiServices previous;
};

// Answers the paste-special dialog with the entry of one format while it
// lives.
class ChooseEntry {
public:
    ChooseEntry(QString format, int type) : m_format(std::move(format)), m_type(type) {}
    std::vector<PasteSpecialEntry> offered;

private:
    QString m_format;
    int m_type;
    qor::ScopedDialog<PasteSpecialMembers> m_dialog{[this](PasteSpecialMembers m) {
        offered = m.entries;
        for (size_t i = 0; i < m.entries.size(); ++i)
            if (m.entries[i].format == m_format) m.selected = int(i);
        m.selectionType = m_type;
        return std::optional(m);
    }};
};

}  // namespace

TEST_F(ClipCommands, CopyPastesInSameAndOtherDocument) {
    fillSource(doc);
    doc.Selection().SetSelection(1, 0, 1, 3);  // A2:D2
    doc.SetModifiedFlag(false);
    view->Clipboard().OnEditCopy();
    EXPECT_FALSE(doc.IsModified());
    ASSERT_TRUE(clipboardData() && clipboardData()->hasFormat(kNative));
    EXPECT_TRUE(clipboardData()->text().startsWith(QStringLiteral("1.50\t")));

    // A modified document stays modified.
    doc.SetModifiedFlag(true);
    view->Clipboard().OnEditCopy();
    EXPECT_TRUE(doc.IsModified());

    // The same document, four rows down: the values.
    doc.Selection().SetSelection(5, 0, 5, 0);
    view->Clipboard().OnEditPaste();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    EXPECT_DOUBLE_EQ(number(doc, 5, 0), 1.5);
    EXPECT_DOUBLE_EQ(number(doc, 5, 3), -4);
    // In format state the combined cell arrives (areas read back from 0).
    ASSERT_TRUE(doc.SwitchToFormatState());
    doc.Selection().SetSelection(5, 0, 5, 0);
    view->Clipboard().OnEditPaste();
    CellArea area;
    ASSERT_TRUE(doc.GetCombinedArea(5, 1, &area));
    EXPECT_EQ(area, CellArea::area(5, 1, 5, 2));

    // A second document with its own view: format, then values.
    CQorsDoc other;
    ASSERT_TRUE(other.Files().OnNewDocument());
    CQorsView otherView(&other);
    other.Selection().SetSelection(2, 2, 2, 2);  // C3
    otherView.Clipboard().OnEditPaste();
    ASSERT_TRUE(other.GetCombinedArea(2, 3, &area));
    EXPECT_EQ(area, CellArea::area(2, 3, 2, 4));
    ASSERT_TRUE(other.EnterDataState());
    other.Selection().SetSelection(2, 2, 2, 2);
    otherView.Clipboard().OnEditPaste();
    EXPECT_DOUBLE_EQ(number(other, 2, 2), 1.5);
    EXPECT_DOUBLE_EQ(number(other, 2, 5), -4);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(ClipCommands, CutThenPasteMoves) {
    fillSource(doc);
    doc.Selection().SetSelection(1, 0, 1, 0);  // A2
    view->Clipboard().OnEditCut();
    EXPECT_NE(number(doc, 1, 0), 1.5);
    doc.Selection().SetSelection(7, 2, 7, 2);  // C8
    view->Clipboard().OnEditPaste();
    EXPECT_DOUBLE_EQ(number(doc, 7, 2), 1.5);

    // A cut that cannot copy clears nothing.
    doc.Selection().SetSelection(60, 0, 60, 0);  // below the table
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    view->Clipboard().OnEditCut();
    EXPECT_EQ(clipboardData()->text(), QStringLiteral("kept"));
    EXPECT_DOUBLE_EQ(number(doc, 1, 3), -4);

    // Another view of the document editing a chart stops cut and clear.
    CQorsView second(&doc);
    second.Items().SetChartEditingFlag(1);
    doc.Selection().SetSelection(1, 3, 1, 3);
    view->Clipboard().OnEditCut();
    view->Clipboard().OnEditClear();
    EXPECT_DOUBLE_EQ(number(doc, 1, 3), -4);
    EXPECT_EQ(clipboardData()->text(), QStringLiteral("kept"));
}

TEST_F(ClipCommands, ClearCellsAndItems) {
    fillSource(doc);
    doc.Selection().SetSelection(1, 0, 1, 3);
    view->Clipboard().OnEditClear();
    EXPECT_NE(number(doc, 1, 0), 1.5);
    EXPECT_NE(number(doc, 1, 3), -4);

    // An object of the format stays while a page is shown; one of page 1
    // goes, and no view keeps pointing at it.
    std::shared_ptr<CComItem> formatItem = doc.Items().CreateComItem(1);
    ASSERT_TRUE(formatItem);
    formatItem->SetPage(0);
    view->Items().AssignSelected(formatItem.get());
    view->Clipboard().OnEditClear();
    EXPECT_EQ(doc.Items().GetComItemCount(), 1);

    auto pageItem = doc.Items().CreateComItem(1);
    ASSERT_TRUE(pageItem);
    pageItem->SetPage(1);
    static_cast<COleItem*>(pageItem.get())->SetClientState(qor::items::OleClientRecord::kOpen);
    CQorsView second(&doc);
    second.Items().AssignSelected(pageItem.get());
    view->Items().AssignSelected(pageItem.get());
    doc.SetModifiedFlag(false);
    view->Clipboard().OnEditClear();
    EXPECT_EQ(doc.Items().GetComItemCount(), 1);
    EXPECT_EQ(view->Items().Selected(), nullptr);
    EXPECT_EQ(second.Items().Selected(), nullptr);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(static_cast<COleItem*>(pageItem.get())->GetClientState(),
              qor::items::OleClientRecord::kLoaded);

    // The format's object goes in format state.
    ASSERT_TRUE(doc.SwitchToFormatState());
    view->Items().AssignSelected(formatItem.get());
    view->Clipboard().OnEditClear();
    EXPECT_EQ(doc.Items().GetComItemCount(), 0);
    EXPECT_EQ(view->Items().Selected(), nullptr);
}

TEST_F(ClipCommands, EnablingRules) {
    CopyUpdateInput in;
    EXPECT_TRUE(UpdateEditCopy(in));
    in.focusOnFormulaBar = true;
    EXPECT_FALSE(UpdateEditCopy(in));  // nothing selected in the bar
    in.formulaBarHasSelection = true;
    EXPECT_TRUE(UpdateEditCopy(in));
    in.inPlaceFrame = true;
    in.inPlaceActiveItem = true;
    EXPECT_FALSE(UpdateEditCopy(in));
    in.inPlaceActiveItem = false;
    EXPECT_TRUE(UpdateEditCopy(in));

    // The view: copy is on in format and in data state alike.
    EXPECT_TRUE(view->Clipboard().OnUpdateEditCopy());
    ASSERT_TRUE(doc.EnterDataState());
    EXPECT_TRUE(view->Clipboard().OnUpdateEditCopy());

    // Paste follows the clipboard.
    EXPECT_FALSE(view->Clipboard().OnUpdateEditPaste());
    EXPECT_FALSE(view->Clipboard().OnUpdateEditPasteSpecial());
    QGuiApplication::clipboard()->setText(QStringLiteral("1"));
    EXPECT_TRUE(view->Clipboard().OnUpdateEditPaste());
    EXPECT_TRUE(view->Clipboard().OnUpdateEditPasteSpecial());
    QMimeData graph;
    graph.setData(QString::fromLatin1(kGraphFormatName), QByteArray("x"));
    EXPECT_TRUE(UpdateEditPaste(&graph));

    // An embedded object of a listed class stops paste special only.
    auto* object = new QMimeData;
    object->setText(QStringLiteral("obj"));
    QByteArray descriptor(4, '\0');
    descriptor[0] = 52;
    descriptor += BlockedObjectClass(1).toRfc4122();
    // The descriptor holds the class in its stored (little-endian) order.
    std::swap(descriptor[4], descriptor[7]);
    std::swap(descriptor[5], descriptor[6]);
    std::swap(descriptor[8], descriptor[9]);
    std::swap(descriptor[10], descriptor[11]);
    descriptor += QByteArray(32, '\0');
    object->setData(QString::fromLatin1(kObjectDescriptorMime), descriptor);
    EXPECT_EQ(EmbeddedObjectClass(object), BlockedObjectClass(1));
    QGuiApplication::clipboard()->setMimeData(object);
    EXPECT_TRUE(view->Clipboard().OnUpdateEditPaste());
    EXPECT_FALSE(view->Clipboard().OnUpdateEditPasteSpecial());
    QMimeData shortDescriptor;
    shortDescriptor.setText(QStringLiteral("x"));
    shortDescriptor.setData(QString::fromLatin1(kObjectDescriptorMime), QByteArray(10, '\1'));
    EXPECT_TRUE(EmbeddedObjectClass(&shortDescriptor).isNull());
    EXPECT_TRUE(UpdateEditPasteSpecial(&shortDescriptor));
}

TEST_F(ClipCommands, TextFromAnotherProgramFillsCells) {
    ASSERT_TRUE(doc.EnterDataState());
    QGuiApplication::clipboard()->setText(QStringLiteral("1\t2.5\r\n-3\t4\r\n"));
    doc.Selection().SetSelection(3, 1, 3, 1);  // B4
    view->Clipboard().OnEditPaste();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    EXPECT_DOUBLE_EQ(number(doc, 3, 1), 1);
    EXPECT_DOUBLE_EQ(number(doc, 3, 2), 2.5);
    EXPECT_DOUBLE_EQ(number(doc, 4, 1), -3);
    EXPECT_DOUBLE_EQ(number(doc, 4, 2), 4);

    // An empty clipboard is a failed paste, told once.
    QGuiApplication::clipboard()->clear();
    view->Clipboard().OnEditPaste();
    EXPECT_EQ(messages, QStringList{LoadErrorText(qor::str::kPasteFailed)});
}

TEST_F(ClipCommands, PasteSpecialAndPasteLink) {
    fillSource(doc);
    doc.Selection().SetSelection(1, 0, 1, 0);
    view->Clipboard().OnEditCopy();

    // Without a window the dialog cancels: nothing happens.
    doc.Selection().SetSelection(9, 0, 9, 0);
    view->Clipboard().OnEditPasteSpecial();
    EXPECT_NE(number(doc, 9, 0), 1.5);

    ChooseEntry plain(kNative, 0);
    view->Clipboard().OnEditPasteSpecial();
    // Cells, their text and their picture.
    ASSERT_EQ(plain.offered.size(), 3u);
    EXPECT_EQ(plain.offered[2].format, QStringLiteral("image/png"));
    EXPECT_EQ(plain.offered[0].format, kNative);
    EXPECT_EQ(plain.offered[0].text, LoadErrorText(qor::str::kNativeClipboardEntry));
    EXPECT_DOUBLE_EQ(number(doc, 9, 0), 1.5);
    EXPECT_TRUE(messages.isEmpty());

    // A link is refused and said so; nothing is pasted as if it were one.
    doc.Selection().SetSelection(10, 0, 10, 0);
    ChooseEntry link(kNative, 1);
    view->Clipboard().OnEditPasteSpecial();
    EXPECT_NE(number(doc, 10, 0), 1.5);
    view->Clipboard().OnEditPasteLink();
    EXPECT_EQ(messages, QStringList(2, LoadErrorText(qor::str::kLinkFailed)));

    // The text entry pastes the text, not the cell data.
    ChooseEntry text(QString::fromLatin1(kTextFormatName), 0);
    view->Clipboard().OnEditPasteSpecial();
    EXPECT_DOUBLE_EQ(number(doc, 10, 0), 1.5);
}

TEST_F(ClipCommands, CellEditorTakesCopyWhileFocused) {
    ASSERT_TRUE(doc.EnterDataState());
    view->show();
    view->activateWindow();
    QApplication::setActiveWindow(view.get());
    doc.Selection().SetSelection(1, 1, 1, 1);
    ASSERT_TRUE(view->CellEdit().OpenCellEditor(QStringLiteral("123")));
    view->CellEdit().CellEditor()->setFocus();
    if (!view->CellEdit().CellEditor()->hasFocus()) GTEST_SKIP() << "no focus on this platform";
    view->CellEdit().CellEditor()->setSelection(0, 2);
    view->Clipboard().OnEditCopy();
    ASSERT_TRUE(clipboardData());
    EXPECT_EQ(clipboardData()->text(), QStringLiteral("12"));
    EXPECT_FALSE(clipboardData()->hasFormat(kNative));
}

TEST_F(ClipCommands, ChartClearWaitsForTheChartWindow) {
    ASSERT_TRUE(doc.EnterDataState());
    auto chart = doc.Items().CreateComItem(0);
    ASSERT_TRUE(chart);
    CQorsView second(&doc);
    view->Items().AssignSelected(chart.get());
    second.Items().AssignSelected(chart.get());

    doc.Items().ChartWindow().frameOpen = 1;
    view->Clipboard().OnEditClear();
    view->Items().SetChartEditingFlag(1);
    doc.Items().ChartWindow().frameOpen = 0;
    view->Clipboard().OnEditClear();
    EXPECT_EQ(doc.Items().GetComItemCount(), 1);

    view->Items().SetChartEditingFlag(0);
    doc.SetModifiedFlag(false);
    view->Clipboard().OnEditClear();
    EXPECT_EQ(doc.Items().GetComItemCount(), 0);
    EXPECT_EQ(view->Items().Selected(), nullptr);
    EXPECT_EQ(second.Items().Selected(), nullptr);
    EXPECT_TRUE(doc.IsModified());
    int count = -1;
    CQorsDoc::ItemPos current = chart.get();
    doc.Items().GetChartListInfo(&count, &current);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(current, nullptr);
}

TEST_F(ClipCommands, ControlKeysReachTheCommands) {
    fillSource(doc);
    doc.Selection().SetSelection(1, 0, 1, 0);
    view->OnChar(QChar(3), true);  // Ctrl+C
    ASSERT_TRUE(clipboardData() && clipboardData()->hasFormat(kNative));
    doc.Selection().SetSelection(12, 4, 12, 4);
    view->OnChar(QChar(22), true);  // Ctrl+V
    EXPECT_DOUBLE_EQ(number(doc, 12, 4), 1.5);
}

// A chart goes to the clipboard as its record, a picture and the object
// descriptor; a cut whose copy fails keeps it; a cut that succeeds pastes
// back an equal chart, and a paste into another report takes that report's
// next name and page.
TEST_F(ClipCommands, ChartsCopyCutAndPasteWhole) {
    ASSERT_TRUE(doc.EnterDataState());
    std::shared_ptr<CComItem> made = doc.Items().CreateComItem(0);
    ASSERT_TRUE(made);
    auto* chart = static_cast<CGraphItem*>(made.get());
    qor::items::ChartDesc desc = qor::items::ChartDesc::MakeDefault(120, 90, 1);
    desc.SetSourceArea(CellArea::area(1, 1, 3, 3));
    ASSERT_TRUE(desc.SetText(qor::items::ChartDesc::kNameText, QStringLiteral("GRAPH_1")));
    chart->SetChartDesc(desc);
    chart->SetRect({30, 40, 150, 130});
    const bool wasModified = doc.IsModified();

    ClipContext ctx;
    ctx.doc = &doc;
    ctx.selection = chart;
    StubClipboard refusing(true);
    ctx.clipboard = &refusing;
    EXPECT_FALSE(EditCut(ctx));
    EXPECT_EQ(doc.Items().GetComItemCount(), 1);
    EXPECT_EQ(ctx.selection, chart);

    StubClipboard clip(false);
    ctx.clipboard = &clip;
    ASSERT_TRUE(EditCopy(ctx));
    EXPECT_EQ(doc.IsModified(), wasModified);
    const QMimeData* data = clip.Data();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->formats().mid(0, 3),
              (QStringList{QString::fromLatin1(kGraphFormatName), QStringLiteral("image/png"),
                           QString::fromLatin1(kObjectDescriptorMime)}));
    EXPECT_EQ(data->data(QString::fromLatin1(kObjectDescriptorMime)).size(), 52);
    EXPECT_FALSE(QImage::fromData(data->data(QStringLiteral("image/png")), "PNG").isNull());

    ASSERT_TRUE(EditCut(ctx));
    EXPECT_EQ(doc.Items().GetComItemCount(), 0);
    chart = nullptr;  // gone with the cut
    ctx.selection = nullptr;
    doc.Selection().SetSelection(0, 0, 0, 0);
    ASSERT_EQ(EditPaste(ctx), 0);
    ASSERT_EQ(doc.Items().GetComItemCount(), 1);
    CQorsDoc::ItemPos pos = doc.Items().GetFirstComItemPos();
    auto* back = dynamic_cast<CGraphItem*>(doc.Items().GetNextComItem(pos));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetChartDesc().GetSourceArea(), desc.GetSourceArea());
    EXPECT_EQ(back->GetRect().width(), 120);
    EXPECT_EQ(back->GetRect().height(), 90);
    EXPECT_EQ(back->GetPage(), 1u);
    EXPECT_EQ(ctx.selection, back);
    EXPECT_TRUE(messages.isEmpty());

    // Pasted again at the same point: the next name, moved off the first.
    ctx.selection = nullptr;
    ASSERT_EQ(EditPaste(ctx), 0);
    ASSERT_EQ(doc.Items().GetComItemCount(), 2);
    pos = doc.Items().GetFirstComItemPos();
    doc.Items().GetNextComItem(pos);
    auto* again = dynamic_cast<CGraphItem*>(doc.Items().GetNextComItem(pos));
    ASSERT_TRUE(again);
    const QString firstName = back->GetChartDesc().GetText(qor::items::ChartDesc::kNameText);
    const QString secondName = again->GetChartDesc().GetText(qor::items::ChartDesc::kNameText);
    EXPECT_TRUE(firstName.startsWith(QStringLiteral("GRAPH_")));
    EXPECT_EQ(secondName.mid(6).toInt(), firstName.mid(6).toInt() + 1);
    EXPECT_EQ(again->GetPosition(), back->GetPosition() + QPoint(10, 10));

    // Damaged bytes from another program add nothing and say so.
    QMimeData* hostile = new QMimeData;
    hostile->setData(QString::fromLatin1(kGraphFormatName), QByteArray(9, '\xff'));
    clip.SetData(hostile);
    ctx.selection = nullptr;
    EXPECT_NE(EditPaste(ctx), 0);
    EXPECT_EQ(doc.Items().GetComItemCount(), 2);
    EXPECT_FALSE(messages.isEmpty());
}
