#pragma once
// What every window that shows a report for editing shares, whether it is
// a child window of the main window or a frame that edits an embedded
// report in place: switching the report between format and data state,
// keeping the page tabs in step, and storing an entry still pending in the
// cell editor or the formula bar before anything changes under it.

#include "document/cmdtarget.h"
#include "resources/commandids.h"

class CFormulaBar;
class CPageCtrl;
class CQorsDoc;
class CQorsView;
class QWidget;

namespace qor {
template <class Target>
class CommandTable;
}

namespace qor::frames {

using qor::cmd_ids::kCmdSwitchState;
using qor::cmd_ids::kCmdEnterData;
using qor::cmd_ids::kCmdEnterFormat;
using qor::cmd_ids::kCmdPageActivate;

class CReportFrame {
public:
    virtual ~CReportFrame() = default;

    // The page state as the document publishes it (count and current from
    // 1; mode 0 format, 1 data).
    void SetPageTabs(int count, int current, int mode);
    int m_nMode = 0;
    int m_nPageCount = 1;
    int m_nCurPage = 1;
    int m_nCurPageDrawn = 1;

    // The state switches; false when the document refused (then nothing
    // changed).
    bool EnterDataState();
    bool EnterFormatState();
    void EnterDataStateUnchecked();

    // Stores a typed entry still pending in the editor or the formula bar.
    // False when the cell refused it (the refusal told): the entry stays
    // where it was typed, and with stay the focus goes back to it, for
    // whatever was to follow (a save, a close) must not go on over it.
    bool CommitPendingEntry(bool stay = false);
    // Asked before a command of this window's router acts: what was typed
    // for a cell is stored there first, for a command that moves lines or
    // pages, or reads the cells, would otherwise leave the entry to land
    // later on whatever cell or page then stands where it was typed. A
    // refused entry holds the command (false), the focus back where it
    // waits to be mended. The bar's own confirm and cancel decide the
    // entry themselves.
    bool StoreEntryBeforeCommand(int id);

protected:
    // The report, the view that has (or last had) the focus, and every
    // view of the report in this window.
    virtual CQorsDoc* FrameDocument() const = 0;
    virtual CQorsView* FrameActiveView() const = 0;
    virtual QList<CQorsView*> FrameViews() const = 0;
    virtual CPageCtrl* FrameTabs() const = 0;
    // The formula bar that edits this window's cells (null: none).
    virtual CFormulaBar* FrameFormulaBar() const = 0;
    // The format bar belongs to format state.
    virtual void FrameShowFormatBar(bool dataState) = 0;
    // The window's own widget (a pending entry counts only inside it).
    virtual QWidget* FrameWidget() const = 0;

    void publishPages();
    // The state commands every report window answers.
    bool UpdateStateCommand(int id, qor::CommandState& state) const;
    bool RunStateCommand(int id);
    // The ids of those commands.
    static const qor::CommandIdSet& StateCommands();

private:
    // The state commands: on while the report is open.
    static const qor::CommandTable<CReportFrame>& stateTable();
    void refreshAfterStateChange();
};

}  // namespace qor::frames
