// The sheet view as a command target: update rules and reasons, the right
// button's menus, the table size, page tabs, exports and the item cut that
// must not lose the item.
#include "view/view_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "charts/cgraphitem.h"
#include "charts/coleitem.h"
#include "document/cmd_edit.h"
#include "document/cqorsdoc.h"
#include "document/doc_commands.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "platform/safefile.h"
#include "platform/uiservices.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "view/clipcmd_logic.h"
#include "view/cqorsplitterwnd.h"
#include "view/cqorsview.h"
#include "view/displaystyle.h"

using namespace qor::cmd_ids;
using namespace qor::viewcmd;
namespace dc = qor::doccmd;

namespace {

struct TableSizeDialogs {
    qor::TableSizeDlgMembers shown;
    std::optional<qor::TableSizeDlgMembers> answer;
    qor::ScopedDialog<qor::TableSizeDlgMembers> dialog{[this](const qor::TableSizeDlgMembers& m) {
        shown = m;
        return answer;
    }};
};

struct CellAttrDialogs {
    std::function<void(qor::CellAttrMembers&)> edit;
    int runs = 0;
    QList<int> masks;
    qor::ScopedDialog<qor::view::CellAttrRequest> dialog{[this](qor::view::CellAttrRequest r) {
        ++runs;
        masks << r.removeMask;
        if (edit) edit(r.members);
        return std::optional(r);
    }};
};

class ViewCommands : public ::testing::Test {
protected:
    void SetUp() override {
        qor::UiServices s;
        s.messageBox = [this](const qor::MessageRequest& r) {
            messages << r.text;
            return r.defaultAnswer;
        };
        s.chooseFile = [this](const qor::FilePrompt&) -> std::optional<QString> {
            ++fileDialogs;
            return chosenFile;
        };
        previous = qor::installUiServices(s);
        ASSERT_TRUE(doc.Files().OnNewDocument());  // 50 x 7, format state
        view = std::make_unique<CQorsView>(&doc);
        view->resize(600, 400);
        view->OnInitialUpdate();
    }
    void TearDown() override {
        view.reset();
        qor::installUiServices(previous);
    }
    qor::CommandState state(int id) {
        qor::CommandState s;
        EXPECT_TRUE(view->OnUpdateCommand(id, s)) << id;
        return s;
    }

    CQorsDoc doc;
    std::unique_ptr<CQorsView> view;
    QStringList messages;
    int fileDialogs = 0;
    std::optional<QString> chosenFile;
    qor::UiServices previous;
};

}  // namespace

TEST_F(ViewCommands, GreyedCommandsSayWhy) {
    // Fill and the decimal buttons are the document's editing commands:
    // the view leaves them to it.
    for (int id : {qor::cmd_ids::kCmdFillDown, qor::cmd_ids::kCmdFillRight, qor::cmd_ids::kCmdFillUp, qor::cmd_ids::kCmdFillLeft,
                   qor::cmd_ids::kCmdMoreDecimals, qor::cmd_ids::kCmdFewerDecimals}) {
        qor::CommandState s;
        EXPECT_FALSE(view->OnUpdateCommand(id, s)) << id;
    }
    // No dialogs installed: the commands that need one are off for it.
    EXPECT_EQ(state(kCmdInsertObject).reason, dc::ReasonNoDialog());
    EXPECT_EQ(state(kCmdTableSize).reason, dc::ReasonNoDialog());
    EXPECT_EQ(state(kCmdCellAttributes).reason, dc::ReasonNoDialog());
    EXPECT_EQ(state(qor::view::kCmdDisplayScale).reason, dc::ReasonNoDialog());
    qor::CommandState s;
    EXPECT_FALSE(view->OnUpdateCommand(kCmdSwitchState, s));  // the frame's
}

