// qor audit map REPORT LISTNAME: ties a report to an audit-office statement
// as confirming the mapping dialog in qorview does.
#include <QFileInfo>

#include "apps/qor/verbs.h"
#include "engine/creporthandle.h"
#include "engine/status.h"
#include "fininterface/auditstatements.h"

namespace qor::app {

int verbAudit(const QStringList& args, Output* out) {
    if (args.size() != 3 || args[0] != u"map") {
        out->err += QStringLiteral("qor audit: give map, the report and the statement name\n");
        return 2;
    }
    const QString reportPath = QFileInfo(args[1]).absoluteFilePath();
    const QString listName = args[2];
    if (!QFileInfo::exists(reportPath)) {
        out->err += QStringLiteral("qor audit: %1: %2\n")
                        .arg(reportPath, StatusText(code(Status::FileNotFound)));
        return 1;
    }
    CAuditStatementList list;
    if (list.Find(listName) < 0) {
        out->err += QStringLiteral("qor audit: no statement is named \"%1\"\n").arg(listName);
        return 1;
    }
    CReportHandle report(reportPath, CReportHandle::OpenMode::OpenExisting,
                         CReportHandle::Access::Read);
    if (!report.IsOpen()) {
        out->err +=
            QStringLiteral("qor audit: %1: %2\n")
                .arg(reportPath, report.ErrorText().isEmpty() ? StatusText(report.OpenStatus())
                                                              : report.ErrorText());
        return 1;
    }
    CAuditIfaceDef def;
    def.LoadOrBuild(&report, listName);
    list.SetFilePath(listName, report.GetPathName());
    if (!list.Save() || !def.SaveMapping()) {
        out->err += QStringLiteral("qor audit: the mapping could not be written\n");
        return 1;
    }
    out->text += def.MappingPath() + QLatin1Char('\n');
    for (int i = 0; i < def.EntryCount(); ++i)
        out->text += QStringLiteral("%1\t%2\t%3\n")
                         .arg(def.EntryGroup(i), def.EntryName(i), def.EntryCell(i));
    return 0;
}

}  // namespace qor::app
