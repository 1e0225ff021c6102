// The HTML export verb: the command-line form of the batch conversion,
// writing "<name>_<page>.html" files into a folder of the caller's choice.
#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "apps/qor/verbs.h"
#include "engine/textutil.h"
#include "exchange/chtmlexporter.h"
#include "platform/uiservices.h"

namespace qor::app {

int verbExportHtml(const QStringList& args, Output* out) {
    QStringList pos;
    QString pageText;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--pages") {
            if (i + 1 >= args.size()) {
                out->err +=
                    QStringLiteral("qor export-html: --pages needs page numbers such as 2,5\n");
                return 2;
            }
            pageText = args[++i];
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

    QList<int> pages;
    if (!pageText.isEmpty() && !ParseRowColList(0, pageText, &pages)) return 2;
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());

    CHtmlExporter exporter;
    // The caller chose the folder; files already there are replaced.
    exporter.SetOverwriteAsker([](const QString&) { return CHtmlExporter::OverwriteAnswer{}; });
    if (!exporter.OpenSource(pos[0], 0)) return 1;
    for (int p : pages) {
        if (p > exporter.PageCount()) {
            out->err += QStringLiteral("qor export-html: the report has %1 pages, not %2\n")
                            .arg(exporter.PageCount())
                            .arg(p);
            return 1;
        }
    }
    exporter.SetPagesFolder(pos[1]);
    exporter.SetPageSelection(pages);
    if (!exporter.ExportPages()) return 1;
    const int written = pages.isEmpty() ? exporter.PageCount() : int(pages.size());
    out->text += QStringLiteral("wrote %1 pages into %2\n")
                     .arg(written)
                     .arg(QDir::toNativeSeparators(pos[1]));
    return 0;
}

}  // namespace qor::app
