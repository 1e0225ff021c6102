#include "view/chartcmd_logic.h"

#include <QFileInfo>
#include <algorithm>

#include "charts/chart_data.h"
#include "document/cmd_dialogs.h"
#include "engine/messages.h"
#include "engine/openreports.h"
#include "engine/textutil.h"

namespace qor::view {

using qor::items::ChartDesc;

int CheckChartAreaSize(int rows, int cols) {
    if (cols < 2) return str::kChartNeedsTwoColumns;
    if (rows < 2) return str::kChartNeedsTwoRows;
    if (qint64(rows) * qint64(cols) > qor::charts::kMaxChartCells) return str::kChartAreaTooLarge;
    return 0;
}

AreaChartDlgMembers PresetAreaChart(const CellArea& selection, int page, int chartCounter,
                                    int lastRow, int lastCol) {
    AreaChartDlgMembers m;
    m.m_strTitle = LoadErrorText(str::kChartTitle);
    m.m_strName = QStringLiteral("GRAPH_%1").arg(chartCounter);
    m.m_strXTitle = LoadErrorText(str::kChartXTitle);
    m.m_strYTitle = LoadErrorText(str::kChartYTitle);
    QString area;
    FormatAreaRef(selection.first.col, selection.first.row, selection.last.col, selection.last.row,
                  &area);
    m.m_strArea = area + QLatin1Char('@') + QString::number(page);
    m.m_area = selection;
    m.m_nPage = page;
    m.m_nLastRow = lastRow;
    m.m_nLastCol = lastCol;
    return m;
}

int AcceptAreaChart(AreaChartDlgMembers* m) {
    const QString text = m->m_strArea.section(QLatin1Char('@'), 0, 0);
    int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
    if (!ParseAreaRef(text, &c1, &r1, &c2, &r2)) return str::kAreaInputError;
    const int top = std::min(r1, r2), bottom = std::max(r1, r2);
    const int left = std::min(c1, c2), right = std::max(c1, c2);
    if (bottom > m->m_nLastRow || right > m->m_nLastCol) return str::kAreaInputError;
    if (const int why = CheckChartAreaSize(bottom - top + 1, right - left + 1)) return why;
    m->m_area = CellArea::area(top, left, bottom, right);
    return 0;
}

bool IsOpenReportFile(const QString& path) {
    if (path.isEmpty()) return false;
    if (FindOpenReport(path)) return true;
    const QString target = QFileInfo(path).canonicalFilePath();
    return !target.isEmpty() && FindOpenReport(target);
}

QString ChartAreaText(const ChartDesc& desc) {
    const CellArea a = desc.GetSourceArea();
    QString text;
    FormatAreaRef(a.first.col - 1, a.first.row - 1, a.last.col - 1, a.last.row - 1, &text);
    return text;
}

ChartDesc BuildAreaChartDesc(const AreaChartDlgMembers& m, QSize size, int chartCounter) {
    ChartDesc d = ChartDesc::MakeDefault(size.width(), size.height(), chartCounter);
    d.SetSourceArea(CellArea::area(m.m_area.first.row + 1, m.m_area.first.col + 1,
                                   m.m_area.last.row + 1, m.m_area.last.col + 1));
    d.SetSourcePage(uint32_t(std::max(0, m.m_nPage)));
    d.SetCurrentGroup(1);
    // The dialog's "行" (0) means the data groups are rows.
    d.SetGroupByRows(m.m_nGroup == 0);
    // Every page of the report only when "整个报表" was chosen.
    d.SetWholeReport(m.m_nScope == 1);
    d.SetLabelKind(uint32_t(std::clamp(m.m_nLabel, 0, 5)));
    d.SetChartType(uint32_t(std::clamp(m.m_nType, 0, 9)));
    // The dialog's edits hold at most 9 characters; longer texts from
    // elsewhere are cut rather than lost whole.
    const auto text = [&d](ChartDesc::TextField f, const QString& s) {
        d.SetText(f, s.left(ChartDesc::kTextChars));
    };
    text(ChartDesc::kNameText, m.m_strName);
    text(ChartDesc::kTitleText, m.m_strTitle);
    text(ChartDesc::kXTitleText, m.m_strXTitle);
    text(ChartDesc::kYTitleText, m.m_strYTitle);
    for (ChartDesc::FontField f :
         {ChartDesc::kTitleFont, ChartDesc::kXTitleFont, ChartDesc::kYTitleFont}) {
        qor::items::ChartFont font = d.GetFont(f);
        font.face = QStringLiteral("Tahoma");
        font.size = 10;
        d.SetFont(f, font);
    }
    return d;
}

std::unique_ptr<IChartWindow> IChartUi::CreateChartWindow(CQorsDoc* doc, QWidget* parent) {
    (void)doc;
    (void)parent;
    return nullptr;
}

bool IChartUi::OpenChartFrame(CQorsDoc* doc) {
    (void)doc;
    return false;
}

namespace {
IChartUi* g_chartUi = nullptr;
}  // namespace

IChartUi* ChartUi() {
    static IChartUi none;
    return g_chartUi ? g_chartUi : &none;
}

IChartUi* InstallChartUi(IChartUi* ui) {
    IChartUi* old = g_chartUi;
    g_chartUi = ui;
    return old;
}

}  // namespace qor::view
