// qor: the command-line host of the report engine. Each verb is one
// request a host program would make; the exit code is 0 on success, 1 when
// the request failed, 2 for a usage error and 3 when a conversion wrote its
// file but left something out, or a read or a recalculation found a
// failed formula.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>
#include <memory>

#include "apps/qor/codenames.h"
#include "apps/qor/verbs.h"
#include "cmdlang/ccalcinterpreter.h"
#include "document/startup.h"
#include "engine/messages.h"
#include "fininterface/ledgerdrill.h"

namespace {

// The help: one block a verb ("  qor VERB ..." and its indented lines),
// under headings.
constexpr const char* kUsage =
        "usage:\n"
        "  qor new FILE [--rows N] [--cols N] [--pages N]\n"
        "      create a report (default 50 rows, 7 columns, no pages)\n"
        "  qor info FILE\n"
        "      show version, table size, pages, state and streams\n"
        "Through the Reader (ProgID \"Pagoda2.Reader\"):\n"
        "  qor register | qor unregister\n"
        "      write or remove the Reader's class and ProgIDs in the registry\n"
        "  qor pages FILE\n"
        "      walk the pages: count, then each page's keywords\n"
        "  qor get FILE PAGE ROW COL\n"
        "      print a cell's value (exit code 3 and no value when its formula failed)\n"
        "  qor set FILE PAGE ROW COL VALUE [--text]\n"
        "      write a cell (a number unless --text or not numeric);\n"
        "      a text goes into a text cell: qor format FILE ROW COL kind text first\n"
        "  qor format FILE ROW COL CODE [VALUE]\n"
        "      print or set a cell format attribute (CODE by number or name, below;\n"
        "      kind also takes number, text or label)\n"
        "  qor append-pages FILE N | qor delete-pages FILE POS N\n"
        "  qor append-rows FILE N | qor insert-rows FILE POS N | qor delete-rows FILE POS N\n"
        "      rows of the table (format state)\n"
        "  qor lines FILE PAGE | qor append-lines FILE PAGE N\n"
        "      print the lines a page's variable area uses, or add N after the last (data state)\n"
        "  qor insert-lines FILE PAGE POS N | qor delete-lines FILE PAGE POS N\n"
        "      insert N lines before the one at row (column) POS as shown, or delete N from it on;\n"
        "      never past the area's extent, never the last line\n"
        "  qor keyword FILE PAGE SLOT [VALUE] [--text]\n"
        "      print or set a page keyword (SLOT by number or name, below)\n"
        "  qor table-size FILE [ROWS COLS]\n"
        "      print or set the table size\n"
        "  qor reader-script SCRIPT | qor reader-script --list\n"
        "      run Reader calls, one a line: Method arg1 arg2 ... (\"-\" = stdin);\n"
        "      --list shows every method, its arguments and what it answers\n"
        "Exchange files:\n"
        "  qor export-xml REPORT OUT.xml [--pages 2,5] [--no-data] [--no-format] [--no-formula]\n"
        "                 [--force]\n"
        "      write the report as an exchange file (all pages unless --pages); an\n"
        "      existing OUT.xml is replaced only with --force\n"
        "  qor import-xml IN.xml REPORT\n"
        "      make a new report from an exchange file\n"
        "  qor export-html REPORT OUTDIR [--pages 2,5] [--force]\n"
        "      write pages as HTML files NAME_PAGE.html into OUTDIR (all pages unless --pages);\n"
        "      existing files are replaced only with --force\n"
        "  qor convert IN OUT [--pages 2,5] [--values-only] [--sheet N | --one-sheet N]\n"
        "      open IN by its type and write OUT by its type (.rep, .xml, .xls, .xlsx, .htm,\n"
        "      .dbf, .txt, .mdb, .wk4); what OUT cannot hold is listed on stderr and the exit code\n"
        "      is then 3; --values-only writes an .xls without the report's formats; a workbook\n"
        "      of several sheets gives every sheet a page with the format of sheet 1, of sheet N\n"
        "      (--sheet N), or only sheet N (--one-sheet N)\n"
        "  qor validate REPORT SAMPLE.xml [--sheet NAME]\n"
        "      check every page against the data rules of a spreadsheet XML sample's worksheet\n"
        "      (NAME, else the one named like the report, else the first); exit 1 with the\n"
        "      first failing cell\n"
        "  qor consol download | upload | open PATH | save REPORT\n"
        "      the consolidation client: fetch and take in what was sent down,\n"
        "      send the upload files, prepare one client report, save one with\n"
        "      its checks and upload files\n"
        "Printing:\n"
        "  qor print REPORT [--pdf OUT.pdf] [--pages 2,5] [--copies N]\n"
        "      print the pages to a PDF file or the default printer\n"
        "Data files:\n"
        "  qor data-info FILE [TABLE]\n"
        "      list the tables of a data file (.dbf, .txt, .mdb, .xls, .wk4), or the fields of\n"
        "      one table with their types and its record count\n"
        "Audit-office interface:\n"
        "  qor audit map REPORT LISTNAME\n"
        "      tie the report to the statement LISTNAME and write its mapping file\n"
        "Financial indicators:\n"
        "  qor indicators INTERFACE.ini [REPORT]\n"
        "      compute every indicator the interface file names into its result library;\n"
        "      exit code 3 when some indicators failed (marked in the library)\n"
        "Financial interfaces:\n"
        "  qor ledger REPORT PAGE ROW COL\n"
        "      drill from a cell with ledger calls (QC, QM, FS, JE...) to the detail\n"
        "      ledger; prints the account codes, period and include flag handed over\n"
        "Command language:\n"
        "  qor run SCRIPT.shl [REPORT] [--progress]\n"
        "      run a script of commands against the report (saved when the script succeeds);\n"
        "      exit code 3 when a RECALC left cells whose formulas failed\n"
        "  qor help [VERB] | qor --help\n"
        "      this text, or the usage of one verb\n"
        "  qor --version\n"
        "      the version of the program\n";

void printUsage(FILE* to) {
    std::fputs(kUsage, to);
    std::fprintf(to, "Format codes: %s\nKeyword slots: %s\n",
                 qor::app::FormatCodeNameList().toLocal8Bit().constData(),
                 qor::app::KeywordSlotNameList().toLocal8Bit().constData());
    std::fputs("Exit codes: 0 done, 1 failed, 2 usage error, 3 written with something left out\n"
               "  or a cell whose formula failed (qor get, a RECALC in qor run)\n",
               to);
}

// The help's blocks that name the verb: "qor get FILE PAGE ROW COL" and
// its explanation for "get"; "" for a verb the help does not name.
QString verbUsage(const QString& verb) {
    const QString name = QStringLiteral("qor ") + verb;
    QString found;
    bool inBlock = false;
    for (const QString& line : QString::fromUtf8(kUsage).split(u'\n')) {
        if (line.startsWith(QLatin1String("  qor "))) {
            inBlock = false;
            for (qsizetype at = line.indexOf(name); at >= 0; at = line.indexOf(name, at + 1)) {
                const qsizetype end = at + name.size();
                if (end == line.size() || line.at(end) == u' ') {
                    inBlock = true;
                    break;
                }
            }
        } else if (!line.startsWith(QLatin1String("      "))) {
            inBlock = false;
        }
        if (inBlock) found += line + u'\n';
    }
    return found;
}

// Qt's own warnings about the environment (no XDG_RUNTIME_DIR when run as
// root or in a container) are nothing the user did wrong and nothing the
// user can act on; everything else passes as before.
QtMessageHandler previousHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: ")) &&
        text.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    if (previousHandler) previousHandler(type, context, text);
}

