#include "chartui/careachartdlg.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPicture>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "charts/chart_data.h"
#include "charts/chart_renderer.h"
#include "dialogs/dlgbuild.h"
#include "engine/messages.h"
#include "platform/uiservices.h"

using qor::items::ChartDesc;

namespace {

// A small table every type draws recognisably: three groups of four
// values, some below the others.
qor::charts::ChartData sampleData() {
    qor::charts::ChartData d;
    d.rows = 4;
    d.cols = 4;
    d.pages = 1;
    const double values[3][3] = {{3, 5, 4}, {2, 4, 6}, {5, 3, 2}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            qor::charts::ChartCell cell;
            if (r > 0 && c > 0) {
                cell.kind = 1;
                cell.value = values[r - 1][c - 1];
            }
            d.cells.push_back(cell);
        }
    d.pageLabels << QString();
    return d;
}

}  // namespace

QPixmap CAreaChartDlg::TypePicture(int type, QSize size) {
    // Drawn at twice the size and scaled down, so the axis labels take
    // little of the button and the chart itself shows.
    const QSize big = size * 2;
    ChartDesc d;
    d.SetPartRect(ChartDesc::kPlotRect, {1, 1, big.width() - 1, big.height() - 1});
    d.SetChartType(uint32_t(type));
    d.SetGroupByRows(true);
    d.SetCurrentGroup(1);
    const qor::charts::ChartData data = sampleData();
    std::unique_ptr<QPicture> picture = qor::charts::RenderChartPicture(&d, data, big);
    QImage image(big, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        if (picture) p.drawPicture(0, 0, *picture);
    }
    return QPixmap::fromImage(
        image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

CAreaChartDlg::CAreaChartDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(qor::DlgCaption(IDD, LoadErrorText(qor::str::kAreaChartTitle)));
    auto* layout = new QVBoxLayout(this);

    // The ten types, each button showing its own chart.
    auto* typeBox = new QGroupBox(LoadErrorText(qor::str::kAreaChartTypeGroup), this);
    auto* typeGrid = new QGridLayout(typeBox);
    m_types = new QButtonGroup(this);
    m_types->setExclusive(true);
    for (int t = 0; t < 10; ++t) {
        auto* b = Bind(IDC_FIRST_TYPE + t, new QPushButton(typeBox));
        b->setObjectName(QStringLiteral("TU%1").arg(t + 1));
        b->setCheckable(true);
        b->setAutoDefault(false);
        b->setIcon(QIcon(TypePicture(t, QSize(56, 40))));
        b->setIconSize(QSize(56, 40));
        m_types->addButton(b, t);
        typeGrid->addWidget(b, t / 5, t % 5);
    }
    connect(m_types, &QButtonGroup::idClicked, this, [this](int t) { selectType(t); });
    layout->addWidget(typeBox);

    auto* grid = new QGridLayout;
    auto edit = [this](int id) {
        auto* e = Bind(id, new QLineEdit(this));
        e->setMaxLength(ChartDesc::kTextChars);
        return e;
    };
    m_title = edit(IDC_TITLE);
    m_name = edit(IDC_NAME);
    m_xTitle = edit(IDC_XTITLE);
    m_yTitle = edit(IDC_YTITLE);
    m_areaEdit = Bind(IDC_AREA, new QLineEdit(this));
    m_areaEdit->setMaxLength(15);
    qor::AddDlgRow(grid, LoadErrorText(qor::str::kAreaChartTitleLabel), m_title);
    qor::AddDlgRow(grid, LoadErrorText(qor::str::kAreaChartNameLabel), m_name);
    qor::AddDlgRow(grid, LoadErrorText(qor::str::kAreaChartXTitleLabel), m_xTitle);
    qor::AddDlgRow(grid, LoadErrorText(qor::str::kAreaChartYTitleLabel), m_yTitle);
    qor::AddDlgRow(grid, LoadErrorText(qor::str::kAreaChartAreaLabel), m_areaEdit);

    auto radios = [this](QGroupBox* box, QButtonGroup* group, const int* ids, const int* texts,
                         int n, bool across) {
        auto* l = across ? static_cast<QBoxLayout*>(new QHBoxLayout(box))
                         : static_cast<QBoxLayout*>(new QVBoxLayout(box));
        for (int i = 0; i < n; ++i) {
            auto* r = Bind(ids[i], new QRadioButton(LoadErrorText(texts[i]), box));
            group->addButton(r, i);
            l->addWidget(r);
        }
    };
    auto* groupBox = new QGroupBox(LoadErrorText(qor::str::kAreaChartDataGroup), this);
    m_group = new QButtonGroup(this);
    const int groupIds[2] = {IDC_BY_ROWS, IDC_BY_COLUMNS};
    const int groupTexts[2] = {qor::str::kWhatRow, qor::str::kColumnWord};
    radios(groupBox, m_group, groupIds, groupTexts, 2, true);
    auto* scopeBox = new QGroupBox(LoadErrorText(qor::str::kAreaChartScopeGroup), this);
    m_scope = new QButtonGroup(this);
    const int scopeIds[2] = {IDC_CURRENT_PAGE, IDC_WHOLE_REPORT};
    const int scopeTexts[2] = {qor::str::kAreaChartCurrentPage, qor::str::kAreaChartWholeReport};
    radios(scopeBox, m_scope, scopeIds, scopeTexts, 2, true);
    auto* labelBox = new QGroupBox(LoadErrorText(qor::str::kAreaChartPageLabelGroup), this);
    m_label = new QButtonGroup(this);
    const int labelTexts[6] = {qor::str::kKeywordUnitName, qor::str::kKeywordUnitCode,
                               qor::str::kKeywordYear,     qor::str::kKeywordQuarter,
                               qor::str::kKeywordMonth,    qor::str::kKeywordDay};
    radios(labelBox, m_label, kLabelIds, labelTexts, 6, true);
    connect(m_scope, &QButtonGroup::idClicked, this, [this] { enableLabels(); });

    auto* right = new QVBoxLayout;
    right->addWidget(groupBox);
    right->addWidget(scopeBox);
    right->addWidget(labelBox);
    auto* middle = new QHBoxLayout;
    middle->addLayout(grid, 1);
    middle->addLayout(right, 1);
    layout->addLayout(middle);
    qor::AddDlgButtons(this, layout);
}

bool CAreaChartDlg::OnInitDialog() {
    m_title->setText(m_strTitle);
    m_name->setText(m_strName);
    m_xTitle->setText(m_strXTitle);
    m_yTitle->setText(m_strYTitle);
    m_areaEdit->setText(m_strArea);
    if (QAbstractButton* b = m_group->button(m_nGroup)) b->setChecked(true);
    if (QAbstractButton* b = m_scope->button(m_nScope)) b->setChecked(true);
    if (QAbstractButton* b = m_label->button(m_nLabel)) b->setChecked(true);
    selectType(m_nType);
    enableLabels();
    return true;
}

void CAreaChartDlg::selectType(int type) {
    m_nType = std::clamp(type, 0, 9);
    if (QAbstractButton* b = m_types->button(m_nType)) b->setChecked(true);
}

void CAreaChartDlg::enableLabels() {
    // Page labels name the pages of a whole-report chart only.
    const bool whole = m_scope->checkedId() == 1;
    for (QAbstractButton* b : m_label->buttons()) b->setEnabled(whole);
}

void CAreaChartDlg::OnOK() {
    m_strTitle = m_title->text();
    m_strName = m_name->text();
    m_strXTitle = m_xTitle->text();
    m_strYTitle = m_yTitle->text();
    m_strArea = m_areaEdit->text();
    m_nGroup = std::max(0, m_group->checkedId());
    m_nScope = std::max(0, m_scope->checkedId());
    m_nLabel = std::max(0, m_label->checkedId());
    m_nType = std::max(0, m_types->checkedId());
    if (const int why = qor::view::AcceptAreaChart(this)) {
        qor::messageBox(LoadErrorText(why), QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        m_areaEdit->setFocus();
        m_areaEdit->selectAll();
        return;
    }
    // The page after "@" is the page the chart is defined on.
    bool ok = false;
    const int page = m_strArea.section(QLatin1Char('@'), 1, 1).trimmed().toInt(&ok);
    if (ok && page > 0) m_nPage = page;
    EndDialog(IDOK);
}