TEST_F(ViewCommands, StateRules) {
    TableSizeDialogs dialogs;
    EXPECT_TRUE(state(kCmdTableSize).enabled);
    EXPECT_EQ(state(kCmdPageTabsBack).reason, dc::ReasonDataState());
    EXPECT_EQ(state(kCmdExportHtml).reason, dc::ReasonDataState());
    EXPECT_EQ(state(kCmdDataOverlayPrint).reason, dc::ReasonDataState());
    EXPECT_TRUE(state(kCmdExportXml).enabled);
    EXPECT_TRUE(state(kCmdPrint).enabled);
    ASSERT_TRUE(doc.EnterDataState());
    EXPECT_EQ(state(kCmdTableSize).reason, dc::ReasonFormatState());
    EXPECT_TRUE(state(kCmdPageTabsForward).enabled);
    EXPECT_TRUE(state(kCmdExportHtml).enabled);
    // The page-break text follows the current cell.
    EXPECT_EQ(state(kCmdForcedPageBreak).text, QStringLiteral("强制分页"));
    doc.Selection().SetCurrentCell(5, 2);
    view->OnCommand(kCmdForcedPageBreak);
    EXPECT_EQ(state(kCmdForcedPageBreak).text, QStringLiteral("撤消分页"));
    EXPECT_TRUE(state(kCmdShowPageBreaks).checkable);
    // A view outside a splitter cannot split.
    EXPECT_FALSE(state(kCmdSplitWindow).enabled);

    CQorsDoc closed;
    CQorsView none(&closed);
    qor::CommandState s;
    none.OnUpdateCommand(kCmdPrint, s);
    EXPECT_EQ(s.reason, dc::ReasonNoReport());
}

TEST_F(ViewCommands, ItemCutKeepsTheItemItCannotCopy) {
    // Charts and objects copy themselves; an item of no known kind (read
    // from a newer file) cannot.
    auto object = std::make_shared<COleItem>();
    object->SetRect({10, 10, 60, 60});
    doc.Items().AddComItem(object);
    view->Items().AssignSelected(object.get());
    EXPECT_TRUE(state(qor::clip::kCmdCut).enabled);
    EXPECT_TRUE(state(qor::clip::kCmdCopy).enabled);
    doc.Items().RemoveComItem(object.get());
    auto item = std::make_shared<CComItem>();
    item->SetRect({10, 10, 60, 60});
    doc.Items().AddComItem(item);
    view->Items().AssignSelected(item.get());
    EXPECT_TRUE(state(qor::clip::kCmdClear).enabled);
    // The cut of an item that gives no clipboard data keeps the item.
    view->Clipboard().OnEditCut();
    EXPECT_EQ(doc.Items().GetComItemCount(), 1);
    EXPECT_EQ(view->Items().Selected(), item.get());
    // Clear removes it.
    EXPECT_TRUE(view->OnCommand(qor::clip::kCmdClear));
    EXPECT_EQ(doc.Items().GetComItemCount(), 0);
}

TEST_F(ViewCommands, RightButtonAsksForTheMenuAtThePoint) {
    QSignalSpy spy(view.get(), &CQorsView::contextMenuRequested);
    const QPoint cell(120, 80);
    QTest::mouseClick(view.get(), Qt::RightButton, Qt::NoModifier, cell);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), CQorsView::kMenuCells);
    EXPECT_EQ(spy.at(0).at(1).toPoint(), view->mapToGlobal(cell));

    // On an item: the item becomes the selection and its menu is asked for.
    auto item = std::make_shared<CGraphItem>();
    qor::view::Rect r{200, 100, 300, 200};
    view->Geometry().ClientToDoc(r);
    item->SetRect({r.left, r.top, r.right, r.bottom});
    doc.Items().AddComItem(item);
    QTest::mouseClick(view.get(), Qt::RightButton, Qt::NoModifier, QPoint(250, 150));
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).toInt(), CQorsView::kMenuItem);
    EXPECT_EQ(view->Items().Selected(), item.get());

    // The keyboard's menu request shows nothing.
    QKeyEvent f10(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
    QApplication::sendEvent(view.get(), &f10);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5),
                          view->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view.get(), &key);
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(ViewCommands, TableSizePullsTheViewBack) {
    TableSizeDialogs dialogs;
    view->Scroll().SetFirstCell(40, 5);
    doc.Selection().SetCurrentCell(45, 6);
    // Cancel changes nothing.
    view->OnCommand(kCmdTableSize);
    EXPECT_EQ(dialogs.shown.rows, 50);
    EXPECT_EQ(dialogs.shown.cols, 7);
    dialogs.answer = qor::TableSizeDlgMembers{20, 3};
    view->OnCommand(kCmdTableSize);
    int32_t rows = 0, cols = 0;
    doc.GetTableSize(&rows, &cols);
    EXPECT_EQ(rows, 20);
    EXPECT_EQ(cols, 3);
    EXPECT_LE(view->FirstRow(), 19);
    EXPECT_LE(view->FirstColumn(), 2);
    EXPECT_EQ(doc.Selection().CurrentRow(), 0);
    EXPECT_EQ(doc.Selection().CurrentColumn(), 0);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(ViewCommands, CellAttributesReportDroppedDiagonals) {
    CellAttrDialogs dialogs;
    // OK without a visited page writes nothing.
    doc.SetModifiedFlag(false);
    EXPECT_TRUE(view->OnCellAttributes());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(dialogs.masks, QList<int>{0});

    // A diagonal on a 40 x 40 area is refused with 63162; the frame lines
    // are still drawn.
    uint16_t r = 45, c = 45;
    ASSERT_EQ(doc.GetReport()->AccessTableSize(1, &r, &c), 0);
    doc.Selection().SetSelection(0, 0, 39, 39);
    dialogs.edit = [](qor::CellAttrMembers& m) {
        m.frame.m_bApplied = 1;
        m.frame.m_nLines[qor::kFrameFallingDiagonal] = 1;
        m.frame.m_nLines[qor::kFrameLeft] = 2;
    };
    EXPECT_TRUE(view->OnCommand(kCmdCellAttributes));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first(), QStringLiteral("区域太大，不能设置斜线"));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ((doc.GetCellLineStyle(3, 0) >> 4) & 0xF, 2);
}