using Verb = int (*)(const QStringList&, qor::app::Output*);

struct VerbEntry {
    const char* name;
    Verb run;
};

constexpr VerbEntry kVerbs[] = {
    {"new", qor::app::verbNew},
    {"info", qor::app::verbInfo},
    {"register", qor::app::verbRegister},
    {"unregister", qor::app::verbUnregister},
    {"pages", qor::app::verbPages},
    {"get", qor::app::verbGet},
    {"set", qor::app::verbSet},
    {"format", qor::app::verbFormat},
    {"append-pages", qor::app::verbAppendPages},
    {"delete-pages", qor::app::verbDeletePages},
    {"append-rows", qor::app::verbAppendRows},
    {"insert-rows", qor::app::verbInsertRows},
    {"delete-rows", qor::app::verbDeleteRows},
    {"lines", qor::app::verbLines},
    {"append-lines", qor::app::verbAppendLines},
    {"insert-lines", qor::app::verbInsertLines},
    {"delete-lines", qor::app::verbDeleteLines},
    {"keyword", qor::app::verbKeyword},
    {"table-size", qor::app::verbTableSize},
    {"reader-script", qor::app::verbReaderScript},
    {"export-xml", qor::app::verbExportXml},
    {"import-xml", qor::app::verbImportXml},
    {"export-html", qor::app::verbExportHtml},
    {"run", qor::app::verbRun},
    {"convert", qor::app::verbConvert},
    {"data-info", qor::app::verbDataInfo},
    {"print", qor::app::verbPrint},
    {"audit", qor::app::verbAudit},
    {"indicators", qor::app::verbIndicators},
    {"ledger", qor::app::verbLedger},
    {"consol", qor::app::verbConsol},
    {"validate", qor::app::verbValidate},
};

