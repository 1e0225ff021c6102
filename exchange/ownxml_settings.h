#pragma once
// What the export to the exchange file asks before it writes: which pages,
// and whether the file is meant to carry the data, the format and the
// formulas. The export settings dialog of the desktop application answers
// through IExportSettingsDialog; without it (scripts, tests, the command
// line) every page and everything is chosen.

#include <QList>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

class CReportHandle;

namespace qor {

// The dialog's members as the export reads them after OK.
struct ExportSetMembers {
    CReportHandle* m_pReport = nullptr;  // set by the export before the dialog runs
    int32_t m_bAllPages = 1;
    int32_t m_bData = 1;
    int32_t m_bFormat = 1;
    int32_t m_bFormula = 1;
    // The report's page count when the dialog opens; after OK without
    // "all pages", the number of pages chosen.
    int32_t m_nPageCount = 0;
    // The chosen pages, each followed by "/": "3/5/8/". Empty with "all".
    QString m_strPageList;
};

// The most pages a page list holds.
inline constexpr int kMaxExportPageList = 999;

class IExportSettingsDialog {
public:
    virtual ~IExportSettingsDialog() = default;
    // Shows the choice for members->m_pReport with the members as the
    // initial state; true when the user pressed OK (the members then hold
    // the choice), false when the export is to be dropped.
    virtual bool RunExportSettings(ExportSetMembers* members) = 0;
};

// Installs the dialog (null: back to the headless answer) and returns the
// one installed before.
std::shared_ptr<IExportSettingsDialog> InstallExportSettingsDialog(
    std::shared_ptr<IExportSettingsDialog> dialog);
// The dialog now installed; never null.
std::shared_ptr<IExportSettingsDialog> ExportSettingsDialog();

// The members a dialog starts from for a report: everything chosen, the
// report's page count, no list.
ExportSetMembers InitialExportSettings(CReportHandle* report);

// What OK does with the pages selected in the list (page numbers from 1,
// in list order) when "all pages" is off: at most 999 of them make the
// list and the count; none selected gives page 1 alone ("1/", count 1).
// With "all pages" on, the list is emptied and the count is the report's.
void ApplyExportPageSelection(ExportSetMembers* members, const QList<int>& selectedPages);

// "3/5/8/" gives {3, 5, 8}; a text after the last "/" is not a page.
// nullopt when a token is not a whole number.
std::optional<QList<int>> ParseExportPageList(const QString& list);
QString FormatExportPageList(const QList<int>& pages);

}  // namespace qor
