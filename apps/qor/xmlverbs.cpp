// The exchange-file verbs: the command-line form of the view's "导出成XML"
// and the main frame's "从XML导入". The export takes its choice from the
// options instead of the export settings dialog.
#include <QFile>
#include <QFileInfo>

#include "apps/qor/verbs.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "exchange/losstally.h"
#include "exchange/xmlfailure.h"
#include "exchange/ownxml_export.h"
#include "exchange/ownxml_import.h"

namespace qor::app {

namespace {

QString failureLine(const char* verb, int messageId, const QString& detail) {
    QString line = QStringLiteral("qor %1: ").arg(QLatin1String(verb));
    if (messageId) line += LoadErrorText(messageId);
    if (!detail.isEmpty())
        line += (messageId ? QStringLiteral(" (%1)") : QStringLiteral("%1")).arg(detail);
    return line + u'\n';
}

}  // namespace

int verbExportXml(const QStringList& args, Output* out) {
    QStringList pos;
    QList<int> pages;
    bool data = true, format = true, formula = true, force = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--pages") {
            if (!ParsePagesOption("export-xml", args, i, &pages, out, true)) return 2;
            ++i;
        } else if (a == u"--force") {
            force = true;
        } else if (a == u"--no-data") {
            data = false;
        } else if (a == u"--no-format") {
            format = false;
        } else if (a == u"--no-formula") {
            formula = false;
        } else if (a.startsWith(u"--")) {
            out->err += QStringLiteral("qor export-xml: unknown option %1\n").arg(a);
            return 2;
        } else {
            pos.append(a);
        }
    }
    if (pos.size() != 2) {
        out->err += QStringLiteral("qor export-xml: give the report and the XML file\n");
        return 2;
    }
    const QString reportPath = pos[0], target = pos[1];
    // An exchange file under another type's name would be taken for that
    // type by whoever opens it.
    if (QFileInfo(target).suffix().compare(QLatin1String("xml"), Qt::CaseInsensitive) != 0) {
        out->err += QStringLiteral("qor export-xml: %1: an exchange file's name ends in .xml "
                                   "(qor convert writes the other types)\n")
                        .arg(target);
        return 2;
    }
    // As qor convert: an existing file may be someone's month of work.
    if (!force && QFileInfo::exists(target)) {
        out->err += QStringLiteral("qor export-xml: %1 already exists (--force replaces it)\n")
                        .arg(target);
        return 1;
    }
    if (!QFileInfo::exists(reportPath)) {
        out->err += QStringLiteral("qor export-xml: %1: %2\n")
                        .arg(reportPath, StatusText(code(Status::FileNotFound)));
        return 1;
    }
    CReportHandle report(reportPath, CReportHandle::OpenMode::OpenExisting,
                         CReportHandle::Access::Read);
    if (!report.IsOpen()) {
        out->err += QStringLiteral("qor export-xml: %1: %2\n")
                        .arg(reportPath, report.ErrorText().isEmpty()
                                             ? StatusText(report.OpenStatus())
                                             : report.ErrorText());
        return 1;
    }
    // The pages are read as data state shows them; the report is not saved,
    // so the state it was stored in stays.
    if (report.IsFormatState()) {
        if (const uint16_t s = report.EnterDataState()) {
            out->err += QStringLiteral("qor export-xml: %1: %2\n").arg(reportPath, StatusText(s));
            return 1;
        }
    }
    ExportSetMembers choice = InitialExportSettings(&report);
    choice.m_bData = data;
    choice.m_bFormat = format;
    choice.m_bFormula = formula;
    if (!pages.isEmpty()) {
        for (int p : pages) {
            if (p > report.GetPageCount()) {
                out->err += QStringLiteral("qor export-xml: the report has %1 pages, not %2\n")
                                .arg(report.GetPageCount())
                                .arg(p);
                return 1;
            }
        }
        choice.m_bAllPages = 0;
    }
    ApplyExportPageSelection(&choice, pages);
    const OwnXmlExportResult r = WriteOwnXml(report, target, choice);
    if (!r.written) {
        out->err += failureLine("export-xml", r.messageId, r.detail);
        return 1;
    }
    out->text += QStringLiteral("wrote %1: %2 pages\n").arg(target).arg(choice.m_nPageCount);
    // What the file could not carry is listed and makes the exit code 3, as
    // for qor convert.
    QStringList leftOut = OwnXmlExportNotes(r);
    if (data) TallyReportLosses(report, target, &leftOut, pages);
    for (const QString& line : leftOut)
        out->err += QStringLiteral("qor export-xml: left out: %1\n").arg(line);
    return leftOut.isEmpty() ? 0 : 3;
}

int verbImportXml(const QStringList& args, Output* out) {
    if (args.size() != 2 || args[0].startsWith(u"--") || args[1].startsWith(u"--")) {
        out->err += QStringLiteral("qor import-xml: give the XML file and a new report\n");
        return 2;
    }
    const QString source = args[0];
    const QString reportPath = ReportPathWithExtension(args[1]);
    if (const QFileInfo at(source); at.exists() && !at.isFile()) {
        out->err += QStringLiteral("qor import-xml: %1\n").arg(LoadErrorText(str::kOpenNotAPlainFile).arg(source));
        return 1;
    }
    // The import reads the whole file once; here only its root is looked at.
    if (!HasOwnXmlRoot(source)) {
        out->err +=
            QStringLiteral("qor import-xml: %1\n")
                .arg(XmlFailureLine(source, LoadErrorText(str::kUnsupportedXml), QString()));
        return 1;
    }
    // The import fills a new report; an existing one is never replaced.
    if (QFileInfo::exists(reportPath)) {
        out->err += QStringLiteral("qor import-xml: %1 already exists\n").arg(reportPath);
        return 1;
    }
    bool imported = false;
    {
        // Nothing is at the path until the imported report is saved whole.
        CReportHandle report(reportPath, CReportHandle::OpenMode::CreateNew);
        if (!report.IsOpen()) {
            out->err += QStringLiteral("qor import-xml: %1: %2\n")
                            .arg(reportPath, StatusText(report.OpenStatus()));
            return 1;
        }
        const OwnXmlImportResult r = ImportOwnXmlReport(report, source);
        if (!r.result) {
            out->err += QStringLiteral("qor import-xml: %1\n")
                            .arg(XmlFailureLine(source, r.messageId ? LoadErrorText(r.messageId)
                                                                    : QString(),
                                                r.detail));
        } else if (const uint16_t s = report.Save()) {
            out->err += QStringLiteral("qor import-xml: %1: %2\n").arg(reportPath, StatusText(s));
        } else {
            imported = true;
            out->text += QStringLiteral("imported %1: %2 rows, %3 columns, %4 pages\n")
                             .arg(reportPath)
                             .arg(report.GetRowCount())
                             .arg(report.GetColCount())
                             .arg(report.GetPageCount());
            // What the report did not take is listed and makes the exit
            // code 3, as for qor convert.
            for (const QString& line : r.leftOut)
                out->err += QStringLiteral("qor import-xml: left out: %1\n").arg(line);
            if (!r.leftOut.isEmpty()) return 3;
        }
    }
    return imported ? 0 : 1;
}

}  // namespace qor::app
