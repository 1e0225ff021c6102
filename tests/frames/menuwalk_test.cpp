// Every item of every menu, context menu and tool bar, walked in the
// states a user meets: no report, a report in format state, in data state
// with a cell selected, and with a chart selected. An item that is on
// reaches a handler when triggered; an item that is off says why.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QDialog>
#include <QMdiArea>
#include <QMenu>
#include <QSet>
#include <QTimer>

#include "chartui/cpicframe.h"
#include "dialogs/cqordialog.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frame_fixture.h"
#include "frames/cqorfm.h"
#include "frames/toolbars.h"
#include "resources/commandids.h"

using namespace qor::cmd_ids;
using namespace qor::frames;
using frametest::FrameFixture;

namespace {

class MenuWalk : public FrameFixture {
protected:
    void SetUp() override {
        FrameFixture::SetUp();
        // Whatever asks a question is answered with Cancel, and a dialog
        // that opens is recorded and closed at once.
        acceptDialogs = false;
    }

    // The report of the walk, in the state asked for; made again when a
    // command closed it.
    CChildFrame* prepare(bool dataState, bool chartSelected) {
        for (CChildFrame* c : frame->Children()) {
            if (c != m_child) {
                c->GetDocument()->SetModifiedFlag(false);
                delete c;
            }
        }
        if (!m_child || !frame->Children().contains(m_child.data())) {
            m_child = frame->NewDocument();
        }
        frame->MdiArea()->setActiveSubWindow(m_child);
        CQorsDoc* doc = m_child->GetDocument();
        if (doc->IsDataState() != dataState) {
            if (dataState)
                m_child->EnterDataState();
            else
                m_child->EnterFormatState();
        }
        CQorsView* view = m_child->GetActiveView();
        view->setFocus();
        doc->Selection().SetCurrentCell(1, 1);
        view->Items().SetSelection(nullptr);
        if (chartSelected) {
            if (doc->Items().GetComItemCount() == 0) doc->Items().AddComItem(doc->Items().CreateComItem(0));
            CQorsDoc::ItemPos pos = doc->Items().GetFirstComItemPos();
            view->Items().SetSelection(doc->Items().GetNextComItem(pos));
        }
        QApplication::processEvents();
        return m_child;
    }

    static void collect(const QList<QAction*>& actions, QList<QAction*>* out) {
        for (QAction* a : actions) {
            if (a->menu())
                collect(a->menu()->actions(), out);
            else if (CommandRouter::CommandId(a))
                out->append(a);
        }
    }

    // Walks the actions; returns what was wrong.
    QStringList walk(const QList<QAction*>& actions, const std::function<void()>& again) {
        QStringList faults;
        QSet<int> seen;
        for (QAction* a : actions) {
            const int id = CommandRouter::CommandId(a);
            if (seen.contains(id)) continue;
            seen.insert(id);
            again();
            frame->Router().Update(a);
            if (!a->isEnabled()) {
                // The reason is the handler's, or the table's when no
                // handler knows the command; the status line shows it.
                const QString why = frame->Router().Query(id).reason;
                if (why.isEmpty() || a->statusTip() != why)
                    faults << QStringLiteral("%1 is off without its reason").arg(id);
                continue;
            }
            int ran = 0;
            auto c = QObject::connect(&frame->Router(), &CommandRouter::commandExecuted,
                                      [&ran, id](int done) { ran += done == id; });
            answers = QList<qor::MsgAnswer>(8, qor::MsgAnswer::Cancel);
            a->trigger();
            QApplication::processEvents();
            QObject::disconnect(c);
            if (ran != 1) faults << QStringLiteral("%1 is on but reached no handler").arg(id);
        }
        return faults;
    }

    QList<QAction*> menuActions(int menuId) {
        QList<QAction*> list;
        if (QMenu* m = frame->ContextMenu(menuId)) {
            collect(m->actions(), &list);
        } else {
            for (QMenu* top : frame->TopMenus(menuId)) collect(top->actions(), &list);
        }
        return list;
    }

    QList<QAction*> barActions() {
        QList<QAction*> list;
        for (int id : {kCmdBarStandard, kCmdBarFormat, kCmdBarEdit, kCmdBarChart})
            collect(frame->ToolBar(id)->actions(), &list);
        return list;
    }

