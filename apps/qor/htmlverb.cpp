// The HTML export verb: the command-line form of the batch conversion,
// writing "<name>_<page>.html" files into a folder of the caller's choice.
#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "apps/qor/verbs.h"
#include "engine/textutil.h"
#include "exchange/chtmlexporter.h"
#include "exchange/losstally.h"
#include "platform/uiservices.h"

namespace qor::app {

int verbExportHtml(const QStringList& args, Output* out) {
    QStringList pos;
    QList<int> pages;
    bool force = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--pages") {
            if (!ParsePagesOption("export-html", args, i, &pages, out)) return 2;
            ++i;
        } else if (args[i] == u"--force") {
            force = true;
        } else if (args[i].startsWith(u"--")) {
            out->err += QStringLiteral("qor export-html: unknown option %1\n").arg(args[i]);
            return 2;
        } else {
            pos << args[i];
        }
    }
    if (pos.size() != 2) {
        out->err += QStringLiteral("qor export-html: give the report and an output folder\n");
        return 2;
    }

    // What the exporter would show in message boxes goes to stderr.
    UiServices mine = uiServices();
    mine.messageBox = [out](const MessageRequest& m) {
        out->err += QStringLiteral("qor export-html: %1\n").arg(m.text);
        return m.defaultAnswer;
    };
    const UiServices previous = installUiServices(mine);
    struct Restore {
        const UiServices& services;
        ~Restore() { installUiServices(services); }
    } restore{previous};

    CHtmlExporter exporter;
    // Files already there are replaced only when the caller said so; they
    // are looked for before anything is written (below), so this answer
    // is for --force.
    exporter.SetOverwriteAsker([force](const QString&) {
        CHtmlExporter::OverwriteAnswer answer;
        answer.overwrite = force;
        answer.always = true;
        return answer;
    });
    if (!exporter.OpenSource(pos[0], 0)) return 1;
    for (int p : pages) {
        if (p > exporter.PageCount()) {
            out->err += QStringLiteral("qor export-html: the report has %1 pages, not %2\n")
                            .arg(exporter.PageCount())
                            .arg(p);
            return 1;
        }
    }
    if (!force) {
        // The exporter names the page files "<report name>_<page>.html".
        const QString stem = QDir(pos[1]).filePath(QFileInfo(pos[0]).completeBaseName());
        for (int p = 1; p <= exporter.PageCount(); ++p) {
            if (!pages.isEmpty() && !pages.contains(p)) continue;
            const QString file = QStringLiteral("%1_%2.html").arg(stem).arg(p);
            if (QFileInfo::exists(file)) {
                out->err += QStringLiteral("qor export-html: %1 already exists (--force "
                                           "replaces it)\n")
                                .arg(QDir::toNativeSeparators(file));
                return 1;
            }
        }
    }
    // What the pages cannot carry (formulas, keywords without a cell) is
    // counted while the exporter holds the report, and makes the exit
    // code 3 as for qor convert.
    QStringList leftOut;
    if (CReportHandle* report = exporter.Report())
        TallyReportLosses(*report, QStringLiteral("page.html"), &leftOut, pages);
    exporter.SetPagesFolder(pos[1]);
    exporter.SetPageSelection(pages);
    // A failed export leaves no folder it made (the exporter makes it
    // before the first page).
    const bool folderThere = QFileInfo::exists(pos[1]);
    if (!exporter.ExportPages()) {
        if (!folderThere) QDir().rmdir(pos[1]);
        return 1;
    }
    const int written = pages.isEmpty() ? exporter.PageCount() : int(pages.size());
    out->text += QStringLiteral("wrote %1 pages into %2\n")
                     .arg(written)
                     .arg(QDir::toNativeSeparators(pos[1]));
    for (const QString& line : leftOut)
        out->err += QStringLiteral("qor export-html: left out: %1\n").arg(line);
    return leftOut.isEmpty() ? 0 : 3;
}

}  // namespace qor::app