TEST_F(ViewCommands, ExportsNeedASavedReportAndKeepItsSpelling) {
    // Never saved: told, nothing asked, nothing written.
    view->OnExportXml();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(QStringLiteral("导出功能")));
    ASSERT_TRUE(doc.EnterDataState());
    view->OnExportHtml();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages.last().contains(QStringLiteral("转换功能")));
    EXPECT_EQ(fileDialogs, 0);

    const QString dir = qortest::freshDir(QStringLiteral("ViewExports"));
    const QString report = dir + QStringLiteral("/Report.REP");
    ASSERT_TRUE(doc.Files().OnSaveDocument(report));
    messages.clear();
    view->OnExportXml();
    EXPECT_EQ(fileDialogs, 0);
    EXPECT_TRUE(QFileInfo::exists(dir + QStringLiteral("/Report.xml")));
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/report.xml")));
    // Written with the user's usual permissions, not as a private file.
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(dir + QStringLiteral("/Report.xml")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, qor::DefaultFileMode());

    // Now the file exists: the dialog asks; cancel writes nothing more.
    const QDateTime stamp = QFileInfo(dir + QStringLiteral("/Report.xml")).lastModified();
    view->OnExportXml();
    EXPECT_EQ(fileDialogs, 1);
    EXPECT_EQ(QFileInfo(dir + QStringLiteral("/Report.xml")).lastModified(), stamp);

    // HTML: the current page only, beside the report.
    view->OnExportHtml();
    EXPECT_TRUE(QFileInfo::exists(dir + QStringLiteral("/Report.htm")));
    EXPECT_FALSE(QDir(dir + QStringLiteral("/html")).exists());
    ASSERT_EQ(::stat(QFile::encodeName(dir + QStringLiteral("/Report.htm")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, qor::DefaultFileMode());
    EXPECT_EQ(fileDialogs, 1);
}

TEST_F(ViewCommands, PageTabsMoveOnlyInDataStateAndTellTheFrame) {
    CQorsDoc pages;
    ASSERT_TRUE(pages.Files().OnNewDocument());
    ASSERT_TRUE(pages.EnterDataState());
    ASSERT_EQ(qor::ApplyInsertCountDlg(pages, {4, qor::kAppendPages}), 0);
    CQorSplitterWnd splitter;
    ASSERT_TRUE(splitter.Create(nullptr, 2, 2, QSize(10, 10), &pages));
    splitter.resize(600, 400);
    CQorsView* pane = splitter.GetPane(0, 0);
    ASSERT_TRUE(pane);
    QSignalSpy spy(&splitter, &CQorSplitterWnd::commandRequested);
    // On the first page going back changes nothing.
    pane->OnCommand(kCmdPageTabsBack);
    EXPECT_EQ(pages.CurrentPage(), 1);
    EXPECT_EQ(spy.count(), 0);
    // Forward turns to the next page, as a press on its tab would.
    pane->OnCommand(kCmdPageTabsForward);
    EXPECT_EQ(pages.CurrentPage(), 2);
    EXPECT_EQ(splitter.PageCtrl().CurrentPage(), 2);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), qor::view::kCmdPageActivate);

    // The split command splits, its text switches, and it unsplits.
    qor::CommandState s;
    pane->OnUpdateCommand(kCmdSplitWindow, s);
    EXPECT_EQ(s.text, QStringLiteral("拆分窗口"));
    pane->OnCommand(kCmdSplitWindow);
    EXPECT_EQ(splitter.GetRowCount(), 2);
    pane->OnUpdateCommand(kCmdSplitWindow, s);
    EXPECT_EQ(s.text, QStringLiteral("撤消拆分窗口"));
    pane->OnCommand(kCmdSplitWindow);
    EXPECT_EQ(splitter.GetRowCount(), 1);
    EXPECT_EQ(splitter.GetColumnCount(), 1);
}