// The verbs that work through the document lay out text and pages, which
// needs the GUI side of Qt (never a window: offscreen unless told).
bool needsGui(int argc, char** argv) {
    if (argc < 2) return false;
    const QByteArray verb(argv[1]);
    return verb == "convert" || verb == "print" || verb == "consol";
}

}  // namespace

int main(int argc, char** argv) {
    previousHandler = qInstallMessageHandler(quietHandler);
    if (argc == 2 && QByteArray(argv[1]) == "--version") {
        std::printf("qor %s\n", QOR_VERSION_TEXT);
        return 0;
    }
    std::unique_ptr<QCoreApplication> app;
    if (needsGui(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QStringList args = app->arguments().mid(1);
    if (args.isEmpty()) {
        // Like any usage error: one line and where to read on, not the
        // whole help.
        std::fputs("usage: qor VERB [ARGUMENTS...]\nsee: qor help\n", stderr);
        return 2;
    }
    if (args.first() == "--help" || args.first() == "-h" || args.first() == "help") {
        if (args.size() == 1) {
            printUsage(stdout);
            return 0;
        }
        const QString usage = args.size() == 2 ? verbUsage(args[1]) : QString();
        if (usage.isEmpty()) {
            std::fprintf(stderr, "qor help: no verb \"%s\"; qor help lists them\n",
                         args.mid(1).join(u' ').toLocal8Bit().constData());
            return 2;
        }
        std::fputs(usage.toLocal8Bit().constData(), stdout);
        return 0;
    }
    const QString verb = args.takeFirst();
    qor::app::Output out;

    // The start-up both programs share; the host's ledger functions are
    // answered by its services, the interpreter's document links are
    // installed by the verbs that run the command language.
    qor::StartOptions start;
    start.isServiceFunction = &qor::ledger::IsLedgerFunctionName;
    for (const QString& warning : qor::StartUp(start))
        out.err += QStringLiteral("qor: warning: %1\n").arg(warning);
    // Every verb that saves works formulas out: INDB, INDBSQL, GETRECORD,
    // other reports' cells and service functions give what `qor run`
    // gives them, not a failure.
    qor::cmd::InstallInterpreterHooks();

    int rc = 2;
    bool known = false;
    for (const VerbEntry& v : kVerbs) {
        if (verb == QLatin1String(v.name)) {
            known = true;
            try {
                rc = v.run(args, &out);
            } catch (const std::bad_alloc&) {
                // A reader or writer ran out of memory: the verb fails with
                // the file it was given first, and says nothing of success.
                QString file;
                for (const QString& a : args)
                    if (!a.startsWith(QLatin1String("--"))) {
                        file = a;
                        break;
                    }
                out.text.clear();
                out.err += QStringLiteral("qor %1: %2\n").arg(verb, qor::NoMemoryText(file));
                rc = 1;
            }
            break;
        }
    }
    if (!known) {
        out.err += QStringLiteral("qor: unknown verb \"%1\"; qor help lists the verbs\n").arg(verb);
    } else if (rc == 2) {
        // The verb's own line says what was wrong; the whole help would
        // bury it. A verb that said nothing gets its usage line.
        if (out.err.isEmpty())
            out.err += QStringLiteral("qor %1: usage: %2\n")
                           .arg(verb, verbUsage(verb).section(u'\n', 0, 0).trimmed());
        out.err += QStringLiteral("see: qor help %1\n").arg(verb);
    }
    // Written by length: a character the texts should never hold still
    // must not end the output before the lines after it.
    const QByteArray text = out.text.toLocal8Bit(), err = out.err.toLocal8Bit();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fwrite(err.constData(), 1, size_t(err.size()), stderr);
    return rc;
}
