// qor validate: checks every page of a report against the data rules of a
// spreadsheet XML sample (its "DataValidation" elements and the engine's
// largest number), the check the consolidation client makes before a save,
// without saving or writing anything.
#include <QFileInfo>
#include <QStringList>

#include "apps/qor/verbs.h"
#include "engine/creporthandle.h"
#include "exchange/spreadsheetxml.h"
#include "platform/uiservices.h"

namespace qor::app {

namespace {

// The workbook of a sample: the root itself, or the "Workbook" element a
// consolidation sample holds beside its aliases.
XmlNode workbookOf(const XmlNode& root) {
    if (root.isNull()) return {};
    if (qor::IsSpreadsheetElement(root, u"Workbook")) return root;
    for (const XmlNode& child : root.childElements())
        if (qor::IsSpreadsheetElement(child, u"Workbook")) return child;
    return {};
}

// The message boxes of the check are kept, not shown.
class MessagesKept {
public:
    MessagesKept() {
        UiServices mine = uiServices();
        mine.messageBox = [this](const MessageRequest& m) {
            told << m.text.trimmed();
            return m.defaultAnswer;
        };
        m_previous = installUiServices(mine);
    }
    ~MessagesKept() { installUiServices(m_previous); }
    MessagesKept(const MessagesKept&) = delete;
    MessagesKept& operator=(const MessagesKept&) = delete;
    QStringList told;

private:
    UiServices m_previous;
};

}  // namespace

int verbValidate(const QStringList& args, Output* out) {
    QStringList pos;
    QString sheet;
    bool sheetGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--sheet") {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                out->err += QStringLiteral("qor validate: --sheet needs a worksheet name\n");
                return 2;
            }
            sheet = args[++i];
            sheetGiven = true;
        } else if (args[i].startsWith(u"--")) {
            out->err += QStringLiteral("qor validate: unknown option %1\n").arg(args[i]);
            return 2;
        } else {
            pos << args[i];
        }
    }
    if (pos.size() != 2) {
        out->err += QStringLiteral("qor validate: give the report and the sample workbook\n");
        return 2;
    }

    CReportHandle report(pos[0], CReportHandle::OpenMode::OpenExisting,
                         CReportHandle::Access::Read);
    if (!report.IsOpen()) {
        const QString why = report.ErrorText().isEmpty()
                                ? QStringLiteral("status %1").arg(report.OpenStatus())
                                : report.ErrorText();
        out->err += QStringLiteral("qor validate: %1 cannot be opened: %2\n").arg(pos[0], why);
        return 1;
    }

    CSpreadsheetXmlDoc sample;
    sample.Open(pos[1]);
    if (sample.LoadFailed()) {
        out->err += QStringLiteral("qor validate: %1 cannot be read: %2\n")
                        .arg(pos[1], sample.LoadError());
        return 1;
    }
    const XmlNode workbook = workbookOf(sample.GetRootElement());
    const QList<XmlNode> sheets =
        workbook.isNull() ? QList<XmlNode>() : qor::SpreadsheetChildren(workbook, u"Worksheet");
    if (sheets.isEmpty()) {
        out->err += QStringLiteral("qor validate: %1 holds no spreadsheet worksheet\n").arg(pos[1]);
        return 1;
    }
    // The named worksheet; without a name the one named like the report, as
    // a consolidation sample holds one worksheet per report, else the first.
    const QString wanted = sheetGiven ? sheet : QFileInfo(pos[0]).completeBaseName();
    XmlNode worksheet;
    QStringList names;
    for (const XmlNode& ws : sheets) {
        names << qor::SpreadsheetAttributeText(ws, u"Name");
        if (worksheet.isNull() && names.last() == wanted) worksheet = ws;
    }
    if (worksheet.isNull() && sheetGiven) {
        out->err += QStringLiteral("qor validate: %1 has no worksheet \"%2\"; it has %3\n")
                        .arg(pos[1], sheet, names.join(QStringLiteral(", ")));
        return 1;
    }
    if (worksheet.isNull()) worksheet = sheets.first();

    // The values are those data state shows; the handle is read-only, so
    // the report on disk stays in the state it was saved in.
    if (report.IsFormatState() && report.EnterDataState() != 0) {
        out->err += QStringLiteral("qor validate: %1 cannot enter data state\n").arg(pos[0]);
        return 1;
    }
    MessagesKept messages;
    sample.SetReport(&report);
    const int pages = report.GetPageCount();
    for (int page = 1; page <= pages; ++page) {
        if (sample.ReadDataValidation(worksheet, page)) continue;
        out->err += QStringLiteral("qor validate: %1\n").arg(sample.ValidationMessage());
        return 1;
    }
    // A check that could not be made (the table's size unreadable) lets a
    // save go on, but here it is no pass.
    for (const QString& text : messages.told)
        out->err += QStringLiteral("qor validate: %1\n").arg(text);
    if (!messages.told.isEmpty()) return 1;
    out->text += QStringLiteral("%1 page(s) pass the rules of worksheet \"%2\"\n")
                     .arg(pages)
                     .arg(qor::SpreadsheetAttributeText(worksheet, u"Name"));
    return 0;
}

}  // namespace qor::app
