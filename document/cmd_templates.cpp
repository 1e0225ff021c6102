#include "document/cmd_templates.h"

#include "document/cmd_support.h"
#include "document/cqorsdoc.h"
#include "document/doc_commandhook.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "resources/stringids.h"

namespace qor {

namespace {
constexpr int kRefused = code(Status::Refused);
}  // namespace

int ApplyReportTemplateDlg(CQorsDoc& doc, const ReportTemplateDlgMembers& m) {
    // The document checks the file, asks its password and 63157 itself.
    if (!DocReport(doc) || doc.IsEditLocked()) return kRefused;
    return doc.Files().ApplyTemplateFile(m.chosenPath);
}

int OnReportTemplate(CQorsDoc& doc) {
    if (!DocReport(doc) || doc.IsEditLocked()) return -1;
    const auto m = Ask(ReportTemplateDlgMembers{});
    return m ? ApplyReportTemplateDlg(doc, *m) : -1;
}

void OnCustomTemplate(CQorsDoc&) { Ask(ModelSheetRequest{}); }

QString BuildBrowseCommand(const MultiPivotDlgMembers& m, QString* badPiece) {
    QStringList areas;
    for (const QString& piece : m.areas.split(u',')) {
        const QString p = piece.trimmed();
        if (p.isEmpty()) continue;
        int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
        if (!ParseAreaRef(p, &c1, &r1, &c2, &r2)) {
            if (badPiece) *badPiece = p;
            return {};
        }
        QString ref;
        FormatAreaRef(c1, r1, c2, r2, &ref);
        areas << ref;
    }
    QString s = QStringLiteral("BROWSE");
    if (!areas.isEmpty()) s += u' ' + areas.join(u',');
    if (!m.labels.isEmpty()) {
        QString labels = m.labels;
        labels.replace(u'"', QStringLiteral("\"\""));
        s += QStringLiteral(" LABELS \"") + labels + u'"';
    }
    return s;
}

int ApplyMultiPivotDlg(CQorsDoc& doc, const MultiPivotDlgMembers& m) {
    if (!DocReport(doc)) return kRefused;
    const QString line = BuildBrowseCommand(m);
    if (line.isEmpty()) {
        ShowMessageId(str::kBadArea);
        return kRefused;
    }
    return RunCommandLine(&doc, line, kCommandRunMode);
}

int OnMultiPivot(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(MultiPivotDlgMembers{});
    return m ? ApplyMultiPivotDlg(doc, *m) : -1;
}

}  // namespace qor