    QPointer<CChildFrame> m_child;
};

TEST_F(MenuWalk, WithoutAReport) {
    const QStringList faults = walk(menuActions(kMenuNoReport), [this] {
        for (CChildFrame* c : frame->Children()) {
            c->GetDocument()->SetModifiedFlag(false);
            delete c;
        }
        QApplication::processEvents();
    });
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

TEST_F(MenuWalk, FormatState) {
    QList<QAction*> all = menuActions(kMenuReport) + menuActions(kMenuCells) + barActions();
    EXPECT_GT(all.size(), 150);
    const QStringList faults = walk(all, [this] { prepare(false, false); });
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

TEST_F(MenuWalk, DataStateWithACellSelected) {
    QList<QAction*> all = menuActions(kMenuReport) + menuActions(kMenuCells) + barActions();
    const QStringList faults = walk(all, [this] { prepare(true, false); });
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

TEST_F(MenuWalk, WithAChartSelected) {
    QList<QAction*> all = menuActions(kMenuItem) + menuActions(kMenuReport) + barActions();
    const QStringList faults = walk(all, [this] { prepare(true, true); });
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
    // A selected chart can be cut: it reaches the clipboard before it goes.
    prepare(true, true);
    EXPECT_TRUE(frame->Router().Query(kCmdCut).enabled);
}

TEST_F(MenuWalk, InTheChartFrame) {
    // The chart menu and the chart bar with the report's chart frame in
    // front, on the first of two charts.
    auto again = [this] {
        CChildFrame* child = prepare(true, true);
        CQorsDoc* doc = child->GetDocument();
        while (doc->Items().GetChartCount() < 2) doc->Items().AddComItem(doc->Items().CreateComItem(0));
        if (CPicFrame* open = CPicFrame::FindFor(frame->MdiArea(), doc))
            frame->MdiArea()->setActiveSubWindow(open);
        else
            EXPECT_TRUE(frame->Router().Execute(kCmdChartWindow));
        QApplication::processEvents();
        ASSERT_TRUE(frame->ActiveChartFrame());
    };
    again();
    EXPECT_EQ(frame->CurrentMenuId(), kMenuChartEdit);
    const QList<QAction*> all = menuActions(kMenuChartEdit) + barActions();
    EXPECT_GT(all.size(), 30);
    const QStringList faults = walk(all, again);
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
    // The chart frame's own commands are on there.
    again();
    for (int id :
         {kCmdDeleteChart, kCmdExit, kCmdOpenChart, kCmdNextChart, kCmdDataGroup, kCmdPrint})
        EXPECT_TRUE(frame->Router().Query(id).enabled) << id;
}

TEST_F(MenuWalk, FindFormatAndKeywordCommandsReachTheirDialogs) {
    struct Case {
        int id;
        bool dataState;
        const char* dialog;
    };
    const Case cases[] = {
        {kCmdLocate, false, "CLocateDlg"},
        {kCmdFind, true, "CFindDlg"},
        {kCmdSortPages, true, "CPageSortDlg"},
        {kCmdTableSize, false, "CTableSizeDlg"},
        {kCmdRowHeight, false, "CRowHeightDlg"},
        {kCmdColWidth, false, "CColWidthDlg"},
        {kCmdCombineCells, false, "CCombineCellsDlg"},
        {kCmdApplyFormat, false, "CApplyFormatDlg"},
        {kCmdCellStyle, false, "CCellStyleDlg"},
        {kCmdDrawLines, false, "CDrawLineDlg"},
        {kCmdSetVarArea, false, "CSetVarAreaDlg"},
        {kCmdSetKeyword, false, "CSetKeywordDlg"},
        {kCmdCancelKeyword, false, "CCancelKeywordDlg"},
        {kCmdEnterKeyword, true, "CEnterKeywordDlg"},
        {kCmdKeywordOffset, false, "CKeywordOffsetDlg"},
        {kCmdPageSetup, false, "CPageSetupDlg"},
        {kCmdRoundBalance, false, "CRoundBalanceDlg"},
    };
    for (const Case& c : cases) {
        prepare(c.dataState, false);
        dialogs.clear();
        EXPECT_TRUE(frame->Router().Query(c.id).enabled) << c.id;
        frame->Router().Execute(c.id);
        QApplication::processEvents();
        EXPECT_TRUE(dialogs.contains(QString::fromLatin1(c.dialog))) << c.id << " " << c.dialog;
    }
    // Without a variable area there is no size to set again: greyed, and
    // its status text says why instead of a bare failure after 确定.
    CChildFrame* child = prepare(false, false);
    const qor::CommandState none = frame->Router().Query(kCmdResetVarArea);
    EXPECT_FALSE(none.enabled);
    EXPECT_EQ(none.reason, LoadErrorText(qor::str::kNoVariableAreaToReset));
    EXPECT_EQ(frame->Router().Action(kCmdResetVarArea)->statusTip(),
              LoadErrorText(qor::str::kNoVariableAreaToReset));
    dialogs.clear();
    frame->Router().Execute(kCmdResetVarArea);
    QApplication::processEvents();
    EXPECT_TRUE(dialogs.isEmpty());
    // With a variable area: its new size, and sorting it.
    int kind = 1, start = 3, extent = 2;
    ASSERT_EQ(child->GetDocument()->GetReport()->AccessVarArea(1, &kind, &start, &extent), 0);
    for (const auto& [id, dataState] :
         {std::pair{kCmdResetVarArea, false}, std::pair{kCmdSortVarArea, true}}) {
        prepare(dataState, false);
        dialogs.clear();
        EXPECT_TRUE(frame->Router().Query(id).enabled) << id;
        frame->Router().Execute(id);
        QApplication::processEvents();
        EXPECT_EQ(dialogs.size(), 1) << id;
    }
}

TEST_F(MenuWalk, TemplatePivotAndBatchCommandsReachTheirDialogs) {
    QList<int> seen;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        seen << d.TemplateId();
        d.OnCancel();
    });
    struct Case {
        int id;
        bool dataState;
        int templateId;
    };
    for (const auto& [id, dataState, templateId] :
         {Case{kCmdReportTemplate, false, 371}, Case{kCmdCustomTemplate, false, 449},
          Case{kCmdMultiPivot, true, 442}, Case{kCmdCommonBatch, false, 481}}) {
        prepare(dataState, false);
        seen.clear();
        EXPECT_TRUE(frame->Router().Query(id).enabled) << id;
        frame->Router().Execute(id);
        QApplication::processEvents();
        EXPECT_EQ(seen, QList<int>{templateId}) << id;
    }
    CQorDialog::SetModalHook({});
}

}  // namespace

namespace {

TEST_F(MenuWalk, ExchangeAndSmallDialogCommandsReachTheirDialogs) {
    QList<int> seen;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        seen << d.TemplateId();
        d.OnCancel();
    });
    struct Case {
        int id;
        bool dataState;
        bool chart;
        int templateId;
    };
    for (const auto& [id, dataState, chart, templateId] :
         {Case{kCmdExportText, true, false, 456}, Case{kCmdCustomMenu, false, false, 478},
          Case{kCmdSystemInfo, false, false, 479}, Case{kCmdFormulaLog, false, false, 600},
          Case{kCmdObjectAppearance, true, true, 457},
          Case{kCmdObjectProperties, true, true, 460}}) {
        prepare(dataState, chart);
        seen.clear();
        EXPECT_TRUE(frame->Router().Query(id).enabled) << id;
        frame->Router().Execute(id);
        QApplication::processEvents();
        EXPECT_EQ(seen, QList<int>{templateId}) << id;
    }
    CQorDialog::SetModalHook({});
}

