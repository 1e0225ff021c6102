#include "dialogs/exportsetchoice.h"

#include <algorithm>

#include "engine/messages.h"

namespace qor::dlg {

QStringList ExportPageLines(int pageCount) {
    // The line text is a printf pattern in the string table; only its "%i"
    // is filled, so a table text can never be taken as a format of its own.
    const QString pattern = LoadErrorText(str::kSheetName);
    QStringList lines;
    lines.reserve(std::max(pageCount, 0));
    for (int page = 1; page <= pageCount; ++page)
        lines.append(qor::FillMessageText(pattern, {QString::number(page)}));
    return lines;
}

QList<int> ExportPageRowsFromList(const QString& pageList, int pageCount) {
    QList<int> rows;
    const std::optional<QList<int>> pages = ParseExportPageList(pageList);
    if (!pages) return rows;
    for (int page : *pages)
        if (page >= 1 && page <= pageCount) rows.append(page - 1);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void ApplyExportRowSelection(ExportSetMembers* members, QList<int> selectedRows) {
    std::sort(selectedRows.begin(), selectedRows.end());
    selectedRows.erase(std::unique(selectedRows.begin(), selectedRows.end()), selectedRows.end());
    QList<int> pages;
    pages.reserve(selectedRows.size());
    for (int row : selectedRows)
        if (row >= 0) pages.append(row + 1);
    ApplyExportPageSelection(members, pages);
}

}  // namespace qor::dlg
