#include "dialogs/pivot_dlgs.h"

#include <QAbstractTableModel>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/dlgbuild.h"
#include "document/cmd_templates.h"
#include "engine/messages.h"
#include "platform/uiservices.h"

using namespace qor;

namespace {

// The grid's strings as they stand; row 0 and column 0 are ordinary cells,
// as the page labels and headers are part of what is saved and shown.
class PivotModel : public QAbstractTableModel {
public:
    explicit PivotModel(const PivotGrid* grid, QObject* parent)
        : QAbstractTableModel(parent), m_grid(grid) {}
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : m_grid->rows;
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : m_grid->cols;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) return {};
        return m_grid->at(index.row(), index.column());
    }

private:
    const PivotGrid* m_grid;
};

}  // namespace

// ---- CMultiPivotDlg ---------------------------------------------------------

CMultiPivotDlg::CMultiPivotDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kMultiAreaPivotCaption)));
    auto* layout = new QVBoxLayout(this);
    m_areas = Bind(IDC_AREAS, new QLineEdit(this));
    m_areas->setMaxLength(200);
    m_areas->setPlaceholderText(LoadErrorText(qor::str::kPivotAreasPlaceholder));
    m_labels = Bind(IDC_LABELS, new QLineEdit(this));
    m_labels->setMaxLength(2000);
    m_labels->setPlaceholderText(LoadErrorText(qor::str::kPivotLabelsPlaceholder));
    layout->addWidget(m_areas);
    layout->addWidget(m_labels);
    AddDlgButtons(this, layout);
}

bool CMultiPivotDlg::OnInitDialog() {
    m_areas->setText(m_strAreas);
    m_labels->setText(m_strLabels);
    m_areas->setFocus();
    return true;
}

void CMultiPivotDlg::OnOK() {
    if (BuildBrowseCommand({m_areas->text(), QString()}).isEmpty()) {
        messageBox(LoadErrorText(qor::str::kBadArea), windowTitle(), MsgButtons::Ok,
                   MsgIcon::Warning);
        m_areas->setFocus();
        return;
    }
    m_strAreas = m_areas->text();
    m_strLabels = m_labels->text();
    EndDialog(IDOK);
}

// ---- CPivotDlg --------------------------------------------------------------

CPivotDlg::CPivotDlg(PivotGrid grid, QWidget* parent)
    : CQorDialog(parent, IDD), m_grid(std::move(grid)) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kPivotCaption)));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(LoadErrorText(qor::str::kPivotTableHint), this));
    m_view = Bind(IDC_GRID, new QTableView(this));
    m_view->setModel(new PivotModel(&m_grid, m_view));
    m_view->horizontalHeader()->hide();
    m_view->verticalHeader()->hide();
    // 250 and 1,200 twips.
    m_view->verticalHeader()->setDefaultSectionSize(17);
    m_view->horizontalHeader()->setDefaultSectionSize(80);
    layout->addWidget(m_view, 1);
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* save = DlgButton(this, IDC_SAVE, LoadErrorText(qor::str::kSave));
    row->addWidget(save);
    auto* close = DlgButton(this, IDCANCEL, LoadErrorText(qor::str::kClose));
    row->addWidget(close);
    layout->addLayout(row);
    connect(save, &QPushButton::clicked, this, &CPivotDlg::OnSave);
    resize(720, 480);
}

void CPivotDlg::OnSave() {
    FilePrompt prompt;
    prompt.caption = LoadErrorText(qor::str::kSaveAs);
    prompt.filter = QtFileFilter(LoadErrorText(qor::str::kReportFileFilterShort));
    prompt.save = true;
    const std::optional<QString> chosen = chooseFile(prompt);
    if (!chosen || chosen->isEmpty()) return;
    QString path = *chosen;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".rep");
    QString error, note;
    bool ok = false;
    try {
        ok = SavePivotGrid(m_grid, path, &error, &note);
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        error = LoadErrorText(qor::str::kPivotTableNotSaved);
    }
    if (!ok)
        messageBox(error, windowTitle(), MsgButtons::Ok, MsgIcon::Warning);
    else if (!note.isEmpty())
        messageBox(note, windowTitle(), MsgButtons::Ok, MsgIcon::Information);
}

void qor::InstallPivotDialog(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    cmd::CalcSubsystemHooks hooks = ci.SubsystemHooks();
    hooks.browse = [owner](const QList<CalcRange>& areas, const QStringList& labels,
                           CReportHandle* report, QString* error) {
        if (!report) {
            if (error) *error = QStringLiteral("BROWSE needs an open report");
            return false;
        }
        try {
            CPivotDlg dlg(BuildPivotGrid(*report, areas, labels), owner.data());
            dlg.DoModal();
            return true;
        } catch (const std::exception& e) {
            if (error) *error = QString::fromLocal8Bit(e.what());
        }
        return false;
    };
    ci.SetSubsystemHooks(hooks);
}