TEST_F(ViewCommands, PrintingGoesThroughThePrintDialog) {
    const QString dir = qortest::freshDir(QStringLiteral("ViewPrint"));
    QList<bool> setupOnly;
    bool cancel = true;
    qor::UiServices s = qor::uiServices();
    s.printDialog = [&](const qor::PrintRequest& r) -> std::optional<qor::PrintRequest> {
        setupOnly << r.setupOnly;
        if (cancel) return std::nullopt;
        qor::PrintRequest out = r;
        out.outputFile = dir + QStringLiteral("/out.pdf");
        return out;
    };
    qor::installUiServices(s);
    ASSERT_EQ(doc.GetReport()->SetCellValue(CellValue{kCellLabel, 0, "x"}, 1, 1, 0), 0);
    // Cancelled: nothing printed.
    view->OnCommand(kCmdPrint);
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/out.pdf")));
    // The setup asks first, whatever the layout says.
    view->OnCommand(kCmdPrintSetup);
    EXPECT_EQ(setupOnly, (QList<bool>{false, true}));
    cancel = false;
    view->OnCommand(kCmdPrint);
    EXPECT_GT(QFileInfo(dir + QStringLiteral("/out.pdf")).size(), 0);
    // The preview goes to its runner.
    int previews = 0;
    auto before = CQorsView::SetPreviewRunner(
        [&previews](CQorsDoc&, const qor::view::PrintJobSettings& js) { previews += js.preview; });
    view->OnCommand(kCmdPrintPreview);
    EXPECT_EQ(previews, 1);
    CQorsView::SetPreviewRunner(before);
}

namespace {

// The words of a PDF with their boxes (points), page by page.
struct PdfWord {
    int page = 0;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    QString text;
};

std::vector<PdfWord> pdfWords(const QString& path) {
    std::vector<PdfWord> out;
    const qortest::ProcessResult r = qortest::run("pdftotext", {"-bbox", path, "-"});
    if (r.exitCode != 0) return out;
    const QString html = QString::fromUtf8(r.out);
    static const QRegularExpression token(
        QStringLiteral("<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" "
                       "yMax=\"([0-9.]+)\">([^<]*)</word>"));
    int page = 0;
    for (auto it = token.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0).startsWith(QStringLiteral("<page"))) {
            ++page;
            continue;
        }
        out.push_back({page, m.captured(1).toDouble(), m.captured(2).toDouble(),
                       m.captured(3).toDouble(), m.captured(4).toDouble(), m.captured(5)});
    }
    return out;
}

