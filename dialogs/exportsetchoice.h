#pragma once
// The export settings dialog's page list without the window: the lines it
// shows, the rows a page text selects, and what OK makes of a selection.

#include <QList>
#include <QString>
#include <QStringList>

#include "exchange/ownxml_settings.h"

namespace qor::dlg {

// One line per page, page 1 first ("第1页", string 62015).
QStringList ExportPageLines(int pageCount);

// The rows (from 0, ascending, each once) that a page text such as
// "3/5/8/" selects in a list of pageCount pages. Pages the list does not
// have are left out; a text that does not read selects nothing.
QList<int> ExportPageRowsFromList(const QString& pageList, int pageCount);

// OK with these rows selected (from 0, in the order they were picked):
// the page text names them in list order, each once, whatever order the
// user clicked them in; the count and the "all pages" rule are those of
// ApplyExportPageSelection.
void ApplyExportRowSelection(ExportSetMembers* members, QList<int> selectedRows);

}  // namespace qor::dlg
