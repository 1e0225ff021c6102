#pragma once
// The verbs of the command-line host. Each takes the arguments after the
// verb, writes what it has to say into Output and returns the exit code
// (0 done, 1 failed, 2 usage error, 3 done with something left out or a
// formula found failed).

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>

#include "engine/messages.h"

namespace qor::app {

struct Output {
    QString text;  // for stdout
    QString err;   // for stderr
};

// Progress the document's writers report (a status bar's worth) is kept
// back while one lives; it is shown only when the verb fails, where it may
// say why. Not printed as it comes either (QT_LOGGING_RULES still can).
class TracesKept {
public:
    TracesKept();
    ~TracesKept();
    TracesKept(const TracesKept&) = delete;
    TracesKept& operator=(const TracesKept&) = delete;
    // The last few lines, for a failure. What a message box says as well
    // is printed once, with the messages.
    void showOn(const char* verb, Output* out, const QStringList& told = {}) const;

private:
    TraceHook m_previous;
    mutable QMutex m_mutex;
    QStringList m_lines;
};

// Reads the value of --pages ("2,5") after args[at]: page numbers from 1,
// sorted without repeats, or as given when the order means something (the
// exchange file writes its pages in that order). A missing or wrong value
// is told on stderr naming the option and what was given; false then (a
// usage error).
bool ParsePagesOption(const char* verb, const QStringList& args, int at, QList<int>* pages,
                      Output* out, bool givenOrder = false);

// The file password of a protected report, for a verb nobody sits at:
// from QOR_FILE_PASSWORD (never from the command line, where every user of
// the machine could read it). A wrong one is not given at all, so the
// question ends there; what stood in the way goes to *told.
std::optional<QString> FilePasswordFromEnvironment(const QString& path, QStringList* told);

int verbNew(const QStringList& args, Output* out);
int verbInfo(const QStringList& args, Output* out);

// The Reader verbs (readerverbs.cpp). They drive the Reader the way any
// host does: an object made by ProgID "Pagoda2.Reader" through the
// automation layer, its methods called by name. Each opens the report,
// acts, saves when it changed something, and closes. A verb that needs
// format or data state enters it and goes back to the state the report was
// in before saving.
int verbRegister(const QStringList& args, Output* out);
int verbUnregister(const QStringList& args, Output* out);
int verbPages(const QStringList& args, Output* out);
int verbGet(const QStringList& args, Output* out);
int verbSet(const QStringList& args, Output* out);
int verbFormat(const QStringList& args, Output* out);
int verbAppendPages(const QStringList& args, Output* out);
int verbDeletePages(const QStringList& args, Output* out);
int verbAppendRows(const QStringList& args, Output* out);
int verbInsertRows(const QStringList& args, Output* out);
int verbDeleteRows(const QStringList& args, Output* out);
int verbLines(const QStringList& args, Output* out);
int verbAppendLines(const QStringList& args, Output* out);
int verbInsertLines(const QStringList& args, Output* out);
int verbDeleteLines(const QStringList& args, Output* out);
int verbKeyword(const QStringList& args, Output* out);
int verbTableSize(const QStringList& args, Output* out);
// Runs a script of Reader calls on one Reader object: one call a line,
// "Method arg1 arg2 ...". Arguments are separated by blanks; a double-quoted
// argument is a text (\", \\ and \n inside), an unquoted one is a number when
// it reads as one and a text otherwise. Empty lines and lines starting with
// "#" are skipped. Every call prints one line:
//   Method: ok=true [value=V]
//   Method: ok=false error="TEXT"
// where texts are double-quoted and lists are [a, b]. SCRIPT "-" reads
// standard input. Exit code 1 when any call failed, 2 when the script
// cannot be read or parsed (nothing is run then).
int verbReaderScript(const QStringList& args, Output* out);
// One call of such a script, and the parser of a whole script's text: false
// with "line N: reason" for the first line that does not parse.
struct ReaderScriptCall {
    int line = 0;  // from 1
    QString method;
    QVariantList args;
};
bool ParseReaderScript(const QString& text, QList<ReaderScriptCall>* calls, QString* error);

// The tables of a data file, or the fields of one table with their type
// codes and sizes and the record count (dataverbs.cpp).
int verbDataInfo(const QStringList& args, Output* out);

// The exchange-file verbs (xmlverbs.cpp).
int verbExportXml(const QStringList& args, Output* out);
int verbImportXml(const QStringList& args, Output* out);

// Writes pages of a report as HTML files "<name>_<page>.html" into a
// folder (htmlverb.cpp); all pages unless --pages.
int verbExportHtml(const QStringList& args, Output* out);

// The verbs over the report document (docverbs.cpp). convert opens IN by
// its type and saves OUT by its type through the document's converters:
// exit 0 written whole, 1 nothing written, 2 usage, 3 written with
// something left out (each on stderr). print prints every page (or those
// of --pages) through the print driver, to a PDF file or the default
// printer.
int verbConvert(const QStringList& args, Output* out);
// The consolidation client (consolverb.cpp): "download", "upload",
// "open PATH" (prepare or refresh a client report), "save REPORT" (its
// checks, then the upload files). Exit 0 done, 1 failed, 2 usage.
int verbConsol(const QStringList& args, Output* out);
// Checks every page of a report against the data rules of a spreadsheet
// XML sample (validateverb.cpp): exit 0 when all pass, 1 with the first
// failing cell's message, 2 usage. Nothing is saved.
int verbValidate(const QStringList& args, Output* out);
int verbPrint(const QStringList& args, Output* out);
// Drills from a cell to the detail ledger and prints the account codes,
// period and include flag handed to the ledger component (ledgerverb.cpp).
int verbLedger(const QStringList& args, Output* out);

// Runs a script of the command language (runverb.cpp) against the report
// given, saving it when the whole script succeeded; variables LIST MEMORY
// shows and messages go to standard output; questions take their default
// answers unasked, and the writers' progress lines go to standard error
// only with --progress or on a terminal. Exit code 1 when a line failed
// (nothing is saved then), 2 for a usage error, 3 when a CONVERT wrote
// its file but left something out.
int verbRun(const QStringList& args, Output* out);

// Ties a report to an audit-office statement and writes its mapping, as
// the mapping dialog's OK does (auditverb.cpp).
int verbAudit(const QStringList& args, Output* out);

// Computes the financial indicators of an interface file into its result
// library, printing the trace lines (indicatorverb.cpp).
int verbIndicators(const QStringList& args, Output* out);

}  // namespace qor::app