int pdfPages(const QString& path) {
    const qortest::ProcessResult r = qortest::run("pdfinfo", {path});
    static const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    const QRegularExpressionMatch m = pages.match(QString::fromUtf8(r.out));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// A report in data state with three pages, each one printed page: the
// label 科目 on every page and its own 银行存款 text on each.
void threePageReport(CQorsDoc& doc) {
    CReportHandle* r = doc.GetReport();
    uint16_t rows = 6, cols = 3;
    ASSERT_EQ(r->AccessTableSize(1, &rows, &cols), 0);
    ASSERT_EQ(r->SetCellValue({kCellLabel, 0, QStringLiteral("科目")}, 1, 1), 0);
    int32_t kind = kCellText;
    const CellArea body = CellArea::area(2, 1, 2, 1);
    ASSERT_EQ(r->AccessAreaFormat(1, qor::kFmtKind, &kind, &body), 0);
    ASSERT_TRUE(doc.EnterDataState());
    ASSERT_EQ(r->AppendRowColPage(2, 2), 0);
    for (int p = 1; p <= 3; ++p) {
        ASSERT_TRUE(doc.SetCurrentPage(p));
        ASSERT_EQ(r->SetCellValue(CellValue::ofText(QStringLiteral("银行存款%1页").arg(p)), 2, 1),
                  0);
    }
}

}  // namespace

// What the print dialog chose is what prints: its selection choice prints
// every page of the report (not the current one alone), each on its own
// sheet with none left blank behind, inside margins although the report
// sets none.
TEST_F(ViewCommands, PrintingEveryReportPageToPdf) {
    if (!qortest::needProgram("pdftotext") || !qortest::needProgram("pdfinfo"))
        GTEST_SKIP() << "no poppler tools";
    threePageReport(doc);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(doc.SetCurrentPage(2));
    view->RefreshGeometry();
    const QString pdf = qortest::freshDir(QStringLiteral("PrintAll")) + "/all.pdf";
    qor::PrintRequest asked;
    qor::UiServices s = qor::uiServices();
    s.printDialog = [&](const qor::PrintRequest& r) -> std::optional<qor::PrintRequest> {
        asked = r;
        qor::PrintRequest out = r;
        out.flags |= qor::view::kPdSelection;
        out.outputFile = pdf;
        return out;
    };
    qor::installUiServices(s);
    ASSERT_TRUE(state(kCmdPrint).enabled);
    view->OnCommand(kCmdPrint);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    // The dialog was offered the choice of every page.
    EXPECT_FALSE(asked.flags & qor::view::kPdNoSelection);
    EXPECT_EQ(pdfPages(pdf), 3);
    const std::vector<PdfWord> words = pdfWords(pdf);
    for (int p = 1; p <= 3; ++p) {
        const QString own = QStringLiteral("银行存款%1页").arg(p);
        const auto found = [&](const QString& t) {
            return std::any_of(words.begin(), words.end(),
                               [&](const PdfWord& w) { return w.page == p && w.text == t; });
        };
        EXPECT_TRUE(found(own)) << p;
        EXPECT_TRUE(found(QStringLiteral("科目"))) << p;
    }
    // Ink keeps the page setup's distance from the paper's edge.
    ASSERT_FALSE(words.empty());
    for (const PdfWord& w : words) {
        EXPECT_GE(w.xMin, qor::view::kDefaultPageMargin - 1) << w.text.toStdString();
        EXPECT_GE(w.yMin, qor::view::kDefaultPageMargin - 1) << w.text.toStdString();
    }
    // The page that was current before is current again.
    EXPECT_EQ(doc.GetReport()->GetCurPage(), 2);

    // A page range past the end of the current page's layout (one page
    // here) prints the pages there are, and no blank ones for the rest.
    s.printDialog = [&](const qor::PrintRequest& r) -> std::optional<qor::PrintRequest> {
        qor::PrintRequest out = r;
        out.allPages = false;
        out.fromPage = 1;
        out.toPage = 3;
        out.copies = 2;
        out.outputFile = pdf;
        return out;
    };
    qor::installUiServices(s);
    view->OnCommand(kCmdPrint);
    EXPECT_EQ(pdfPages(pdf), 2);  // the one page, twice
}