TEST_F(MenuWalk, AppearanceAndPropertiesChangeTheSelectedChart) {
    CChildFrame* child = prepare(true, true);
    CQorsDoc* doc = child->GetDocument();
    CQorsDoc::ItemPos pos = doc->Items().GetFirstComItemPos();
    CComItem* item = doc->Items().GetNextComItem(pos);
    ASSERT_TRUE(item);
    item->SetSize(200, 100);
    const bool border = item->HasBorder();
    doc->SetModifiedFlag(false);
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        if (d.TemplateId() == 457) {
            auto* box = qobject_cast<QCheckBox*>(d.GetDlgItem(1162));
            box->setChecked(!box->isChecked());
        } else {
            qobject_cast<QLineEdit*>(d.GetDlgItem(1004))->setText("150");
            // Typing marks the change as the edit's own signal does.
            emit qobject_cast<QLineEdit*>(d.GetDlgItem(1004))->textEdited("150");
        }
        d.OnOK();
    });
    frame->Router().Execute(kCmdObjectAppearance);
    EXPECT_EQ(item->HasBorder(), !border);
    EXPECT_TRUE(doc->IsModified());
    frame->Router().Execute(kCmdObjectProperties);
    CQorDialog::SetModalHook({});
    EXPECT_EQ(item->GetRect().width(), 300);
    EXPECT_EQ(item->GetRect().height(), 150);
    doc->SetModifiedFlag(false);
}

}  // namespace

TEST_F(MenuWalk, FileManagerContextMenuOfEveryKind) {
    // Before the file manager is shown its entries are off with a reason.
    frame->OnFileManagerMessage(kFmOpenFile, kFmKindFolder, kFmPopupName);
    ASSERT_NE(frame->FileManagerMenu(), nullptr);
    QStringList faults = walk(frame->FileManagerMenu()->actions(), [] {});
    frame->FileManagerMenu()->hide();
    ASSERT_TRUE(frame->Router().Execute(kCmdFileManager));
    prepare(true, false);
    for (int kind = kFmKindFolder; kind <= kFmKindPage + 1; ++kind) {
        frame->OnFileManagerMessage(kFmOpenFile, kind, kFmPopupName);
        const QList<QAction*> actions = frame->FileManagerMenu()->actions();
        frame->FileManagerMenu()->hide();
        faults += walk(actions, [this] { prepare(true, false); });
    }
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}
