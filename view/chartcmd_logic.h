#pragma once
// Charts made from the sheet: the area-chart dialog's values, the limits a
// chart's area must keep, and the chart description built from them. The
// dialog itself lives with the chart windows and is reached through
// IChartUi, so the sheet view needs no widget of theirs.

#include <QPoint>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>

#include "charts/chartdesc.h"
#include "engine/celltypes.h"
#include "resources/stringids.h"

namespace qor::view {

inline constexpr int kDlgAreaChart = 264;

// The area-chart dialog's values. The radios start on their first choice.
struct AreaChartDlgMembers {
    int m_nGroup = 0;  // 0 "行" (data groups are rows), 1 "列"
    QString m_strTitle;
    QString m_strName;
    QString m_strXTitle;
    QString m_strYTitle;
    QString m_strArea;  // "B2:D6@7"
    int m_nScope = 0;   // 0 "当前表页", 1 "整个报表"
    int m_nLabel = 0;   // 0 unit name, 1 unit number, 2 year, 3 quarter, 4 month, 5 day
    int m_nType = 0;    // 0..9
    // Cells from 0, as read back from m_strArea on OK.
    CellArea m_area;
    int m_nPage = 0;
    // The table's last row and column (from 0): an area beyond them is
    // refused.
    int m_nLastRow = 0;
    int m_nLastCol = 0;
};

// 0 when a chart may be drawn over an area of rows x cols cells, else the
// message that says why not.
int CheckChartAreaSize(int rows, int cols);

// The dialog preset for a selection (cells from 0) on a page: titles from
// the string table, the name "GRAPH_<counter>", the area as "B2:D6@7".
AreaChartDlgMembers PresetAreaChart(const CellArea& selection, int page, int chartCounter,
                                    int lastRow, int lastCol);

// Reads the dialog's area text back (cut at "@") into m_area; 0, or the
// message to show with the dialog kept open: 62729 for a text that is not
// an area or an area beyond the table, else the size messages.
int AcceptAreaChart(AreaChartDlgMembers* m);

// The description of a chart confirmed in the dialog, laid out for a chart
// of size pixels: the default layout, the area (rows and columns from 1),
// the current page, the data group by rows for "行", the whole report only
// for "整个报表", the label kind, the type, the name and titles, and the
// three fonts Tahoma 10.
qor::items::ChartDesc BuildAreaChartDesc(const AreaChartDlgMembers& m, QSize size,
                                         int chartCounter);

// The chart's source area as its properties show it ("A1:B2"): the
// description counts rows and columns from 1.
QString ChartAreaText(const qor::items::ChartDesc& desc);

}  // namespace qor::view

class CQorsDoc;
class QWidget;
namespace qor {
struct CommandState;
}

namespace qor::view {

inline constexpr int kDlgInsertObject = 61440;  // our insert-object dialog

// True when path is, once its links are followed, the file of a report
// this program has open: such a file is not inserted as an object while
// it is being written.
bool IsOpenReportFile(const QString& path);

// The insert-object dialog's values: a file embedded or linked, shown as
// its picture or as an icon.
struct InsertObjectDlgMembers {
    QString m_strPath;
    bool m_bLink = false;
    bool m_bIcon = false;
};

// The window a chart is edited in over the sheet. The view places it on
// the chart's item, routes every command to it first while it edits, and
// ends the editing when it asks.
class IChartWindow {
public:
    virtual ~IChartWindow() = default;
    // The window itself: deleting this widget deletes the chart window.
    virtual QWidget* Widget() = 0;
    // True when the command is the chart window's; state filled.
    virtual bool OnUpdateCommand(int id, qor::CommandState& state) = 0;
    virtual bool OnCommand(int id) = 0;
    // Called when the user is done (Esc) and when the window's context
    // menu is asked for (a global point).
    std::function<void()> onEndEdit;
    std::function<void(QPoint)> onContextMenu;
};

// The chart windows' side of the sheet: the dialogs and windows that live
// above the view. The default has none (its commands stay off).
class IChartUi {
public:
    virtual ~IChartUi() = default;
    // A chart window over parent for the document's current chart; null
    // when charts cannot be edited here.
    virtual std::unique_ptr<IChartWindow> CreateChartWindow(CQorsDoc* doc, QWidget* parent);
    // Shows the document's current chart in the chart frame (opened once
    // per document, else brought to the front); false when there is no
    // chart frame here.
    virtual bool OpenChartFrame(CQorsDoc* doc);
};

// The installed chart interface (never null); installing null restores
// the default. Returns the previous one.
IChartUi* ChartUi();
IChartUi* InstallChartUi(IChartUi* ui);

}  // namespace qor::view