// Printing is off while an object of the report is being edited in place,
// and object printing says why it cannot print when nothing is selected.
TEST_F(ViewCommands, PrintCommandsFollowInPlaceEditingAndTheSelection) {
    CQorsDoc inPlace;
    ASSERT_TRUE(inPlace.Files().OnNewDocument());
    CQorsView v(&inPlace);
    v.resize(400, 300);
    v.OnInitialUpdate();
    auto item = std::make_shared<CGraphItem>();
    item->SetRect({10, 10, 110, 80});
    inPlace.Items().AddComItem(item);
    auto stateOf = [&](int id) {
        qor::CommandState st;
        EXPECT_TRUE(v.OnUpdateCommand(id, st)) << id;
        return st;
    };
    for (int id : {kCmdPrint, kCmdPrintDirect, kCmdPrintPreview})
        EXPECT_TRUE(stateOf(id).enabled) << id;
    inPlace.Items().SetInPlaceActiveItem(item.get());
    for (int id : {kCmdPrint, kCmdPrintDirect, kCmdPrintPreview, kCmdObjectPrint}) {
        const qor::CommandState st = stateOf(id);
        EXPECT_FALSE(st.enabled) << id;
        EXPECT_EQ(st.reason, LoadErrorText(qor::str::kPrintWhileInPlace)) << id;
    }
    // Reached without its update (a caller of its own): told, not printed.
    int dialogs = 0;
    qor::UiServices s = qor::uiServices();
    s.printDialog = [&](const qor::PrintRequest& r) -> std::optional<qor::PrintRequest> {
        ++dialogs;
        return r;
    };
    qor::installUiServices(s);
    v.OnCommand(kCmdPrint);
    EXPECT_TRUE(messages.isEmpty());  // a command that is off does not run
    v.OnFilePrint();
    EXPECT_EQ(dialogs, 0);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.takeFirst(), LoadErrorText(qor::str::kPrintWhileInPlace));
    inPlace.Items().SetInPlaceActiveItem(nullptr);

    // Object printing without a selection gives its reason.
    EXPECT_EQ(stateOf(kCmdObjectPrint).reason, LoadErrorText(qor::str::kNoObjectToPrint));
    v.OnObjectPrint();
    EXPECT_EQ(dialogs, 0);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.takeFirst(), LoadErrorText(qor::str::kNoObjectToPrint));

    // With the chart selected it prints the chart alone, without offering
    // every page of the report.
    const QString pdf = qortest::freshDir(QStringLiteral("ObjectPrint")) + "/object.pdf";
    qor::PrintRequest asked;
    s.printDialog = [&](const qor::PrintRequest& r) -> std::optional<qor::PrintRequest> {
        asked = r;
        qor::PrintRequest out = r;
        out.outputFile = pdf;
        return out;
    };
    qor::installUiServices(s);
    v.Items().SetSelection(item.get());
    ASSERT_TRUE(stateOf(kCmdObjectPrint).enabled);
    v.OnCommand(kCmdObjectPrint);
    EXPECT_TRUE(asked.flags & qor::view::kPdNoSelection);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_GT(QFileInfo(pdf).size(), 0);

    // A file that cannot be written is told, not passed over.
    s.printDialog = [&](const qor::PrintRequest& r) -> std::optional<qor::PrintRequest> {
        qor::PrintRequest out = r;
        out.outputFile = QStringLiteral("/nonexistent-folder/x.pdf");
        return out;
    };
    qor::installUiServices(s);
    v.OnCommand(kCmdPrint);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.takeFirst(), LoadErrorText(qor::str::kPrintNotDone));
}

// Printing without the dialog on a machine with no printer has nowhere to
// print, so it asks with the dialog instead of failing.
TEST_F(ViewCommands, DirectPrintWithoutAPrinterAsks) {
    if (!QPrinterInfo::defaultPrinter().isNull()) GTEST_SKIP() << "this machine has a printer";
    ASSERT_EQ(doc.GetReport()->SetCellValue(CellValue{kCellLabel, 0, "x"}, 1, 1, 0), 0);
    const QString pdf = qortest::freshDir(QStringLiteral("DirectPrint")) + "/direct.pdf";
    int dialogs = 0;
    qor::UiServices s = qor::uiServices();
    s.printDialog = [&](const qor::PrintRequest& r) -> std::optional<qor::PrintRequest> {
        ++dialogs;
        qor::PrintRequest out = r;
        out.outputFile = pdf;
        return out;
    };
    qor::installUiServices(s);
    view->OnCommand(kCmdPrintDirect);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_GT(QFileInfo(pdf).size(), 0);
}
